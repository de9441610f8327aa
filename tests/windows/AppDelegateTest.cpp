// The application delegate: when the launch checks for a newer version,
// the launch itself (first run, main window with its menu button), and a
// quit asked for during a scan, which pauses the scan while it asks.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <fstream>
#include <functional>

#include "app/shell/QVAppDelegate.h"
#include "bridge/QVUIController.h"
#include "bridge/QVUIDeviceData.h"
#include "support/Absent.h"
#include "support/EventLoop.h"
#include "support/TempDir.h"
#include "ui/bridge_qt/QtBridge.h"
#include "ui/toolkit/Modal.h"
#include "ui/toolkit/NotificationCenter.h"
#include "ui/toolkit/Strings.h"
#include "ui/windows/QVPublicUtilities.h"

namespace {

using shell::QVAppDelegate;

bool waitFor(const std::function<bool()>& done, int ms = 10000) { return testsupport::RunEventsUntil(done, ms); }

TEST(AppDelegate, UpdateCheckAtMostEverySevenDays) {
  const QDateTime now =
      QDateTime::fromString(QStringLiteral("2026-03-10 12:00:00"), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
  struct Case {
    const char* stored;
    bool check;
  };
  const std::vector<Case> cases = {
      {"", true},  // a first run
      {" ", true},
      {"2026-03-03 12:00:01", false},  // 6 days 23:59:59 ago
      {"2026-03-03 12:00:00", true},   // exactly 7 days ago
      {"2026-02-01 08:00:00", true},
      {"2026-03-12 12:00:00", false},  // in the future
      {"yesterday", true},             // does not parse
  };
  for (const Case& c : cases)
    EXPECT_EQ(QVAppDelegate::shouldCheckForUpdate(QString::fromLatin1(c.stored), now), c.check) << c.stored;
}

// "PrivateData" whose list address is a closed local port.
class NoServer {
 public:
  NoServer() {
    const std::string shipped = dir_.File("PrivateData.plist");
    std::ofstream(shipped) << "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>VersionCheck</key>"
                              "<integer>1</integer><key>en</key><dict><key>IniURL</key>"
                              "<string>http://127.0.0.1:9/versions.plist</string></dict></dict></plist>\n";
    overlay_ = dir_.File("overlay.plist");
    windows::QVPublicUtilities::setPrivateDataFiles({shipped}, overlay_);
  }
  ~NoServer() { windows::QVPublicUtilities::resetPrivateDataFiles(); }

 private:
  testsupport::TempDir dir_;
  std::string overlay_;
};

TEST(AppDelegate, FirstLaunchChecksThenOpensTheMainWindowWithItsMenu) {
  bridge_qt::QtBridge bridge;
  NoServer server;
  QSettings().remove(QStringLiteral("Participate"));
  QVAppDelegate::Options options;
  options.mediaMonitor = false;
  options.now = [] {
    return QDateTime::fromString(QStringLiteral("2026-03-10 12:00:00"), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
  };
  int ended = 0;
  options.terminate = [&] { ++ended; };
  QVAppDelegate delegate(options);
  delegate.applicationDidFinishLaunching();
  EXPECT_EQ(windows::QVPublicUtilities::getUpDataTimeStr(), QStringLiteral("2026-03-10 12:00:00"));
  EXPECT_TRUE(QSettings().value(QStringLiteral("Participate")).toBool());
  // No server: no update window, the main window once the check is over.
  ASSERT_TRUE(waitFor([&] { return delegate.rootWindowCon() != nullptr; }));
  EXPECT_TRUE(delegate.rootWindowCon()->isVisible());
  ASSERT_NE(delegate.menuButton(), nullptr);
  EXPECT_EQ(delegate.menuButton()->parentWidget(), delegate.rootWindowCon()->titleBarView());
  QStringList items;
  for (QAction* a : delegate.menu()->actions())
    if (!a->isSeparator()) items << a->objectName();
  EXPECT_EQ(items, (QStringList{"openImage", "about", "checkUpdate", "participate", "onlineHelp", "supportCenter",
                                "minimize", "exit"}));
  // A second run of the same day does not check again.
  delegate.runRootWindow();
  // The band's close button ends the program through "appWillTerminate".
  ui::NotificationCenter::defaultCenter().post(QStringLiteral("appWillTerminate"));
  EXPECT_EQ(ended, 1);
}

// Records whether the scan was paused while the question was asked.
class QuitQuestion final : public ui::ModalRunner {
 public:
  int runModal(QWidget*) override { return 0; }
  void stopModal(QWidget*, int) override {}
  bool isModalRunning(QWidget*) const override { return false; }
  int alert(const ui::AlertSpec& spec) override {
    pausedWhileAsking.push_back(QVUIController::IsPause());
    asked.push_back(spec);
    return answer;
  }
  QString openFile(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
  QString saveFile(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
  QString chooseFolder(QWidget*, const QString&, const QString&) override { return {}; }
  bool openUrl(const QUrl&) override { return false; }
  int answer = 0;
  std::vector<bool> pausedWhileAsking;
  std::vector<ui::AlertSpec> asked;
};

TEST(AppDelegate, QuitDuringAScanAsksWithTheScanPaused) {
  if (testsupport::Run("PATH=\"$PATH:/usr/sbin:/sbin\" command -v mkfs.vfat >/dev/null") != 0)
    QUARNEL_SKIP_NO_TOOL() << "mkfs.vfat missing";
  testsupport::TempDir dir;
  const std::string image = dir.File("big.img");
  ASSERT_EQ(testsupport::Run("PATH=\"$PATH:/usr/sbin:/sbin\"; mkfs.vfat -F 32 -C '" + image + "' 524288 >/dev/null"),
            0);
  bridge_qt::QtBridge bridge;
  QVUIController::Init();
  ASSERT_TRUE(QVUIController::WaitForJobs(20000));
  std::string why;
  const int disk = QVUIDeviceData::instance()->QVOpenImageFile(image, why);
  ASSERT_GE(disk, 0) << why;
  QVAppDelegate::Options options;
  options.mediaMonitor = false;
  int ended = 0;
  options.terminate = [&] { ++ended; };
  QVAppDelegate delegate(options);
  QuitQuestion question;
  ui::ScopedModalRunner scoped(question);

  // No scan: the program may end at once, without a question.
  EXPECT_TRUE(delegate.applicationShouldTerminate());
  EXPECT_TRUE(question.asked.empty());

  _DiskVolumeData whole;
  whole.diskIndex = disk;
  whole.volumeIndex = -1;
  ASSERT_TRUE(QVUIController::DoDeepScanWithData(&whole, "NormalScranValue", nullptr));
  // Held paused so that it is still running while the test asks.
  QVUIController::PauseOrResumeScan();
  ASSERT_TRUE(QVUIController::IsPause());
  question.answer = 0;
  EXPECT_FALSE(delegate.applicationShouldTerminate());
  ASSERT_EQ(question.asked.size(), 1u);
  EXPECT_TRUE(question.pausedWhileAsking.back());
  EXPECT_EQ(question.asked.back().defaultButton, ui::Strings::text(QStringLiteral("NQT_FOUR_SCAN_STOP_YES_BUTTON")));
  // "Go on" resumes the scan, also one paused before the question.
  EXPECT_FALSE(QVUIController::IsPause());
  EXPECT_EQ(ended, 0);
  // Held again (a 512 MiB sweep outlasts these steps); "quit" ends the program.
  QVUIController::PauseOrResumeScan();
  ASSERT_TRUE(QVUIController::IsScanRunning());
  question.answer = 1;
  EXPECT_FALSE(delegate.applicationShouldTerminate());
  EXPECT_EQ(question.asked.size(), 2u);
  EXPECT_TRUE(question.pausedWhileAsking.back());
  EXPECT_EQ(ended, 1);
  QVUIController::StopScan(1);
  if (QVUIController::IsPause()) QVUIController::PauseOrResumeScan();
  ASSERT_TRUE(QVUIController::WaitForJobs(60000));
  QCoreApplication::processEvents();
}

}  // namespace

namespace {

// Serves one version list and counts the requests.
class CountingServer : public QObject {
 public:
  explicit CountingServer(const QByteArray& body) {
    const QByteArray response = "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) +
                                "\r\nConnection: close\r\n\r\n" + body;
    server_.listen(QHostAddress::LocalHost, 0);
    connect(&server_, &QTcpServer::newConnection, this, [this, response] {
      while (QTcpSocket* s = server_.nextPendingConnection()) {
        ++requests;
        connect(s, &QTcpSocket::readyRead, s, [s, response] {
          s->readAll();
          s->write(response);
          s->disconnectFromHost();
        });
        connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
      }
    });
  }
  quint16 port() const { return server_.serverPort(); }
  int requests = 0;

 private:
  QTcpServer server_;
};

TEST(AppDelegate, NewerVersionAtLaunchShowsTheUpdateWindowThenTheMainWindow) {
  bridge_qt::QtBridge bridge;
  CountingServer server(
      "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>VersionCheck</key><integer>5"
      "</integer><key>Version</key><string>1.4</string><key>1</key><string>Faster</string>"
      "</dict></plist>");
  testsupport::TempDir dir;
  const std::string shipped = dir.File("PrivateData.plist");
  std::ofstream(shipped) << "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>VersionCheck</key>"
                            "<integer>1</integer><key>en</key><dict><key>IniURL</key><string>http://127.0.0.1:"
                         << server.port() << "/v.plist</string></dict></dict></plist>\n";
  windows::QVPublicUtilities::setPrivateDataFiles({shipped}, dir.File("overlay.plist"));
  ui::ScriptedModalRunner runner;
  ui::ScopedModalRunner scoped(runner);
  std::vector<bool> rootExistedWhileShown;
  QVAppDelegate::Options options;
  options.mediaMonitor = false;
  options.terminate = [] {};
  QVAppDelegate delegate(options);
  runner.onModal = [&](QWidget* w) {
    auto* update = qobject_cast<windows::QVCheckUpdateWindowController*>(w);
    ASSERT_NE(update, nullptr);
    rootExistedWhileShown.push_back(delegate.rootWindowCon() != nullptr);
    EXPECT_EQ(update->state(), windows::QVCheckUpdateWindowController::State::HaveUpdate);
    QTest::mouseClick(update->closeButton(), Qt::LeftButton);
  };
  delegate.applicationDidFinishLaunching();
  ASSERT_TRUE(waitFor([&] { return delegate.rootWindowCon() != nullptr; }));
  ASSERT_EQ(rootExistedWhileShown.size(), 1u);
  EXPECT_FALSE(rootExistedWhileShown.front());
  EXPECT_EQ(server.requests, 1);
  // From the menu: the same window and state, no second fetch.
  delegate.CheckUpAction();
  ASSERT_EQ(rootExistedWhileShown.size(), 2u);
  EXPECT_EQ(server.requests, 1);
  windows::QVPublicUtilities::resetPrivateDataFiles();
}

}  // namespace

namespace {

TEST(AppDelegate, NoListAddressStillOpensTheMainWindow) {
  bridge_qt::QtBridge bridge;
  testsupport::TempDir dir;
  const std::string shipped = dir.File("PrivateData.plist");
  std::ofstream(shipped) << "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>VersionCheck</key>"
                            "<integer>1</integer></dict></plist>\n";
  windows::QVPublicUtilities::setPrivateDataFiles({shipped}, dir.File("overlay.plist"));
  QVAppDelegate::Options options;
  options.mediaMonitor = false;
  options.terminate = [] {};
  QVAppDelegate delegate(options);
  delegate.applicationDidFinishLaunching();
  EXPECT_TRUE(waitFor([&] { return delegate.rootWindowCon() != nullptr; }, 5000));
  windows::QVPublicUtilities::resetPrivateDataFiles();
}

}  // namespace
