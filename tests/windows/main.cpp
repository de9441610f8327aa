// The windows' tests: offscreen, with the settings and the runtime folder
// of this run only. With QUARNEL_SETTINGS_CHILD set the program is instead
// a child of SettingsAcrossProcesses: it writes or reads "SavePath"; with
// QUARNEL_FAKE_SCREENSAVER set it is the screen saver of ProgramTest.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

#include <cstdio>

#include "FakeScreenSaver.h"
#include "bridge/QVUIController.h"
#include "ui/bridge_qt/QtBridge.h"
#include "ui/windows/DialogFrame.h"

namespace {

int settingsChild(const QByteArray& role) {
  bridge_qt::QtBridge bridge;
  if (role.startsWith("write:")) {
    QVUIController::SavePathToPList(role.mid(6).toStdString());
    return 0;
  }
  std::printf("SavePath=%s\n", QVUIController::GetSavePath().c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  const QByteArray screenSaverLog = qgetenv("QUARNEL_FAKE_SCREENSAVER");
  if (!screenSaverLog.isEmpty()) return windowstest::RunFakeScreenSaver(screenSaverLog, argc, argv);
  const QByteArray child = qgetenv("QUARNEL_SETTINGS_CHILD");
  if (!child.isEmpty()) {
    QCoreApplication app(argc, argv);
    return settingsChild(child);
  }
  QTemporaryDir config;
  QTemporaryDir runtime;
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
  qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
  QApplication app(argc, argv);
  QCoreApplication::setOrganizationName(QStringLiteral("quarnel"));
  QCoreApplication::setApplicationName(QStringLiteral("quarnel"));
  windows::DialogFrame::setFadeDuration(0);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
