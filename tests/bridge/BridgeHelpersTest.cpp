// A volume's own settings file, the UTF-8 to wide-character conversion and
// the check for another running copy of the program.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <plist/plist.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bridge/QVPublic.h"
#include "bridge/QVUIController.h"
#include "bridge/VolumeConfig.h"
#include "platform/SingleInstance.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

std::string XmlPlist(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
         "<plist version=\"1.0\">\n" +
         body + "\n</plist>\n";
}

std::string BinaryPlistWithQuickProtect() {
  plist_t dict = plist_new_dict();
  plist_dict_set_item(dict, kWXKeyQuickProtect, plist_new_bool(1));
  char* bin = nullptr;
  std::uint32_t length = 0;
  plist_to_bin(dict, &bin, &length);
  std::string bytes(bin, length);
  std::free(bin);
  plist_free(dict);
  return bytes;
}

// Writes ".Quarnelfiles/config.plist" under a fresh volume folder.
std::string VolumeWith(const testsupport::TempDir& dir, const std::string& name, const std::string& content) {
  const fs::path volume = dir.Path() / name;
  fs::create_directories(volume / ".Quarnelfiles");
  std::ofstream(volume / ".Quarnelfiles" / "config.plist", std::ios::binary) << content;
  return volume.string();
}

TEST(VolumeConfig, ProtectFlagsComeFromTheVolumesPropertyList) {
  testsupport::TempDir dir;
  struct Case {
    const char* name;
    std::string content;
    bool complete;
    bool quick;
    std::size_t entries;
  };
  const std::vector<Case> cases = {
      {"both", XmlPlist("<dict><key>WXKeyCompleteProtect</key><true/><key>WXKeyQuickProtect</key><false/></dict>"),
       true, false, 2},
      {"binary", BinaryPlistWithQuickProtect(), false, true, 1},
      {"numbers",
       XmlPlist("<dict><key>WXKeyCompleteProtect</key><integer>0</integer>"
                "<key>WXKeyQuickProtect</key><integer>1</integer></dict>"),
       false, true, 2},
      {"texts",
       XmlPlist("<dict><key>WXKeyCompleteProtect</key><string>YES</string>"
                "<key>WXKeyQuickProtect</key><string>no</string><key>Other</key><array/></dict>"),
       true, false, 3},
      {"not-a-dictionary", XmlPlist("<array><true/></array>"), false, false, 0},
      {"garbage", std::string("\x00\x01not a property list", 21), false, false, 0},
      {"empty", "", false, false, 0},
  };
  for (const Case& c : cases) {
    const std::string volume = VolumeWith(dir, c.name, c.content);
    EXPECT_EQ(QVUIController::WXGetConfigDictionary(volume).size(), c.entries) << c.name;
    EXPECT_EQ(QVUIController::WXGetCompleteProtect(volume), c.complete) << c.name;
    EXPECT_EQ(QVUIController::WXGetQuickProtect(volume), c.quick) << c.name;
  }
  const VolumeConfigDictionary texts = QVUIController::WXGetConfigDictionary((dir.Path() / "texts").string());
  EXPECT_EQ(texts.at(kWXKeyCompleteProtect), VolumeConfigValue(std::string("YES")));
}

TEST(VolumeConfig, AbsentOrHostileFilesGiveAnEmptyDictionary) {
  testsupport::TempDir dir;
  // No settings folder at all, and no volume path.
  fs::create_directories(dir.Path() / "bare");
  EXPECT_TRUE(WXGetConfigDictionary((dir.Path() / "bare").string()).empty());
  EXPECT_TRUE(WXGetConfigDictionary("").empty());
  // A FIFO in its place would block a plain open.
  fs::create_directories(dir.Path() / "fifo" / ".Quarnelfiles");
  ASSERT_EQ(::mkfifo((dir.Path() / "fifo" / ".Quarnelfiles" / "config.plist").c_str(), 0600), 0);
  EXPECT_TRUE(WXGetConfigDictionary((dir.Path() / "fifo").string()).empty());
  EXPECT_FALSE(WXGetQuickProtect((dir.Path() / "fifo").string()));
  // A folder of that name.
  fs::create_directories(dir.Path() / "folder" / ".Quarnelfiles" / "config.plist");
  EXPECT_TRUE(WXGetConfigDictionary((dir.Path() / "folder").string()).empty());
  // A file far larger than any settings file is not read.
  const std::string huge = XmlPlist("<dict><key>WXKeyQuickProtect</key><true/></dict>") + std::string(2 << 20, ' ');
  EXPECT_FALSE(WXGetQuickProtect(VolumeWith(dir, "huge", huge)));
}

