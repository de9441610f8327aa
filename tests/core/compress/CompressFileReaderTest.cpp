#include "core/compress/CompressFileReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <iterator>
#include <memory>
#include <random>
#include <vector>

#include "core/model/SearchedPartitionInfo.h"
#include "core/recovery/DataRecovery.h"
#include "core/recovery/RecoveryWriter.h"
#include "core/recovery/RecoveryTestNode.h"
#include "Lznt1TestEncoder.h"
#include "support/Files.h"
#include "support/MemoryDevice.h"
#include "support/TempDir.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::size_t kSector = 512;
constexpr std::size_t kUnit = 16 * kSector;  // one sector per cluster

struct ReaderDeleter {
  void operator()(IFileReader* r) const {
    if (r != nullptr) r->Release();
  }
};
using ReaderPtr = std::unique_ptr<IFileReader, ReaderDeleter>;

// A compressed file of five units on a device of 1-sector clusters:
// stored, compressed, sparse, compressed over two runs, and a unit whose
// first word is 0 (kept as read).
class CompressedFile : public ::testing::Test {
 protected:
  void SetUp() override {
    device.Bytes().assign(1024 * kSector, 0x5A);
    std::mt19937 rng(7);
    expected.assign(5 * kUnit, 0);

    // Unit 0: stored at cluster 100.
    for (std::size_t i = 0; i < kUnit; ++i) expected[i] = static_cast<std::uint8_t>(rng());
    Put(100, Bytes(expected.begin(), expected.begin() + kUnit));

    // Unit 1: two chunks in one cluster at 200.
    const Bytes a1 = lznt1test::Periodic(4096, 1, 'a');
    const Bytes a2 = lznt1test::Periodic(4096, 13, 3);
    Bytes packed = lznt1test::EncodeChunk(a1, 1);
    const Bytes c2 = lznt1test::EncodeChunk(a2, 13);
    packed.insert(packed.end(), c2.begin(), c2.end());
    ASSERT_LE(packed.size(), kSector);
    Put(200, packed);
    std::copy(a1.begin(), a1.end(), expected.begin() + kUnit);
    std::copy(a2.begin(), a2.end(), expected.begin() + kUnit + 4096);

    // Unit 3: a chunk with many literals, spread over clusters 300 and 400.
    const Bytes b1 = lznt1test::Periodic(4096, 600, 9);
    const Bytes b2 = lznt1test::Periodic(4096, 1, 'z');
    Bytes packed3 = lznt1test::EncodeChunk(b1, 600);
    const Bytes c4 = lznt1test::EncodeChunk(b2, 1);
    packed3.insert(packed3.end(), c4.begin(), c4.end());
    ASSERT_GT(packed3.size(), kSector);
    ASSERT_LE(packed3.size(), 2 * kSector);
    packed3.resize(2 * kSector, 0);
    Put(300, Bytes(packed3.begin(), packed3.begin() + kSector));
    Put(400, Bytes(packed3.begin() + kSector, packed3.end()));
    std::copy(b1.begin(), b1.end(), expected.begin() + 3 * kUnit);
    std::copy(b2.begin(), b2.end(), expected.begin() + 3 * kUnit + 4096);

    // Unit 4: three clusters at 500 that begin with a zero word.
    Bytes raw(3 * kSector);
    for (std::size_t i = 2; i < raw.size(); ++i) raw[i] = static_cast<std::uint8_t>(rng());
    raw[0] = raw[1] = 0;
    Put(500, raw);
    std::copy(raw.begin(), raw.end(), expected.begin() + 4 * kUnit);

    size = static_cast<long long>(expected.size()) - 100;
    expected.resize(static_cast<std::size_t>(size));
    node = std::make_unique<RecoveryTestNode>(
        "c.bin", size,
        std::initializer_list<DataRun>{
            {100, 16}, {200, 1}, {-1, 15}, {-1, 16}, {300, 1}, {400, 1}, {-1, 14}, {500, 3}, {-1, 13}});
    node->SetCompressed(1);
    partition.m_iFileSystem = 3;
    partition.m_iSectorsPerCluster = 1;
    partition.SetTotalSectors(device.GetTotalSectors());
  }

