// Status word, pause, stop and the progress copy of an operation.

#include <gtest/gtest.h>

#include "bridge/QVUIController.h"
#include "bridge/QVUIOperation.h"

namespace {

class Operation : public QVUIOperation {
 public:
  void UpdateProgress(_PROGRESS_INFO* info) override { SetProgressInfo(*info); }
};

TEST(OperationStatus, FreshOperationIsIdle) {
  Operation op;
  EXPECT_EQ(op.GetStatus(), kOpIdle);
  EXPECT_EQ(op.IsOperationExit(), 1);
  EXPECT_EQ(op.shouldBuild(), 1);
  EXPECT_EQ(op.IsNeedUIUpdate(), 0);
  EXPECT_EQ(op.GetScanElapseTime(), 0);
}

struct StopCase {
  int status;
  int flag;
  int statusAfter;
  int buildAfter;
};

class StopOperation : public ::testing::TestWithParam<StopCase> {};

TEST_P(StopOperation, SetsStatusBuildFlagAndUpdateFlag) {
  const StopCase& c = GetParam();
  Operation op;
  op.SetStatus(c.status);
  op.StopOperation(c.flag);
  EXPECT_EQ(op.GetStatus(), c.statusAfter);
  EXPECT_EQ(op.shouldBuild(), c.buildAfter);
  EXPECT_EQ(op.IsNeedUIUpdate(), 1);
}

INSTANTIATE_TEST_SUITE_P(Cases, StopOperation,
                         ::testing::Values(StopCase{kOpRunning, 0, kOpStopRequested, 1},
                                           StopCase{kOpRunning, 1, kOpStopRequested, 0},
                                           StopCase{kOpPaused, 1, kOpStopRequested, 0},
                                           StopCase{kOpIdle, 1, kOpIdle, 1}));

TEST(OperationStatus, PauseOnlyTogglesRunningAndPaused) {
  Operation op;
  for (int s : {kOpIdle, kOpStopRequested, kOpExit}) {
    op.SetStatus(s);
    op.PauseOrResumeOperation();
    EXPECT_EQ(op.GetStatus(), s);
  }
  op.SetStatus(kOpRunning);
  op.PauseOrResumeOperation();
  EXPECT_EQ(op.GetStatus(), kOpPaused);
  op.PauseOrResumeOperation();
  EXPECT_EQ(op.GetStatus(), kOpRunning);
}

TEST(OperationStatus, ContinuedAnswersByStatus) {
  Operation op;
  const std::pair<int, int> cases[] = {{kOpIdle, 0}, {kOpStopRequested, 0}, {kOpRunning, 1}, {kOpExit, 0}, {7, 1}};
  for (const auto& [status, expected] : cases) {
    op.SetStatus(status);
    EXPECT_EQ(op.Continued(), expected) << status;
  }
  op.SetStatus(7);
  EXPECT_EQ(op.IsOperationExit(), 0);
}

struct EstimateCase {
  std::int64_t elapsed;
  std::uint64_t total;
  std::uint64_t done;
  const char* text;
};

class RemainingTime : public ::testing::TestWithParam<EstimateCase> {};

TEST_P(RemainingTime, FollowsTheEstimate) {
  const EstimateCase& c = GetParam();
  EXPECT_EQ(QVUIController::FormatRemaining(QVUIController::EstimateRemaining(c.elapsed, c.total, c.done)), c.text);
}

INSTANTIATE_TEST_SUITE_P(Cases, RemainingTime,
                         ::testing::Values(EstimateCase{100, 1000, 100, "00:07:30"},  // below a quarter: x0.5
                                           EstimateCase{100, 1000, 400, "00:01:45"},  // below a half: x0.7
                                           EstimateCase{100, 1000, 500, "00:01:40"},
                                           EstimateCase{0, 1000, 500, "-:-:-"},       // under one second
                                           EstimateCase{100, 1000, 0, "-:-:-"},       // nothing done
                                           EstimateCase{100, 1000, 9, "-:-:-"},       // below 1 %
                                           EstimateCase{100000, 100, 10, "-:-:-"}));  // over 100 hours

}  // namespace
