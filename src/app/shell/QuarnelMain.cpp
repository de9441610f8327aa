#include "app/shell/QuarnelMain.h"

#include <QApplication>
#include <QGuiApplication>

#include <cstdio>
#include <string>
#include <vector>

#include "app/Startup.h"
#include "app/shell/QVAppDelegate.h"
#include "app/shell/QuitOnSignals.h"
#include "app/shell/SleepInhibitor.h"
#include "bridge/QVUIController.h"
#include "platform/ProcessPaths.h"
#include "platform/ProcessStart.h"
#include "platform/SingleInstance.h"
#include "ui/bridge_qt/QtBridge.h"
#include "ui/toolkit/MyNSApplication.h"
#include "ui/toolkit/NotificationCenter.h"
#include "ui/toolkit/Strings.h"

namespace shell {
namespace {

// "AppleLanguages" and "rsfPath" in the user's settings file, written by
// store() once this copy of the program is known to be the only one (a
// second start must not change the running copy's settings).
class StoredStartupSettings final : public app::StartupSettings {
 public:
  void setCurLanguage(const std::string& code) override {
    std::printf("argv = %s\n", code.c_str());
    std::fflush(stdout);
    std::fprintf(stderr, "set lanague to = %s\n", code.c_str());
    language_ = QString::fromStdString(code);
  }
  void SetRsfPath(const std::string& path) override { rsfPath_ = path; }
  void store() {
    if (!language_.isEmpty()) settings_.SetList(QStringLiteral("AppleLanguages"), {language_});
    settings_.SetString("rsfPath", rsfPath_);
  }
  bridge_qt::QtSettings& settings() { return settings_; }

 private:
  bridge_qt::QtSettings settings_;
  QString language_;
  std::string rsfPath_;
};

int runLoop(QApplication& app, StoredStartupSettings& stored) {
  const QStringList languages = stored.settings().GetList(QStringLiteral("AppleLanguages"));
  ui::Strings::setLanguage(languages.isEmpty() ? QStringLiteral("en") : languages.first());
  ui::MyNSApplication::install();
  bridge_qt::QtBridge bridge;
  SleepInhibitor inhibitor;
  inhibitor.PreventSleep();
  QuitOnSignals quitOnSignals;
  QVUIController::Init();

  QObject quitter;
  ui::NotificationCenter::defaultCenter().addObserver(&quitter, QStringLiteral("appWillTerminate"),
                                                      [](const ui::Notification&) { QCoreApplication::exit(0); });
  int status = 0;
  {
    QVAppDelegate delegate;
    delegate.applicationDidFinishLaunching();
    status = app.exec();
  }
  // Jobs end before the bridge's Qt side goes.
  QVUIController::StopScan(1);
  QVUIController::StopRecvoery();
  QVUIController::StopSearch();
  QVUIController::WaitForJobs(10000);
  inhibitor.ReleasePreventObj();
  return status;
}

}  // namespace

int RunQuarnel(int argc, char** argv) {
  const std::vector<std::string> args(argv, argv + argc);
  platform::SystemProcessStarter starter;
  StoredStartupSettings stored;
  const app::StartupOutcome outcome = app::RunStartup(args, starter, stored, platform::ExecutableDirectory());
  if (outcome.exitNow) return 0;
  if (outcome.relaunchFailed)
    std::fprintf(stderr, "quarnel: the launcher could not be started; running without administrator rights\n");
  if (QVUIController::IsAppRunning()) {
    std::fprintf(stderr, "quarnel: already running for this user (lock %s); not opening a second window\n",
                 platform::InstanceLockPath().c_str());
    return 0;
  }
  stored.store();
  QApplication app(argc, argv);
  QCoreApplication::setOrganizationName(QStringLiteral("quarnel"));
  QCoreApplication::setApplicationName(QStringLiteral("quarnel"));
  QCoreApplication::setApplicationVersion(QStringLiteral(QUARNEL_VERSION));
  QGuiApplication::setDesktopFileName(QStringLiteral("quarnel"));
  return runLoop(app, stored);
}

}  // namespace shell
