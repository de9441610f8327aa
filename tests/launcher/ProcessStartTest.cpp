#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>
#include <vector>

#include "launcher/ChildProcess.h"
#include "platform/ProcessStart.h"
#include "support/TempDir.h"

namespace {

using platform::StartDetached;
using platform::StartResult;

// A program that writes its arguments, one a line, to "<its path>.out".
std::string MakeRecorder(const testsupport::TempDir& dir, const std::string& name = "target") {
  const std::string path = dir.File(name);
  testchild::WriteExecutable(path, "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.out.tmp\"\nmv \"$0.out.tmp\" \"$0.out\"\n");
  return path;
}

void ReapChildren() {
  while (waitpid(-1, nullptr, WNOHANG) > 0) {
  }
}

struct ElevatorCase {
  const char* name;
  std::string script;  // body of the fake pkexec
  StartResult expected;
  bool targetRuns;
};

class Elevated : public ::testing::TestWithParam<ElevatorCase> {};

TEST_P(Elevated, FollowsTheElevator) {
  const ElevatorCase& c = GetParam();
  testsupport::TempDir dir;
  const std::string target = MakeRecorder(dir);
  const std::string elevator = dir.File("fake-pkexec");
  testchild::WriteExecutable(elevator, "#!/bin/sh\n" + c.script);

  EXPECT_EQ(StartDetached(target, {"de*loaderflag*", "/x/a b.Quarnel"}, true, elevator), c.expected);
  if (c.targetRuns) {
    EXPECT_EQ(testchild::WaitForText(target + ".out", "Quarnel\n"), "de*loaderflag*\n/x/a b.Quarnel\n");
  } else {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(std::filesystem::exists(target + ".out"));
  }
  ReapChildren();
}

INSTANTIATE_TEST_SUITE_P(
    Table, Elevated,
    ::testing::Values(ElevatorCase{"Authorised", "exec \"$@\"\n", StartResult::Started, true},
                      ElevatorCase{"AuthorisedAfterAWhile", "sleep 0.3\nexec \"$@\"\n", StartResult::Started, true},
                      ElevatorCase{"Dismissed", "exit 126\n", StartResult::Refused, false},
                      ElevatorCase{"NotAuthorised", "sleep 0.3\nexit 127\n", StartResult::Refused, false},
                      ElevatorCase{"ElevatorBroken", "exit 1\n", StartResult::Failed, false},
                      ElevatorCase{"ElevatorKilled", "kill -9 $$\n", StartResult::Failed, false}),
    [](const ::testing::TestParamInfo<ElevatorCase>& info) { return std::string(info.param.name); });

TEST(StartDetached, ProgramGetsItsArgumentsExactlyWithoutAShell) {
  testsupport::TempDir dir;
  const std::string target = MakeRecorder(dir);
  const std::vector<std::string> args{"en*loaderflag*", "/d/$(touch pwned);`x` 'q'.Quarnel"};
  EXPECT_EQ(StartDetached(target, args, false), StartResult::Started);
  EXPECT_EQ(testchild::WaitForText(target + ".out", "Quarnel\n"), args[0] + "\n" + args[1] + "\n");
  EXPECT_FALSE(std::filesystem::exists("pwned"));
  ReapChildren();
}

TEST(StartDetached, MissingOrUnfitProgramStartsNothing) {
  testsupport::TempDir dir;
  const std::string elevator = dir.File("fake-pkexec");
  testchild::WriteExecutable(elevator, "#!/bin/sh\ntouch \"$0.ran\"\nexec \"$@\"\n");
  std::ofstream(dir.File("plain")) << "not executable";
  std::filesystem::create_directories(dir.Path() / "folder");
  for (const std::string& path :
       {dir.File("missing"), dir.File("plain"), dir.File("folder"), std::string("target"), std::string()}) {
    for (const bool elevated : {false, true}) {
      EXPECT_EQ(StartDetached(path, {}, elevated, elevator), StartResult::NotFound) << path << " " << elevated;
    }
  }
  EXPECT_FALSE(std::filesystem::exists(elevator + ".ran"));
}

TEST(StartDetached, MissingElevatorIsAFailure) {
  testsupport::TempDir dir;
  const std::string target = MakeRecorder(dir);
  EXPECT_EQ(StartDetached(target, {}, true, dir.File("no-pkexec")), StartResult::NoElevator);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(std::filesystem::exists(target + ".out"));
}

}  // namespace
