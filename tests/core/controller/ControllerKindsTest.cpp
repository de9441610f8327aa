#include <gtest/gtest.h>

#include <memory>

#include "core/cache/PatternDevice.h"
#include "core/controller/RecordingSearchers.h"
#include "core/controller/RecoveryController.h"
#include "support/FakeSinks.h"

using namespace controllertest;
using testsupport::FakeProgress;
using testsupport::PatternDevice;
using testsupport::RecordingTree;

namespace {

class ControllerKinds : public RegistryTest {};

}  // namespace

TEST_F(ControllerKinds, FactoryMakesTheThreeKinds) {
  for (int kind : {0, 1, 2}) {
    ControllerPtr c(CreateRecoveryController(static_cast<_RECOVERY_CONTROLLER_TYPE>(kind)));
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->thisType(), kind);
    EXPECT_EQ(c->m_pRestoreSink, nullptr);
    AcceptAllFilter filter;
    EXPECT_EQ(c->Initialize(nullptr), 0);
    EXPECT_EQ(c->Initialize(&filter), 1);
  }
  EXPECT_EQ(CreateRecoveryController(kControllerNone), nullptr);
  EXPECT_EQ(CreateRecoveryController(static_cast<_RECOVERY_CONTROLLER_TYPE>(-1)), nullptr);
}

// Every kind with no engine, one engine or all of them, on an NTFS volume of
// three blocks and a bit.
TEST_F(ControllerKinds, EveryKindRunsWithAnyNumberOfEngines) {
  const std::vector<_tagSearcherType> all = {kSearcherHfsPlus,   kSearcherFat,  kSearcherExFat,
                                             kSearcherRawByType, kSearcherNtfs, kSearcherApfs};
  const std::vector<std::vector<_tagSearcherType>> engineSets = {{}, {kSearcherNtfs}, all};
  const long long total = 8192 * 3 + 100;
  for (int kind : {0, 1, 2}) {
    for (const auto& engines : engineSets) {
      SCOPED_TRACE(testing::Message() << "kind " << kind << ", engines " << engines.size());
      engine_registry::Clear();
      SearcherJournal::Get().Reset();
      RegisterCompleteSearchers(engines);
      if (!engines.empty()) RegisterQuickSearchers({kFsNtfs});

      PatternDevice volume(total, 512, kDeviceVolume);
      volume.SetVolumeRecord(kFsNtfs, "Data");
      AcceptAllFilter filter;
      FakeProgress progress;
      RecordingTree tree;
      ControllerPtr c(CreateRecoveryController(static_cast<_RECOVERY_CONTROLLER_TYPE>(kind)));
      ASSERT_EQ(c->Initialize(&filter), 1);
      const RESULT r = c->StartDataRecovery(&volume, &progress, &tree);

      if (engines.empty()) {
        EXPECT_EQ(result::CodeOf(r), kind == 0 ? kCtrlNoQuickSearcher : kCtrlNoCompleteSearcher);
        EXPECT_EQ(progress.Reports().back().state, kProgressFinished);
      } else if (kind == 0) {
        EXPECT_EQ(r, 0u);
        EXPECT_EQ(SearcherJournal::Get().Events(kFsNtfs, "quick").size(), 1u);
        EXPECT_TRUE(SearcherJournal::Get().Events("block").empty());
      } else {
        EXPECT_EQ(r, 0u);
        for (_tagSearcherType t : engines) {
          EXPECT_EQ(SearcherJournal::Get().Events(t, "block").size(), 4u) << t;
          EXPECT_EQ(SearcherJournal::Get().Events(t, "end").size(), 1u) << t;
        }
        EXPECT_EQ(progress.Reports().back().state, kProgressFinished);
      }
      c.reset();
      const std::size_t made = kind == 0 ? (engines.empty() ? 0 : 1) : engines.size();
      EXPECT_EQ(SearcherJournal::Get().Events("deleted").size(), made) << "released with the controller";
    }
  }
}