  void Put(std::size_t cluster, const Bytes& bytes) {
    std::copy(bytes.begin(), bytes.end(), device.Bytes().begin() + static_cast<long>(cluster * kSector));
  }

  std::unique_ptr<CCompressFileReader> OpenReader() {
    auto r = std::make_unique<CCompressFileReader>();
    EXPECT_EQ(r->Open(&device, node.get(), &partition), 1);
    return r;
  }

  testsupport::MemoryDevice device{Bytes{}};
  CSearchedPartitionInfo partition{512};
  std::unique_ptr<RecoveryTestNode> node;
  Bytes expected;
  long long size = 0;
};

TEST_F(CompressedFile, PiecesHaveAllThreeKinds) {
  auto r = OpenReader();
  std::set<int> kinds;
  for (const tagCompressDataRun& p : r->Pieces()) kinds.insert(p.eType);
  EXPECT_EQ(kinds, (std::set<int>{NONECOMPRESSED_UNIT, COMPRESSED_UNIT, SPARSE_UNIT}));
}

TEST_F(CompressedFile, DecompressedReadsInOddPiecesMatch) {
  auto r = OpenReader();
  Bytes got(expected.size(), 0xEE);
  for (long long pos = 0; pos < size;) {
    const int n = r->ReadData(pos, reinterpret_cast<char*>(got.data()) + pos, 1000);
    ASSERT_GT(n, 0) << pos;
    pos += n;
  }
  EXPECT_EQ(got, expected);
  char c = 0;
  EXPECT_EQ(r->ReadData(size, &c, 1), 0);
}

TEST_F(CompressedFile, MemoryRecoveryTwiceGivesTheSameBytes) {
  auto r = OpenReader();
  Bytes first(expected.size() + 50, 0xEE);
  Bytes second(expected.size() + 50, 0x11);
  ASSERT_TRUE(r->Recovery(reinterpret_cast<char*>(first.data()), static_cast<long>(first.size()), nullptr));
  ASSERT_TRUE(r->Recovery(reinterpret_cast<char*>(second.data()), static_cast<long>(second.size()), nullptr));
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), first.begin()));
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), second.begin()));
  EXPECT_EQ(first[expected.size()], 0xEE) << "nothing written past the file";
}

TEST_F(CompressedFile, FileRecoveryWritesTheWholeFile) {
  testsupport::TempDir tmp;
  auto r = OpenReader();
  bool resident = true;
  ASSERT_TRUE(r->Recovery(tmp.File("out").c_str(), nullptr, resident));
  EXPECT_FALSE(resident);
  EXPECT_EQ(testsupport::ReadFileBytes(tmp.File("out")), expected);
}

TEST_F(CompressedFile, PlainSlotReturnsTheStoredClusters) {
  auto r = OpenReader();
  Bytes raw(kUnit + kSector);
  int err = 0;
  ASSERT_EQ(r->CFileReader::ReadData(0, reinterpret_cast<char*>(raw.data()), static_cast<unsigned>(raw.size()), &err),
            static_cast<int>(raw.size()));
  EXPECT_TRUE(std::equal(raw.begin(), raw.begin() + kUnit, expected.begin()));
  EXPECT_EQ(raw[kUnit], device.Bytes()[200 * kSector]);
}

TEST_F(CompressedFile, ACloneDecodesIndependently) {
  auto r = OpenReader();
  ReaderPtr clone(r->Clone());
  auto* c = dynamic_cast<CCompressFileReader*>(clone.get());
  ASSERT_NE(c, nullptr);
  Bytes a(3000), b(3000);
  ASSERT_EQ(r->ReadData(kUnit + 10, reinterpret_cast<char*>(a.data()), 3000), 3000);
  ASSERT_EQ(c->ReadData(3 * kUnit + 10, reinterpret_cast<char*>(b.data()), 3000), 3000);
  EXPECT_TRUE(std::equal(a.begin(), a.end(), expected.begin() + kUnit + 10));
  EXPECT_TRUE(std::equal(b.begin(), b.end(), expected.begin() + 3 * kUnit + 10));
}

