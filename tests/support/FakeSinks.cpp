#include "support/FakeSinks.h"

#include "core/filetype/RecoveryFilter.h"
#include "core/tree/TreeBuilderClock.h"
#include "core/tree/TreeBuilderFactory.h"

namespace testsupport {

namespace {

// The builder pauses after showing a root; not here.
class NoPauseClock : public ITreeBuilderClock {
 public:
  long long Now() override { return 0; }
  void Sleep(int) override {}
};

}  // namespace

TreeBuilderPtr MakeCompleteScanBuilder(IDrirectoryTree& tree) {
  static NoPauseClock clock;
  TreeBuilderPtr builder(CreateTreeBuilder(false, &clock));
  IRecoveryFilter* filter = CreateFilter();
  filter->SetScanType(kScanComplete);
  filter->SetFilterTypes(127);
  builder->Initialize("test", &tree, filter);
  return builder;
}

}  // namespace testsupport
