#include <gtest/gtest.h>

#include "ntfs/NtfsContentAnalyzers.h"
#include "ntfs/NtfsFoundRecords.h"
#include "ntfs/NtfsRecordBytes.h"

using namespace ntfstest;

namespace {

constexpr long long kDeviceSectors = 1 << 20;

// A restart page: "RSTR", the client "NTFS" at 0x90 and the update sequence
// number at the end of each 512-byte piece.
Bytes RestartPage() {
  Bytes page(4096, 0);
  PutLe32(page, 0, 0x52545352);  // "RSTR"
  PutLe16(page, 0x1E, 0x1234);
  const char16_t client[] = u"NTFS";
  for (int i = 0; i < 4; ++i) PutLe16(page, 0x90 + 2 * static_cast<std::size_t>(i), client[i]);
  for (std::size_t k = 0; k < 8; ++k) PutLe16(page, 510 + 512 * k, 0x1234);
  return page;
}

// The $LogFile FILE record: 16 clusters of 4 KiB from cluster `lcn`.
CNTFSFileRecord LogFileRecord(std::uint8_t lcn) {
  const Bytes pairs{0x11, 0x10, lcn, 0x00};
  const Bytes raw = RecordMaker(1024, 1, 2)
                        .StandardInformation(0x06)
                        .FileName(u"$LogFile", 5)
                        .NonResidentData(pairs, 65536, 65536)
                        .Build();
  return CNTFSFileRecord(ByteView(raw.data(), raw.size()));
}

std::map<long long, unsigned> FlagsByBase(CNTFSPartitionInfoBuilder& parts) {
  std::map<long long, unsigned> out;
  for (const auto& [key, p] : parts.Candidates()) out[key.first] |= p->m_uFlags;
  return out;
}

struct RestartCase {
  const char* name;
  bool recordFirst;
  bool secondPage;
  std::map<long long, unsigned> expected;  // cluster base -> flags
};

class RestartPages : public ::testing::TestWithParam<RestartCase> {};

}  // namespace

TEST(NtfsEvidence, RestartPageTestNeedsClientAndSequence) {
  Bytes page = RestartPage();
  EXPECT_TRUE(CLogFileAnalyzer::IsValidRSTRRecord(ByteView(page.data(), page.size())));
  EXPECT_FALSE(CLogFileAnalyzer::IsValidRSTRRecord(ByteView(page.data(), 4095)));
  page[0x90] = 'X';
  EXPECT_FALSE(CLogFileAnalyzer::IsValidRSTRRecord(ByteView(page.data(), page.size())));
  page = RestartPage();
  page[510 + 512 * 5] = 0;
  EXPECT_FALSE(CLogFileAnalyzer::IsValidRSTRRecord(ByteView(page.data(), page.size())));
}

// Two restart pages 8 sectors apart place the $LogFile and so the volume.
TEST_P(RestartPages, PlaceTheVolumeOfTheirLogFile) {
  const RestartCase& c = GetParam();
  CNTFSPartitionInfoBuilder parts(kDeviceSectors, 512);
  CLogFileAnalyzer log(parts);
  const CNTFSFileRecord record = LogFileRecord(100);
  ASSERT_TRUE(record.IsValid());
  if (c.recordFirst) log.AnalyzeLogFileFileRecord(4096 * 512, record);
  log.AnalyzeRSTRRecord(10000);
  if (c.secondPage) log.AnalyzeRSTRRecord(10008);
  if (!c.recordFirst) log.AnalyzeLogFileFileRecord(4096 * 512, record);
  EXPECT_EQ(FlagsByBase(parts), c.expected);
}

INSTANTIATE_TEST_SUITE_P(NtfsEvidence, RestartPages,
                         ::testing::Values(RestartCase{"RecordAfterBothPages", false, true, {{9200, 0xC0}}},
                                           RestartCase{
                                               "RecordBeforeThePages", true, true, {{9200, 0xC0}, {9192, 0x80}}},
                                           // A lone page may be the first or the second of its log.
                                           RestartCase{"OnePage", true, false, {{9200, 0x40}, {9192, 0x80}}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(NtfsEvidence, CandidatesLeftWithoutFlagsAreDropped) {
  CNTFSPartitionInfoBuilder parts(kDeviceSectors, 512);
  auto a = parts.BuildFromFile(1000, 10, 8, 0x40);
  ASSERT_NE(a, nullptr);
  const auto probe = *a;
  EXPECT_NE(parts.AddOrMerge(std::move(a)), nullptr);
  EXPECT_EQ(parts.AddOrMerge(parts.BuildFromFile(1000, 10, 8, 0x80)), nullptr);
  EXPECT_EQ(parts.Candidates().begin()->second->m_uFlags, 0xC0u);
  EXPECT_TRUE(parts.AdjustPartitionBuildFromFlag(probe, 0, 0xC0));
  EXPECT_TRUE(parts.Candidates().empty());
  // A file too close to the start of the device places no volume.
  EXPECT_EQ(parts.BuildFromFile(7, 0, 8, 0x08), nullptr);
  EXPECT_EQ(parts.BuildFromFile(100, 20, 8, 0x08), nullptr);
}

TEST(NtfsEvidence, MatchedUnitsCountOncePerRunAndRangesJoin) {
  CMetaFileAnalyzer ranges;
  for (long long u : {100, 101, 103, 102, 102, 200}) ranges.CombineSectorOfRange(u);
  EXPECT_EQ(ranges.RangeCount(), 2u);
  EXPECT_EQ(ranges.GetSectorRangeCount(0, 1000), 5);
  EXPECT_EQ(ranges.GetSectorRangeCount(101, 103), 2);
  CNTFSDataRunList runs;
  runs.Add({12, 0, 1});  // cluster 12 = units 96..103 with base 0 and 8 per cluster
  EXPECT_EQ(ranges.GetMatchCount(runs, 0, 8, 512), 4);
  // 4 KiB sectors: one sector is eight units.
  EXPECT_EQ(ranges.GetMatchCount(runs, 0, 1, 4096), 4);
}

TEST(NtfsEvidence, PositionRunsTakeOnlyTheNextRecord) {
  CCommonFileRecordPositionInfo run(10 * 512, 1024);
  EXPECT_FALSE(run.Merge(11 * 512, 1024));
  EXPECT_TRUE(run.Merge(12 * 512, 1024));
  EXPECT_FALSE(run.Merge(14 * 512, 4096));
  EXPECT_EQ(run.GetFileRecordCount(), 2);
  EXPECT_EQ(run.ByteOf(1), 12 * 512);
}
