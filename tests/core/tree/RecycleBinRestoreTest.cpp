// "$R" files get back their original names from "$I" records read from the
// partition device.

#include <gtest/gtest.h>

#include <optional>

#include "RecycleRecordBytes.h"
#include "TreeRecorder.h"
#include "TreeTestNodes.h"
#include "core/tree/TreeBuilderFactory.h"
#include "support/MemoryDevice.h"

namespace {

using recycle_bytes::V1;
using recycle_bytes::V2;

constexpr long long kRecordSector = 8;
constexpr int kSectorSize = 512;

struct RestoreCase {
  const char* title;
  _tagSearcherType type;
  std::vector<std::uint8_t> record;
  std::string expectedName;
  int sectorsPerCluster = 2;  // 0: no partition record (the builder assumes 2)
  std::string recordName = "$I1A2B3C.docx";
  long long recordSize = -1;  // -1: the record's byte count
  bool withDevice = true;
  bool failRead = false;
};

void PrintTo(const RestoreCase& c, std::ostream* os) { *os << c.title; }

std::vector<RestoreCase> Cases() {
  const std::u16string report = u"C:\\Users\\x\\Report.docx";
  return {
      {"version 1 on FAT", kSearcherFat, V1(report), "Report.docx"},
      {"version 2 on NTFS", kSearcherNtfs, V2(report), "Report.docx"},
      {"version 2 on exFAT with 8 sectors per cluster", kSearcherExFat, V2(report), "Report.docx", 8},
      {"without a partition record", kSearcherFat, V1(report), "Report.docx", 0},
      {"a name with 0x5C bytes", kSearcherFat, V2(u"C:\\x\\\u5C0F\u8AAC.docx"), "\u5C0F\u8AAC.docx"},
      {"a record name matched over the shorter name", kSearcherFat, V1(report), "Report.docx", 2, "$I1A2B3C"},
      {"no matching record", kSearcherFat, V1(report), "$R1A2B3C.docx", 2, "$IZZZZZZ.docx"},
      {"no partition device", kSearcherFat, V1(report), "$R1A2B3C.docx", 2, "$I1A2B3C.docx", -1, false},
      {"an unreadable record", kSearcherFat, V1(report), "$R1A2B3C.docx", 2, "$I1A2B3C.docx", -1, true, true},
      {"a record over 1024 bytes", kSearcherFat, V1(report), "$R1A2B3C.docx", 2, "$I1A2B3C.docx", 1500},
      {"a path without drive", kSearcherFat, V1(u"\\\\srv\\share\\Report.docx"), "$R1A2B3C.docx"},
      {"an HFS+ tree keeps $R names", kSearcherHfsPlus, V1(report), "$R1A2B3C.docx"},
  };
}

class RecycleBinRestore : public ::testing::TestWithParam<RestoreCase> {
 protected:
  void TearDown() override { EXPECT_EQ(TreeNode::s_live, 0); }
};

TEST_P(RecycleBinRestore, RestoresTheOriginalName) {
  const RestoreCase& c = GetParam();
  std::vector<std::uint8_t> disk(64 * kSectorSize, 0xEE);
  std::copy(c.record.begin(), c.record.end(), disk.begin() + kRecordSector * kSectorSize);
  testsupport::MemoryDevice device(disk, kSectorSize);
  if (c.failRead) device.FailSector(kRecordSector);

  const int spc = c.sectorsPerCluster != 0 ? c.sectorsPerCluster : 2;
  std::optional<CSearchedPartitionInfo> partition;
  if (c.sectorsPerCluster != 0) {
    partition.emplace(kSectorSize);
    partition->m_iSectorsPerCluster = c.sectorsPerCluster;
  }

  FakeClock clock;
  FakeFilter filter;
  OrderedTree sink;
  IDirecotryTreeBuilder* builder = CreateTreeBuilder(false, &clock);
  ASSERT_EQ(builder->Initialize("", &sink, &filter), 1);
  const long long rootId = c.type == kSearcherHfsPlus ? 2 : 0;
  builder->AddSearcherInfo(c.type, rootId);

  ASSERT_EQ(builder->AddNode(new TreeNode({10, rootId, "$RECYCLE.BIN", true}, c.type), c.type), 1);
  auto* recycled = new TreeNode({11, 10, "$R1A2B3C.docx", false, false, 100}, c.type);
  ASSERT_EQ(builder->AddNode(recycled, c.type), 1);
  const long long size = c.recordSize >= 0 ? c.recordSize : static_cast<long long>(c.record.size());
  auto* record = new TreeNode({12, 10, c.recordName, false, false, size}, c.type);
  const long long clusterBytes = static_cast<long long>(spc) * kSectorSize;
  const DataRun run{kRecordSector / spc, (size + clusterBytes - 1) / clusterBytes};
  IDataRunList* runs = CreateDataRunList();
  runs->AddDataRun(&run);
  record->SetDataRunList(runs);
  ASSERT_EQ(builder->AddNode(record, c.type), 1);

  builder->SetPartitonDevice(partition ? &*partition : nullptr, c.withDevice ? &device : nullptr);
  builder->FlashBuild(c.type);

  ASSERT_EQ(sink.m_roots.size(), 1u);
  const std::string root = sink.m_roots[0]->GetFileName();
  EXPECT_EQ(PrintTree(sink.m_roots[0]),
            (std::vector<std::string>{root + "/$RECYCLE.BIN/ (deleted)",
                                      root + "/$RECYCLE.BIN/" + c.expectedName + " (deleted)"}));
  if (c.expectedName.rfind("$R", 0) != 0) {
    ASSERT_FALSE(device.Reads().empty());
  }
  if (!device.Reads().empty()) {
    EXPECT_EQ(device.Reads().front().first, kRecordSector) << "clusters count from sector 0";
  }
  builder->Release();
}

TEST_F(RecycleBinRestore, RecycledFolderGetsItsNameAndKeepsItsFiles) {
  const std::vector<std::uint8_t> record = V2(u"C:\\Users\\x\\Projects");
  std::vector<std::uint8_t> disk(64 * kSectorSize, 0);
  std::copy(record.begin(), record.end(), disk.begin() + kRecordSector * kSectorSize);
  testsupport::MemoryDevice device(disk, kSectorSize);

  FakeClock clock;
  FakeFilter filter;
  OrderedTree sink;
  IDirecotryTreeBuilder* builder = CreateTreeBuilder(false, &clock);
  ASSERT_EQ(builder->Initialize("", &sink, &filter), 1);
  builder->AddSearcherInfo(kSearcherNtfs, 5);
  ASSERT_EQ(builder->AddNode(new TreeNode({10, 5, "$Recycle.Bin", true}, kSearcherNtfs), kSearcherNtfs), 1);
  ASSERT_EQ(builder->AddNode(new TreeNode({11, 10, "$R9X", true}, kSearcherNtfs), kSearcherNtfs), 1);
  ASSERT_EQ(builder->AddNode(new TreeNode({12, 11, "a.txt", false, false, 7}, kSearcherNtfs), kSearcherNtfs), 1);
  auto* info = new TreeNode({13, 10, "$I9X", false, false, static_cast<long long>(record.size())}, kSearcherNtfs);
  const DataRun run{kRecordSector / 2, 1};
  IDataRunList* runs = CreateDataRunList();
  runs->AddDataRun(&run);
  info->SetDataRunList(runs);
  ASSERT_EQ(builder->AddNode(info, kSearcherNtfs), 1);

  builder->SetPartitonDevice(nullptr, &device);
  builder->FlashBuild(kSearcherNtfs);
  ASSERT_EQ(sink.m_roots.size(), 1u);
  EXPECT_EQ(PrintTree(sink.m_roots[0]), (std::vector<std::string>{"Disk(NTFS)/$Recycle.Bin/ (deleted)",
                                                                  "Disk(NTFS)/$Recycle.Bin/Projects/ (deleted)",
                                                                  "Disk(NTFS)/$Recycle.Bin/Projects/a.txt (deleted)"}));
  builder->Release();
}

INSTANTIATE_TEST_SUITE_P(Records, RecycleBinRestore, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<RestoreCase>& info) {
                           std::string name;
                           for (const char* p = info.param.title; *p != '\0'; ++p) {
                             name += std::isalnum(static_cast<unsigned char>(*p)) != 0 ? *p : '_';
                           }
                           return name;
                         });

}  // namespace