TEST_F(CompressedFile, DamagedChunkAndBadSectorCostOnlyTheirUnit) {
  // A back-reference before the start in unit 1, an unreadable sector in unit 0.
  device.Bytes()[200 * kSector + 2] = 0x01;
  device.Bytes()[200 * kSector + 3] = 0xFF;
  device.Bytes()[200 * kSector + 4] = 0xFF;
  device.FailSector(105);
  auto r = OpenReader();
  Bytes got(expected.size());
  int err = 0;
  ASSERT_EQ(r->ReadDecompressed(0, reinterpret_cast<char*>(got.data()), static_cast<unsigned>(got.size()), &err), size);
  EXPECT_GE(err, 2);
  for (std::size_t i = 0; i < kUnit; ++i) {
    const bool bad = i >= 5 * kSector && i < 6 * kSector;
    ASSERT_EQ(got[i], bad ? 0 : expected[i]) << i;
  }
  for (std::size_t i = 2 * kUnit; i < got.size(); ++i) ASSERT_EQ(got[i], expected[i]) << i;
}

TEST_F(CompressedFile, SizesAbove2GiBAreServedUnitByUnit) {
  const long long big = 3LL * 1024 * 1024 * 1024 + 123;
  RecoveryTestNode huge("big", big, {{200, 1}, {-1, 15}, {-1, big / 512 + 64}});
  huge.SetCompressed(1);
  CCompressFileReader r;
  ASSERT_EQ(r.Open(&device, &huge, &partition), 1);
  Bytes got(100);
  ASSERT_EQ(r.ReadData(10, reinterpret_cast<char*>(got.data()), 100), 100);
  EXPECT_TRUE(std::equal(got.begin(), got.end(), expected.begin() + kUnit + 10));
  std::fill(got.begin(), got.end(), 0xEE);
  ASSERT_EQ(r.ReadData(big - 40, reinterpret_cast<char*>(got.data()), 100), 40);
  EXPECT_EQ(std::count(got.begin(), got.begin() + 40, 0), 40);
  ASSERT_EQ(r.ReadData(2600LL * 1024 * 1024, reinterpret_cast<char*>(got.data()), 100), 100);
}

TEST_F(CompressedFile, ClustersAbove64KiBAreRefused) {
  partition.m_iSectorsPerCluster = 256;
  CCompressFileReader r;
  ASSERT_EQ(r.Open(&device, node.get(), &partition), 1);
  char buf[16];
  EXPECT_EQ(r.ReadData(0, buf, sizeof buf), 0);
}

TEST_F(CompressedFile, RecoveryWriterDecompressesNtfsFiles) {
  testsupport::TempDir tmp;
  IDataRecovery* rec = CreateDataRecoveryObj();
  ASSERT_EQ(rec->Initialize(std::vector<CSearchedPartitionInfo*>{&partition}, &device), 0u);
  ReaderPtr preview(rec->SetRecoverNode(node.get()));
  ASSERT_NE(preview, nullptr);
  EXPECT_NE(dynamic_cast<CCompressFileReader*>(preview.get()), nullptr);
  EXPECT_EQ(rec->RecoverTo(tmp.File("c.bin").c_str(), nullptr, 0), 0u);
  EXPECT_EQ(testsupport::ReadFileBytes(tmp.File("c.bin")), expected);

  const RESULT limited = rec->RecoverTo(tmp.File("limited.bin").c_str(), nullptr, 4096);
  EXPECT_EQ(result::CodeOf(limited), 0xFu);
  EXPECT_FALSE(std::filesystem::exists(tmp.File("limited.bin")));
  rec->Release();
}

}  // namespace