std::vector<wchar_t> Wide(const std::string& utf8, std::size_t capacity, long& result) {
  std::vector<wchar_t> out(capacity + 1, 0);
  std::string in = utf8;
  result = UTF82WCHAR(in.data(), in.size(), reinterpret_cast<char*>(out.data()), capacity * sizeof(wchar_t));
  return out;
}

TEST(Utf8ToWide, ConvertsToTheHostsWideCharacters) {
  long result = 0;
  const std::vector<wchar_t> text = Wide("h\xC3\xA9llo \xF0\x9F\x98\x80", 16, result);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(std::wstring(text.data()), std::wstring(L"h\u00E9llo \U0001F600"));
  // Only inLength bytes are converted.
  std::string in = "abcdef";
  std::vector<wchar_t> part(8, 0);
  EXPECT_EQ(UTF82WCHAR(in.data(), 3, reinterpret_cast<char*>(part.data()), 7 * sizeof(wchar_t)), 0);
  EXPECT_EQ(std::wstring(part.data()), L"abc");
}

TEST(Utf8ToWide, FailuresAnswerMinusOne) {
  long result = 0;
  // An invalid byte: what came before it is converted.
  std::vector<wchar_t> text = Wide(
      "ab\xFF"
      "cd",
      16, result);
  EXPECT_EQ(result, -1);
  EXPECT_EQ(std::wstring(text.data()), L"ab");
  // Too small an output: what fitted is there, nothing past it.
  text = Wide("abcdef", 3, result);
  EXPECT_EQ(result, -1);
  EXPECT_EQ(std::wstring(text.data()), L"abc");
  // A sequence cut off at the end.
  text = Wide("ab\xC3", 16, result);
  EXPECT_EQ(result, -1);
  std::vector<wchar_t> out(4, 0);
  EXPECT_EQ(UTF82WCHAR(nullptr, 3, reinterpret_cast<char*>(out.data()), 8), -1);
}

// Another copy of the program is one that holds the lock file in the
// user's runtime folder; a process of any name that does not hold it is
// not one.
TEST(AppRunning, AnotherCopyIsTheHolderOfTheLock) {
  testsupport::TempDir dir;
  platform::ReleaseInstanceLocks();
  const char* old = std::getenv("XDG_RUNTIME_DIR");
  const std::string saved = old != nullptr ? old : "";
  ::setenv("XDG_RUNTIME_DIR", dir.Path().c_str(), 1);
  const std::string lock = platform::InstanceLockPath();
  ASSERT_EQ(lock.rfind(dir.Path().string(), 0), 0u);

  int ready[2];
  int finish[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(finish), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The other copy: takes the lock with system calls only, then waits.
    const int fd = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    const char ok = (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0) ? 'y' : 'n';
    (void)!::write(ready[1], &ok, 1);
    char c;
    (void)!::read(finish[0], &c, 1);
    ::_exit(0);
  }
  char ok = 0;
  ASSERT_EQ(::read(ready[0], &ok, 1), 1);
  ASSERT_EQ(ok, 'y');
  EXPECT_TRUE(QVUIController::IsAppRunning());
  EXPECT_EQ(QVCPPPublic::instance()->IsAppRunning(), 1);
  (void)!::write(finish[1], "x", 1);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  // The other copy ended: this one is the only one now, and keeps the lock.
  EXPECT_FALSE(QVUIController::IsAppRunning());
  EXPECT_FALSE(QVUIController::IsAppRunning());
  for (int fd : {ready[0], ready[1], finish[0], finish[1]}) ::close(fd);
  platform::ReleaseInstanceLocks();
  if (old != nullptr) {
    ::setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
  } else {
    ::unsetenv("XDG_RUNTIME_DIR");
  }
}

}  // namespace
