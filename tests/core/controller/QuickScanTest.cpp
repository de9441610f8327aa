#include <gtest/gtest.h>

#include <memory>

#include "core/cache/PatternDevice.h"
#include "core/controller/RecordingSearchers.h"
#include "core/controller/RecoveryController.h"
#include "core/recovery/DataRecovery.h"
#include "support/FakeSinks.h"

using namespace controllertest;
using testsupport::FakeProgress;
using testsupport::PatternDevice;
using testsupport::RecordingTree;

namespace {

class QuickScan : public RegistryTest {
 protected:
  ControllerPtr Make() {
    ControllerPtr c(CreateRecoveryController(kControllerQuick));
    c->Initialize(&m_filter);
    return c;
  }

  AcceptAllFilter m_filter;
  FakeProgress m_progress;
  RecordingTree m_tree;
};

void ExpectStartThenEnd(const std::vector<_PROGRESS_INFO>& reports) {
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports[0].state, kProgressRunning);
  EXPECT_EQ(reports[0].total, 1u);
  EXPECT_EQ(reports[0].done, 0u);
  EXPECT_EQ(reports[1].state, kProgressFinished);
  EXPECT_EQ(reports[1].total, 1u);
  EXPECT_EQ(reports[1].done, 1u);
}

}  // namespace

TEST_F(QuickScan, AWholeDiskIsRefusedWithTheEndReport) {
  RegisterQuickSearchers({0, 1, 2, 3, 7, 8});
  PatternDevice disk(1000, 512, kDeviceDisk);
  ControllerPtr c = Make();
  const RESULT r = c->StartDataRecovery(&disk, &m_progress, &m_tree);
  EXPECT_TRUE(result::Failed(r));
  EXPECT_EQ(result::ModuleOf(r), result::kModuleRecoveryController);
  EXPECT_EQ(result::CodeOf(r), kCtrlQuickOnWholeDisk);
  ExpectStartThenEnd(m_progress.Reports());
  EXPECT_TRUE(SearcherJournal::Get().Events().empty());
}

TEST_F(QuickScan, AVolumeWithoutRecordHasNoSearcher) {
  RegisterQuickSearchers({0, 1, 2, 3, 7, 8});
  PatternDevice volume(1000, 512, kDeviceVolume);
  ControllerPtr c = Make();
  EXPECT_EQ(result::CodeOf(c->StartDataRecovery(&volume, &m_progress, &m_tree)), kCtrlNoQuickSearcher);
  ExpectStartThenEnd(m_progress.Reports());
}

// The searcher is chosen by the volume's file-system code.
TEST_F(QuickScan, PicksTheSearcherByFileSystemCode) {
  RegisterQuickSearchers({0, 1, 2, 3, 7, 8});
  struct Case {
    int code;
    bool found;
  };
  const Case cases[] = {{0, true}, {1, true},  {2, true},   {3, true},  {7, true},
                        {8, true}, {9, false}, {10, false}, {4, false}, {-1, false}};
  for (const Case& cs : cases) {
    SCOPED_TRACE(cs.code);
    SearcherJournal::Get().Reset();
    PatternDevice volume(1000, 512, kDeviceVolume);
    volume.SetVolumeRecord(cs.code);
    FakeProgress progress;
    ControllerPtr c = Make();
    const RESULT r = c->StartDataRecovery(&volume, &progress, &m_tree);
    const auto quick = SearcherJournal::Get().Events("quick");
    if (cs.found) {
      EXPECT_EQ(r, 0u);
      ASSERT_EQ(quick.size(), 1u);
      EXPECT_EQ(quick[0].type, cs.code);
      EXPECT_EQ(quick[0].a, kDeviceVolume) << "the searcher reads the volume itself";
      EXPECT_EQ(SearcherJournal::Get().Events(cs.code, "builder").size(), 1u);
      // The searcher's own reports end the job.
      ASSERT_EQ(progress.Reports().size(), 1u);
      EXPECT_EQ(progress.Reports()[0].state, kProgressRunning);
    } else {
      EXPECT_EQ(result::CodeOf(r), kCtrlNoQuickSearcher);
      EXPECT_TRUE(quick.empty());
      ExpectStartThenEnd(progress.Reports());
    }
    c.reset();
    EXPECT_EQ(SearcherJournal::Get().Events("deleted").size(), cs.found ? 1u : 0u);
  }
}

