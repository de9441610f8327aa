// The settings file and the revision switch read from it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "core/util/Log.h"
#include "fat/IniFile.h"
#include "support/Files.h"
#include "support/TempDir.h"

namespace {

class ReviseSwitch : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("QUARNEL_WORK_DIR", m_dir.Path().c_str(), 1);
    CatchExeception::ResetWorkPath();
  }
  void TearDown() override {
    unsetenv("QUARNEL_WORK_DIR");
    CatchExeception::ResetWorkPath();
  }
  void Write(const std::string& text) { std::ofstream(m_dir.File("UIConfig.ini"), std::ios::binary) << text; }
  testsupport::TempDir m_dir;
};

TEST_F(ReviseSwitch, OnUnlessTheValueIsExactlyZero) {
  EXPECT_TRUE(ReadReviseSwitch()) << "no file";
  struct Case {
    const char* text;
    bool on;
  };
  const Case cases[] = {
      {"[UserExperience]\nbRevise=0\n", false},
      {"[UserExperience]\nbRevise=1\n", true},
      {"[UserExperience]\nbRevise=no\n", true},
      {"[UserExperience]\nbRevise=\n", true},
      {"[UserExperience]\nbRevise = 0\n", true},    // the key has a blank
      {"[UserExperience]\r\nbRevise=0\r\n", true},  // the value ends in a carriage return
      {"[userexperience]\nbRevise=0\n", true},
      {"bRevise=0\n[UserExperience]\n", true},  // a key before any section
      {"; comment\n[Other]\nx=1\n[UserExperience]\nbRevise=0\n", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Write(c.text);
    EXPECT_EQ(ReadReviseSwitch(), c.on);
  }
}

TEST(IniFiles, ABracketInAValueStartsASectionAndWritesKeepOrder) {
  testsupport::TempDir dir;
  const std::string path = dir.File("a.ini");
  std::ofstream(path) << "[s]\nx=a[1]\nb=2\na=1\n";
  CIniFile ini;
  ASSERT_EQ(ini.Init(path), 0);
  std::string b;
  EXPECT_EQ(ini.ReadItem("s", "x", b), -1);
  EXPECT_EQ(ini.ReadItem("1", "b", b), 0) << "\"x=a[1]\" opened section 1";
  EXPECT_EQ(b, "2");
  std::ofstream(path) << "[s]\nb=2\n# note\na=1\n";
  CIniFile ini2;
  ASSERT_EQ(ini2.Init(path), 0);
  std::string value;
  EXPECT_EQ(ini2.ReadItem("s", "a", value), 0);
  EXPECT_EQ(value, "1");
  EXPECT_EQ(ini2.WriteItem("s", "missing", "x"), -1);
  EXPECT_EQ(ini2.WriteItem("s", "a", "3"), 0);
  const std::string text = testsupport::ReadFileText(path);
  EXPECT_EQ(text, "[s]\na=3\nb=2\n\n");
}

}  // namespace
