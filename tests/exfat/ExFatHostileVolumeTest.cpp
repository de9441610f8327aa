// Hostile volumes: folder loops, chains that point back, lengths past the
// device; and the inputs the fuzzer once failed on, run again.
#include <gtest/gtest.h>

#include <filesystem>

#include "exfat/ExFatEntryBuilder.h"
#include "exfat/ExFatFuzzBody.h"
#include "exfat/ExFatTestSupport.h"
#include "support/MemoryDevice.h"

using namespace exfattest;

namespace {

constexpr std::uint32_t kHeap = 40;
constexpr std::uint32_t kRoot = 4;

// A 1 MiB volume: 512-byte sectors and clusters, FAT at 24, heap at 40.
std::vector<std::uint8_t> Volume() {
  std::vector<std::uint8_t> v(1 << 20, 0);
  ByteWriter w(v);
  w.PutU8(0, 0xEB);
  w.PutBytes(3, "EXFAT   ", 8);
  w.PutU64Le(72, 2048);
  w.PutU32Le(80, 24);
  w.PutU32Le(84, 16);
  w.PutU32Le(88, kHeap);
  w.PutU32Le(92, 2008);
  w.PutU32Le(96, kRoot);
  w.PutU8(108, 9);
  w.PutU8(109, 0);
  w.PutU8(110, 1);
  w.PutU8(510, 0x55);
  w.PutU8(511, 0xAA);
  return v;
}

void PutFat(std::vector<std::uint8_t>& v, std::uint32_t cluster, std::uint32_t next) {
  ByteWriter(v).PutU32Le(24 * 512 + cluster * 4, next);
}

void PutCluster(std::vector<std::uint8_t>& v, std::uint32_t cluster, const std::vector<std::uint8_t>& bytes) {
  ByteWriter(v).PutBytes((kHeap + cluster - 2) * 512, bytes.data(), std::min<std::size_t>(bytes.size(), 512));
}

std::vector<std::uint8_t> Folder(const char16_t* name, std::uint32_t cluster, std::uint64_t length, bool inUse = true) {
  SetShape s;
  s.name = name;
  s.attributes = 0x10;
  s.firstCluster = cluster;
  s.length = length;
  s.noFatChain = false;
  s.inUse = inUse;
  return MakeSet(s);
}

struct Counting : exfatfuzz::DiscardingBuilder {
  int AddNode(IFileNode* node, _tagSearcherType type) override {
    ++m_count;
    return DiscardingBuilder::AddNode(node, type);
  }
  int m_count = 0;
};

TEST(ExFatHostileVolume, FolderLoopsAndLoopingChainsEnd) {
  std::vector<std::uint8_t> v = Volume();
  // The root's chain points at itself; a folder in it is the root again; a
  // deleted folder holds itself; a file claims more bytes than the device.
  PutFat(v, kRoot, kRoot);
  SetShape huge;
  huge.name = u"huge.bin";
  huge.firstCluster = 7;
  huge.noFatChain = false;
  huge.length = 1000 * 512;
  PutCluster(v, kRoot, Concat({Folder(u"again", kRoot, 512), Folder(u"self", 5, 512 * 40, false), MakeSet(huge)}));
  PutCluster(v, 5, Concat({Folder(u"inner", 5, 512 * 40, false)}));
  PutFat(v, 7, 8);
  PutFat(v, 8, 7);

  testsupport::MemoryDevice device(v, 512, kDeviceVolume);
  Counting builder;
  testsupport::QuietProgress progress;
  CExFatQuickSearch search;
  search.SetDirecotryTreeBuilder(&builder);
  EXPECT_EQ(search.QuickSearchFiles(&device, &progress), 0u);
  EXPECT_EQ(builder.m_count, 4);  // again, self, huge.bin, inner
  EXPECT_TRUE(search.IsClusterProssed(kRoot));
  EXPECT_TRUE(search.IsClusterProssed(5));
  exfatfuzz::Run(v.data(), v.size());
}

TEST(ExFatHostileVolume, CapacityAndRecordsFollowTheOutcome) {
  std::vector<std::uint8_t> v = Volume();
  testsupport::MemoryDevice device(v, 512, kDeviceVolume);
  Counting builder;
  testsupport::QuietProgress progress;
  CExFatQuickSearch search;
  search.SetDirecotryTreeBuilder(&builder);
  ASSERT_EQ(search.QuickSearchFiles(&device, &progress), 0u);
  EXPECT_EQ(search.GetSearchedPartitionInfo(nullptr, 0), 1);
  CSearchedPartitionInfo* record = nullptr;
  ASSERT_EQ(search.GetSearchedPartitionInfo(&record, 1), 1);
  EXPECT_EQ(record->m_llClusterBaseSector, kHeap);
  EXPECT_EQ(record->m_iSectorsPerCluster, 1);
  EXPECT_EQ(record->m_iFileSystem, kFsExFat);
  delete record;

  // Not exFAT: an error and no record.
  v[3] = 'N';
  testsupport::MemoryDevice other(v, 512, kDeviceVolume);
  CExFatQuickSearch refused;
  refused.SetDirecotryTreeBuilder(&builder);
  EXPECT_EQ(result::CodeOf(refused.QuickSearchFiles(&other, &progress)), static_cast<std::uint32_t>(kExFatNotExFat));
  EXPECT_EQ(refused.GetSearchedPartitionInfo(&record, 1), 0);
  CExFatQuickSearch noBuilder;
  EXPECT_EQ(result::CodeOf(noBuilder.QuickSearchFiles(&device, &progress)),
            static_cast<std::uint32_t>(kExFatNoBuilder));
}

// Inputs the fuzzer found failing, kept in fuzz_regressions/.
TEST(ExFatHostileVolume, FuzzRegressionsRunClean) {
  const std::filesystem::path dir = std::filesystem::path(QUARNEL_TESTS_DIR) / "exfat" / "fuzz_regressions";
  ASSERT_TRUE(std::filesystem::is_directory(dir)) << dir << " is missing";
  int inputs = 0;
  for (const auto& f : std::filesystem::directory_iterator(dir)) {
    ++inputs;
    SCOPED_TRACE(f.path().string());
    const std::vector<std::uint8_t> bytes = ReadFileBytes(f.path().string());
    exfatfuzz::Run(bytes.data(), bytes.size());
  }
  EXPECT_GE(inputs, 5);
}

}  // namespace