TEST_F(QuickScan, AnApfsSearcherIsUsedOnceRegistered) {
  RegisterQuickSearchers({9});
  PatternDevice volume(1000, 512, kDeviceVolume);
  volume.SetVolumeRecord(kFsApfs);
  ControllerPtr c = Make();
  EXPECT_EQ(c->StartDataRecovery(&volume, &m_progress, &m_tree), 0u);
  EXPECT_EQ(SearcherJournal::Get().Events(9, "quick").size(), 1u);
}

TEST_F(QuickScan, ASearcherFailureIsReturnedAndEndsTheJob) {
  RegisterQuickSearchers({3});
  SearcherJournal::Get().m_quickResult = result::Make(result::kModuleNtfsQuickSearch, 12, 7);
  PatternDevice volume(1000, 512, kDeviceVolume);
  volume.SetVolumeRecord(kFsNtfs);
  ControllerPtr c = Make();
  EXPECT_EQ(c->StartDataRecovery(&volume, &m_progress, &m_tree), result::Make(result::kModuleNtfsQuickSearch, 12, 7));
  ExpectStartThenEnd(m_progress.Reports());
}

TEST_F(QuickScan, NullArgumentsAreRefusedWithoutReports) {
  RegisterQuickSearchers({3});
  PatternDevice volume(1000, 512, kDeviceVolume);
  volume.SetVolumeRecord(kFsNtfs);
  ControllerPtr c = Make();
  EXPECT_EQ(result::CodeOf(c->StartDataRecovery(nullptr, &m_progress, &m_tree)), kCtrlBadQuickArgument);
  EXPECT_EQ(result::CodeOf(c->StartDataRecovery(&volume, nullptr, &m_tree)), kCtrlBadQuickArgument);
  EXPECT_EQ(result::CodeOf(c->StartDataRecovery(&volume, &m_progress, nullptr)), kCtrlBadQuickArgument);
  EXPECT_TRUE(m_progress.Reports().empty());
}

TEST_F(QuickScan, ARefusedBuilderEndsTheJob) {
  RegisterQuickSearchers({3});
  PatternDevice volume(1000, 512, kDeviceVolume);
  volume.SetVolumeRecord(kFsNtfs);
  ControllerPtr c(CreateRecoveryController(kControllerQuick));  // no filter
  EXPECT_EQ(result::CodeOf(c->StartDataRecovery(&volume, &m_progress, &m_tree)), kCtrlBadQuickArgument);
  ExpectStartThenEnd(m_progress.Reports());
  EXPECT_TRUE(SearcherJournal::Get().Events("quick").empty());
}

TEST_F(QuickScan, ReplayReplacesTheSearch) {
  RegisterQuickSearchers({8});
  PatternDevice volume(1000, 512, kDeviceVolume);
  volume.SetVolumeRecord(kFsHfsPlus);
  RecordingRestoreSink sink;
  ControllerPtr c = Make();
  c->m_pRestoreSink = &sink;
  EXPECT_EQ(c->StartDataRecovery(&volume, &m_progress, &m_tree), 0u);
  EXPECT_EQ(sink.m_calls, 1);
  EXPECT_EQ(sink.m_device, &volume);
  EXPECT_NE(sink.m_builder, nullptr);
  EXPECT_TRUE(SearcherJournal::Get().Events("quick").empty());
  EXPECT_EQ(SearcherJournal::Get().Events(8, "builder").size(), 1u);

  CSearchedPartitionInfo saved(512);
  sink.m_partitions.push_back(&saved);
  IDataRecovery* recovery = c->GetDataRecovery(kSearcherHfsPlus);
  ASSERT_NE(recovery, nullptr);
  EXPECT_EQ(sink.m_askedTypes, std::vector<_tagSearcherType>{kSearcherHfsPlus});
  recovery->Release();
}

TEST_F(QuickScan, NoRecoveryObjectWithoutASearcher) {
  PatternDevice volume(1000, 512, kDeviceVolume);
  volume.SetVolumeRecord(kFsNtfs);
  ControllerPtr c = Make();
  EXPECT_EQ(c->GetDataRecovery(kSearcherNtfs), nullptr);
  EXPECT_EQ(result::CodeOf(c->StartDataRecovery(&volume, &m_progress, &m_tree)), kCtrlNoQuickSearcher);
  EXPECT_EQ(c->GetDataRecovery(kSearcherNtfs), nullptr);
}
