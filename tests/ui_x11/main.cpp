// Window tests that need a real X server (stacking order): run under
// xvfb-run, on the xcb platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

// The X11 platform's D-Bus connection keeps a buffer that libdbus never
// frees; it is not ours to fix.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\n"; }

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "xcb");
  QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
