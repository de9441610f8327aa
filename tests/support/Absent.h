#pragma once
// Skipping a test because this machine lacks what it needs: a tool or a
// third-party image. Outside CI that is a skip with its reason. Under CI
// (.ci/run sets QUARNEL_REQUIRE_ALL, its set-up installs every tool) the same
// statement is a failure, so a missing tool never reads as green; images are
// required too when CI has the shared fixtures folder (QUARNEL_REQUIRE_ALL=1)
// and only the tools when it has none (QUARNEL_REQUIRE_ALL=tools).
// Decide it before any work: a tool that is present and fails is a failure.
//
//   if (!testsupport::HaveProgram("mkntfs")) QUARNEL_SKIP_NO_TOOL() << "mkntfs not installed";
//   if (dir.empty()) QUARNEL_SKIP_NO_FIXTURE() << "fixtures not available";
//   if (!s_lack.empty()) QUARNEL_SKIP_LACK(s_lack);

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

namespace testsupport {

// A tool and a fixture are errors under CI; a capability of the machine (root,
// /dev/fuse, loop devices) stays a skip everywhere; kBroken is no absence but a
// present tool that failed while making the suite's images: always a failure.
enum class Absence { kTool, kFixture, kCapability, kBroken };

// What a test or suite lacks, found once before any work ("" reason: nothing).
struct Lack {
  Absence what = Absence::kTool;
  std::string reason;
  bool empty() const { return reason.empty(); }
};

// The first of `tools` that is not on PATH, as a lack ("<tool> is not installed").
Lack MissingTool(std::initializer_list<const char*> tools);
// A present tool that failed.
Lack Broken(std::string reason);
// A lack of the machine itself.
Lack MissingCapability(std::string reason);
// Why FUSE file systems cannot be mounted here: not root, no /dev/fuse.
Lack MissingFuse();
// Why loop devices cannot be attached here: not root, no /dev/loop-control.
Lack MissingLoop();

// True when this absence must fail the test rather than skip it.
bool AbsenceIsAnError(Absence what);
// How an absence is reported: a skip, or a fatal failure under CI.
::testing::TestPartResult::Type AbsenceResult(Absence what);
// The text before the reason: empty for a skip.
const char* AbsencePrefix(Absence what);

}  // namespace testsupport

// Used like GTEST_SKIP(): returns from the test (or SetUp) with the message.
#define QUARNEL_SKIP_ABSENT_(what) \
  return GTEST_MESSAGE_AT_(__FILE__, __LINE__, ::testsupport::AbsencePrefix(what), ::testsupport::AbsenceResult(what))
#define QUARNEL_SKIP_NO_TOOL() QUARNEL_SKIP_ABSENT_(::testsupport::Absence::kTool)
#define QUARNEL_SKIP_NO_FIXTURE() QUARNEL_SKIP_ABSENT_(::testsupport::Absence::kFixture)
#define QUARNEL_SKIP_LACK(lack) QUARNEL_SKIP_ABSENT_((lack).what) << (lack).reason
