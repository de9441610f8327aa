#include "core/util/Log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/ProcessPaths.h"
#include "support/Files.h"
#include "support/TempDir.h"
#include "WorkDirScope.h"

namespace {

using testing::MatchesRegex;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

TEST(LogTest, WritesTimePrefixAndTextToFileAndStdout) {
  testsupport::TempDir dir;
  WorkDirScope scope(dir.Path().string());

  testing::internal::CaptureStdout();
  const int written = CatchExeception::WriteLog("%s %d\r\n", "Read", 106);
  const std::string printed = testing::internal::GetCapturedStdout();

  EXPECT_EQ(written, 9 + 10);
  const std::string logged = testsupport::ReadFileText(dir.File("vAVE_Quarnel.log"));
  EXPECT_THAT(logged, MatchesRegex("[0-2][0-9]:[0-5][0-9]:[0-6][0-9] Read 106\r\n"));
  EXPECT_EQ(printed, logged);
}

TEST(LogTest, AppendsOneLinePerCall) {
  testsupport::TempDir dir;
  WorkDirScope scope(dir.Path().string());

  testing::internal::CaptureStdout();
  CatchExeception::WriteLog("first\n");
  CatchExeception::WriteLog("second %u\n", 2u);
  testing::internal::GetCapturedStdout();

  const auto lines = Lines(testsupport::ReadFileText(dir.File("vAVE_Quarnel.log")));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].substr(9), "first");
  EXPECT_EQ(lines[1].substr(9), "second 2");
}

TEST(LogTest, LongTextIsCutTo1999CharactersButFullLengthReturned) {
  testsupport::TempDir dir;
  WorkDirScope scope(dir.Path().string());
  const std::string text(2500, 'x');

  testing::internal::CaptureStdout();
  const int written = CatchExeception::WriteLog("%s", text.c_str());
  const std::string printed = testing::internal::GetCapturedStdout();

  EXPECT_EQ(written, 9 + 2500);
  const std::string logged = testsupport::ReadFileText(dir.File("vAVE_Quarnel.log"));
  ASSERT_EQ(logged.size(), 9u + 1999u);
  EXPECT_EQ(logged.substr(9), std::string(1999, 'x'));
  EXPECT_EQ(printed, logged);
}

TEST(LogTest, TextOf1999CharactersIsKeptWhole) {
  testsupport::TempDir dir;
  WorkDirScope scope(dir.Path().string());
  const std::string text(1998, 'y');

  testing::internal::CaptureStdout();
  CatchExeception::WriteLog("%s\n", text.c_str());
  testing::internal::GetCapturedStdout();

  EXPECT_EQ(testsupport::ReadFileText(dir.File("vAVE_Quarnel.log")).substr(9), text + "\n");
}

TEST(LogTest, UnwritableWorkDirStillPrints) {
  testsupport::TempDir dir;
  // A folder below a plain file cannot exist, not even for root.
  std::ofstream(dir.File("plain")) << "x";
  WorkDirScope scope(dir.File("plain") + "/sub");

  testing::internal::CaptureStdout();
  const int written = CatchExeception::WriteLog("lost %d\n", 7);
  const std::string printed = testing::internal::GetCapturedStdout();

  EXPECT_EQ(written, 9 + 7);
  EXPECT_THAT(printed, MatchesRegex("..:..:.. lost 7\n"));
}

TEST(LogTest, FailedWriteIsReported) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  testsupport::TempDir dir;
  std::filesystem::create_symlink("/dev/full", dir.Path() / "vAVE_Quarnel.log");
  WorkDirScope scope(dir.Path().string());

  testing::internal::CaptureStdout();
  CatchExeception::WriteLog("disk full\n");
  const std::string printed = testing::internal::GetCapturedStdout();

  EXPECT_THAT(printed, MatchesRegex("..:..:.. disk full\nWriteLog failed with No space left on device\n"));
}

TEST(LogTest, WorkPathFollowsOverrideAndIsCachedUntilReset) {
  testsupport::TempDir first;
  testsupport::TempDir second;
  WorkDirScope scope(first.Path().string() + "/");

  const std::string cached = CatchExeception::GetWorkPath();
  EXPECT_EQ(cached, first.Path().string());

  setenv("QUARNEL_WORK_DIR", second.Path().c_str(), 1);
  EXPECT_EQ(std::string(CatchExeception::GetWorkPath()), cached);

  CatchExeception::ResetWorkPath();
  EXPECT_EQ(std::string(CatchExeception::GetWorkPath()), second.Path().string());
}

TEST(LogTest, WorkPathWithoutOverrideIsWritableExecutableFolder) {
  WorkDirScope scope("");
  const std::string exeDir = platform::ExecutableDirectory();
  if (!platform::IsWritableDirectory(exeDir)) GTEST_SKIP() << "executable folder is read-only";
  EXPECT_EQ(GetAppWorkPath(), exeDir);
}

TEST(LogThreads, LinesFromManyThreadsNeverInterleave) {
  testsupport::TempDir dir;
  WorkDirScope scope(dir.Path().string());
  constexpr int kThreads = 4;
  constexpr int kLinesEach = 50;
  const std::string body(300, 'z');

  testing::internal::CaptureStdout();
  {
    std::vector<std::jthread> writers;
    for (int t = 0; t < kThreads; ++t) {
      writers.emplace_back([t, &body] {
        for (int i = 0; i < kLinesEach; ++i) CatchExeception::WriteLog("T%d %03d %s\n", t, i, body.c_str());
      });
    }
  }
  testing::internal::GetCapturedStdout();

  const auto lines = Lines(testsupport::ReadFileText(dir.File("vAVE_Quarnel.log")));
  ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kLinesEach));
  std::vector<int> next(kThreads, 0);
  for (const std::string& line : lines) {
    ASSERT_THAT(line, MatchesRegex("..:..:.. T[0-3] [0-9][0-9][0-9] z+"));
    EXPECT_EQ(line.size(), 9u + 7u + body.size());
    const int t = line[10] - '0';
    EXPECT_EQ(std::stoi(line.substr(12, 3)), next[t]++);
  }
}

}  // namespace
