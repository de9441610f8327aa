#include "support/Absent.h"

#include <unistd.h>

#include <cstdlib>
#include <string>

#include "support/TempDir.h"

namespace testsupport {

bool AbsenceIsAnError(Absence what) {
  if (what == Absence::kBroken) return true;
  const char* value = std::getenv("QUARNEL_REQUIRE_ALL");
  const std::string required = value != nullptr ? value : "";
  if (required.empty() || required == "0" || what == Absence::kCapability) return false;
  return what == Absence::kTool || required != "tools";
}

::testing::TestPartResult::Type AbsenceResult(Absence what) {
  return AbsenceIsAnError(what) ? ::testing::TestPartResult::kFatalFailure : ::testing::TestPartResult::kSkip;
}

const char* AbsencePrefix(Absence what) {
  if (what == Absence::kBroken) return "a tool that is installed failed";
  return AbsenceIsAnError(what) ? "absent, but CI requires it (QUARNEL_REQUIRE_ALL)" : "";
}

Lack MissingTool(std::initializer_list<const char*> tools) {
  for (const char* tool : tools) {
    if (!HaveProgram(tool)) return {Absence::kTool, std::string(tool) + " is not installed"};
  }
  return {};
}

Lack Broken(std::string reason) { return {Absence::kBroken, std::move(reason)}; }

Lack MissingCapability(std::string reason) { return {Absence::kCapability, std::move(reason)}; }

Lack MissingFuse() {
  if (::geteuid() != 0) return MissingCapability("mounting FUSE file systems needs root");
  if (::access("/dev/fuse", R_OK | W_OK) != 0) return MissingCapability("/dev/fuse is not available");
  return {};
}

Lack MissingLoop() {
  if (::geteuid() != 0) return MissingCapability("attaching loop devices needs root");
  if (::access("/dev/loop-control", F_OK) != 0) return MissingCapability("/dev/loop-control is not available");
  if (!HaveProgram("losetup")) return {Absence::kTool, "losetup is not installed"};
  return {};
}

}  // namespace testsupport
