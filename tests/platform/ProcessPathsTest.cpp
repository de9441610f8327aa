#include "platform/ProcessPaths.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "support/TempDir.h"

TEST(ProcessPaths, ExecutableDirectoryIsAFolder) {
  const std::string dir = platform::ExecutableDirectory();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir[0], '/');
}

TEST(ProcessPaths, StateDirectoryFollowsXdg) {
  const char* old = std::getenv("XDG_STATE_HOME");
  const std::string saved = old != nullptr ? old : "";
  setenv("XDG_STATE_HOME", "/tmp/xdgstate", 1);
  EXPECT_EQ(platform::UserStateDirectory(), "/tmp/xdgstate/quarnel");
  if (old != nullptr)
    setenv("XDG_STATE_HOME", saved.c_str(), 1);
  else
    unsetenv("XDG_STATE_HOME");
}

TEST(ProcessPaths, MakeDirectoriesCreatesParents) {
  testsupport::TempDir tmp;
  const std::string deep = tmp.File("a/b/c");
  EXPECT_TRUE(platform::MakeDirectories(deep));
  EXPECT_TRUE(platform::IsWritableDirectory(deep));
  EXPECT_FALSE(platform::IsWritableDirectory(tmp.File("missing")));
}
