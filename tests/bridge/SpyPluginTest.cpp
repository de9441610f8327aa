// The usage-statistics plug-in: absent it changes nothing; present, its
// entry points receive the calls; keys below 4096 never reach it.

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "bridge/BridgeServices.h"
#include "bridge/QVSpy.h"
#include "bridge/QVUIController.h"
#include "support/TempDir.h"

namespace {

std::string TakeLog() {
  void* handle = ::dlopen(QUARNEL_TEST_SPY_DIR "/libTralmon.so", RTLD_NOW | RTLD_NOLOAD);
  if (handle == nullptr) return "<not loaded>";
  auto take = reinterpret_cast<const char* (*)()>(::dlsym(handle, "TestSpyTakeLog"));
  std::string log = take != nullptr ? take() : "<no log>";
  ::dlclose(handle);
  return log;
}

class SpyPlugin : public ::testing::Test {
 protected:
  void TearDown() override { bridge::SetSpyModuleDirectory(""); }
};

TEST_F(SpyPlugin, WithoutTheLibraryEveryCallDoesNothing) {
  const testsupport::TempDir empty;
  bridge::SetSpyModuleDirectory(empty.Path().string());
  EXPECT_EQ(bridge::LoadSpyModule(), nullptr);
  EXPECT_EQ(bridge::GetSpy(), nullptr);
  QVUIController::SpyIDInstall();
  QVUIController::SetUserParticipart(true);
  QVUIController::SpyIDIncreateTable1(5000);
  QVUIController::SpyIDStringTable2(5000, "x");
  QVUIController::SpyIDSaveToServerTable();
  QVUIController::SpyIDEnd();
}

TEST_F(SpyPlugin, ThePluginsEntryPointsReceiveTheCalls) {
  const std::string lib = std::string(QUARNEL_TEST_SPY_DIR) + "/libTralmon.so";
  ASSERT_EQ(::chmod(lib.c_str(), 0755), 0);
  bridge::SetSpyModuleDirectory(QUARNEL_TEST_SPY_DIR);
  ASSERT_NE(bridge::LoadSpyModule(), nullptr);
  ASSERT_NE(bridge::GetSpy(), nullptr);
  (void)TakeLog();

  bridge::Settings().SetBool("Participate", true);
  QVUIController::SpyIDInstall();
  QVUIController::SpyIDIncreateTable1(4095);  // dropped
  QVUIController::SpyIDIncreateTable1(4096);
  QVUIController::SpyIDIncreateTable2(4100, -3);
  QVUIController::SpyIDStringTable1(4101, "throw");  // the plug-in's exception is dropped
  QVUIController::SpyIDStringTable1(4102, "one");
  QVUIController::SpyIDWStringTable1(4103, "wide");
  QVUIController::SpyIDStringTable2(17, "dropped");
  QVUIController::SpyIDEnd();
  const std::string address =
      "https://stats.quarnel.org/product/index.php/?a=statistics&p_type=m_mac_vyx_user_operation";
  EXPECT_EQ(TakeLog(),
            "install 1 path 1 1\ncount1 4096\nint2 4100 -3\ntext1 4102 one\nwtext1 4103 wide\n"
            "text2 3584 " +
                address + "\nupload 7 5\nfinish\n");
  bridge::Settings().SetBool("Participate", false);
}

TEST_F(SpyPlugin, ALibraryOthersMayWriteIsRefused) {
  const std::string lib = std::string(QUARNEL_TEST_SPY_DIR) + "/libTralmon.so";
  const testsupport::TempDir dir;
  const std::filesystem::path copy = dir.Path() / "libTralmon.so";
  std::filesystem::copy_file(lib, copy, std::filesystem::copy_options::overwrite_existing);
  ASSERT_EQ(::chmod(copy.c_str(), 0777), 0);
  bridge::SetSpyModuleDirectory(dir.Path().string());
  EXPECT_EQ(bridge::LoadSpyModule(), nullptr);
}

TEST(SpyText, WideTextIsCutToItsBudget) {
  EXPECT_EQ(bridge::Utf8ToWide("h\xc3\xa9llo", 1024), L"h\u00e9llo");
  EXPECT_EQ(bridge::Utf8ToWide(std::string(600, 'a'), 1024).size(), 1024 / sizeof(wchar_t) - 1);
  EXPECT_EQ(bridge::Utf8ToWide("ok\xff", 1024), L"ok");
}

}  // namespace
