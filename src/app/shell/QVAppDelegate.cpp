#include "app/shell/QVAppDelegate.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QProxyStyle>
#include <QScreen>
#include <QSettings>
#include <QTimer>
#include <QUrl>

#include <cstdio>

#include "bridge/QVUIController.h"
#include "ui/bridge_qt/QtSettings.h"
#include "ui/toolkit/Modal.h"
#include "ui/toolkit/NotificationCenter.h"
#include "ui/toolkit/Strings.h"
#include "ui/windows/QVAboutWindowController.h"
#include "ui/windows/QVPublicUtilities.h"

namespace shell {
namespace {

const QString kTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

// Tool tips appear at once.
class NoToolTipDelay : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* data) const override {
    if (hint == QStyle::SH_ToolTip_WakeUpDelay) return 0;
    return QProxyStyle::styleHint(hint, option, widget, data);
  }
};

void centre(QWidget& window) {
  if (QScreen* screen = QGuiApplication::primaryScreen())
    window.move(screen->availableGeometry().center() - window.rect().center());
}

}  // namespace

QVAppDelegate::QVAppDelegate() : QVAppDelegate(Options{}) {}

QVAppDelegate::QVAppDelegate(Options options) : options_(std::move(options)) {
  if (!options_.terminate) options_.terminate = [] { QCoreApplication::exit(0); };
  if (!options_.now) options_.now = [] { return QDateTime::currentDateTime(); };
}

QVAppDelegate::~QVAppDelegate() {
  ui::NotificationCenter::defaultCenter().removeObserver(this);
  delete checkUpdateWindow_;
}

void QVAppDelegate::applicationDidFinishLaunching() {
  auto& centre = ui::NotificationCenter::defaultCenter();
  centre.addObserver(this, QStringLiteral("appWillTerminate"),
                     [this](const ui::Notification&) { applicationWillTerminate(); });
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr &&
      dynamic_cast<NoToolTipDelay*>(QApplication::style()) == nullptr)
    QApplication::setStyle(new NoToolTipDelay);
  if (options_.mediaMonitor) {
    monitor_ = std::make_unique<QVMediaMonitor>();
    if (!monitor_->start())
      std::fprintf(stderr, "quarnel: disks that come and go are not followed (no uevent source)\n");
  }
  buildMenu();
  const QString stored = windows::QVPublicUtilities::getUpDataTimeStr();
  if (stored.trimmed().isEmpty()) {
    // A first run.
    QSettings().setValue(QStringLiteral("Participate"), true);
  }
  if (!shouldCheckForUpdate(stored, options_.now())) {
    runRootWindow();
    return;
  }
  checkAtLaunch();
}

bool QVAppDelegate::shouldCheckForUpdate(const QString& stored, const QDateTime& now) {
  if (stored.trimmed().isEmpty()) return true;
  QDateTime last = QDateTime::fromString(stored, kTimeFormat);
  // A time that does not parse counts from long ago.
  if (!last.isValid()) return true;
  const qint64 days = last.secsTo(now) / 86400;
  return days >= 7;
}

void QVAppDelegate::checkAtLaunch() {
  windows::QVPublicUtilities::writeUpDataTimeStr(options_.now().toString(kTimeFormat));
  // The window looks the list up; it is shown only when there is news.
  checkUpdateWindow_ = new windows::QVCheckUpdateWindowController;
  auto afterCheck = [this] {
    if (!checkUpdateWindow_ ||
        checkUpdateWindow_->state() != windows::QVCheckUpdateWindowController::State::HaveUpdate) {
      runRootWindow();
      return;
    }
    checkUpdateWindow_->setDelegate([this] { runRootWindow(); });
    centre(*checkUpdateWindow_);
    ui::Modal().runModal(checkUpdateWindow_);
    // However the window went, the main window comes next.
    runRootWindow();
  };
  // A list without an address is settled while the window is made.
  if (checkUpdateWindow_->checked())
    QTimer::singleShot(0, this, afterCheck);
  else
    connect(checkUpdateWindow_, &windows::QVCheckUpdateWindowController::checkFinished, this, afterCheck,
            Qt::QueuedConnection);
}

void QVAppDelegate::runRootWindow() {
  if (rootWindowCon_) return;
  makeRootWindow();
  // Where the start-up stored it: the program's settings file.
  const QString rsfPath = QString::fromStdString(bridge_qt::QtSettings().GetString("rsfPath", ""));
  if (!rsfPath.isEmpty()) rootWindowCon_->SetImportPath(rsfPath);
  attachMenuButton();
  centre(*rootWindowCon_);
  rootWindowCon_->awakeFromNib();
  rootWindowCon_->show();
  rootWindowCon_->raise();
  rootWindowCon_->activateWindow();
  emit rootWindowShown();
  // A saved result named at start is loaded over the shown window.
  if (!rsfPath.isEmpty()) {
    QPointer<windows::QVRootWindowController> root = rootWindowCon_;
    QTimer::singleShot(0, this, [root] {
      if (root) root->importRsfPath();
    });
  }
}

void QVAppDelegate::makeRootWindow() {
  ownedRoot_ = std::make_unique<windows::QVRootWindowController>();
  rootWindowCon_ = ownedRoot_.get();
  connect(rootWindowCon_, &windows::QVRootWindowController::homeRequested, this,
          &QVAppDelegate::showRootWindowAfterHome, Qt::QueuedConnection);
}

void QVAppDelegate::showRootWindowAfterHome() {
  if (terminating_) return;
  std::unique_ptr<windows::QVRootWindowController> old = std::move(ownedRoot_);
  makeRootWindow();
  attachMenuButton();
  centre(*rootWindowCon_);
  rootWindowCon_->awakeFromNib();
  rootWindowCon_->show();
  rootWindowCon_->raise();
  rootWindowCon_->activateWindow();
  if (!QVUIController::RefreshDeviceInfo())
    std::fprintf(stderr, "quarnel: the device list was not read again (a job is still running)\n");
  // The old window (and what it opened) goes once its signal has returned.
  if (old) old.release()->deleteLater();
  emit rootWindowShown();
}

void QVAppDelegate::buildMenu() {
  menu_ = std::make_unique<QMenu>();
  menu_->setObjectName(QStringLiteral("applicationMenu"));
  auto text = [](const char* key) { return ui::Strings::text(QString::fromLatin1(key)); };
  menu_->addAction(text("MENU_OPEN_IMAGE"), this, [this] { openImageAction(); })
      ->setObjectName(QStringLiteral("openImage"));
  menu_->addSeparator();
  menu_->addAction(text("MENU_ABOUT_NAME").arg(text("WINDOW_TOP_TITLE")), this, [this] { aboutAction(); })
      ->setObjectName(QStringLiteral("about"));
  menu_->addAction(text("MENU_CHECK_UPDTE"), this, [this] { CheckUpAction(); })
      ->setObjectName(QStringLiteral("checkUpdate"));
  participate_ = menu_->addAction(text("MENU_PARTICIPATE"), this, [this] { ParticipateInCustomer(); });
  participate_->setObjectName(QStringLiteral("participate"));
  participate_->setCheckable(true);
  participate_->setChecked(QSettings().value(QStringLiteral("Participate"), false).toBool());
  menu_->addSeparator();
  menu_->addAction(text("MENU_ONLINE_HELP"), this, [this] { openLink(QStringLiteral("OnlineHelp")); })
      ->setObjectName(QStringLiteral("onlineHelp"));
  menu_->addAction(text("MENU_SUPPORT_CENTER"), this, [this] { openLink(QStringLiteral("SupportTeam")); })
      ->setObjectName(QStringLiteral("supportCenter"));
  menu_->addSeparator();
  menu_
      ->addAction(text("MENU_MINIMIZE"), this,
                  [this] {
                    if (rootWindowCon_) rootWindowCon_->showMinimized();
                  })
      ->setObjectName(QStringLiteral("minimize"));
  menu_
      ->addAction(text("MENU_EXIT"), this,
                  [this] {
                    if (applicationShouldTerminate()) applicationWillTerminate();
                  })
      ->setObjectName(QStringLiteral("exit"));
}

void QVAppDelegate::attachMenuButton() {
  QWidget* band = rootWindowCon_ ? rootWindowCon_->titleBarView() : nullptr;
  if (band == nullptr) return;
  if (menuButton_) {
    // A new main window: the button moves into its band.
    menuButton_->setParent(band);
    menuButton_->setGeometry(792, 12, 24, 22);
    menuButton_->show();
    return;
  }
  menuButton_ = new QToolButton(band);
  menuButton_->setObjectName(QStringLiteral("menuButton"));
  menuButton_->setText(QStringLiteral("\u2630"));
  menuButton_->setAutoRaise(true);
  menuButton_->setPopupMode(QToolButton::InstantPopup);
  menuButton_->setMenu(menu_.get());
  menuButton_->setToolTip(ui::Strings::text(QStringLiteral("MENU_HELP")));
  menuButton_->setStyleSheet(
      QStringLiteral("QToolButton { border: none; color: #555; font-size: 16px; }"
                     "QToolButton::menu-indicator { image: none; }"));
  // Left of the import and about buttons (828 and 860 from the band's left).
  menuButton_->setGeometry(792, 12, 24, 22);
  menuButton_->show();
}

bool QVAppDelegate::applicationShouldTerminate() {
  if (!QVUIController::IsScanRunning()) {
    ui::NotificationCenter::defaultCenter().post(QStringLiteral("ExportRSFFile"));
    return true;
  }
  if (!QVUIController::IsPause()) QVUIController::PauseOrResumeScan();
  ui::AlertSpec spec;
  spec.message = ui::Strings::text(QStringLiteral("NQT_FOUR_SCAN_STOP_TITLE"));
  spec.informative = ui::Strings::text(QStringLiteral("NQT_FOUR_SCAN_STOP_NODE"));
  spec.defaultButton = ui::Strings::text(QStringLiteral("NQT_FOUR_SCAN_STOP_YES_BUTTON"));
  spec.alternateButton = ui::Strings::text(QStringLiteral("NQT_FOUR_SCAN_STOP_NO_BUTTON"));
  const int answer = ui::Modal().alert(spec);
  if (answer != 0) {
    applicationWillTerminate();
  } else if (QVUIController::IsPause()) {
    // The scan goes on (also one that was paused before the question).
    QVUIController::PauseOrResumeScan();
  }
  return false;
}

void QVAppDelegate::applicationWillTerminate() {
  if (terminating_) return;
  terminating_ = true;
  ui::NotificationCenter::defaultCenter().removeObserver(this);
  if (rootWindowCon_) rootWindowCon_->hide();
  options_.terminate();
}

void QVAppDelegate::aboutAction() { windows::QVAboutWindowController::runAbout(rootWindowCon_); }

void QVAppDelegate::CheckUpAction() {
  if (!checkUpdateWindow_) checkUpdateWindow_ = new windows::QVCheckUpdateWindowController;
  checkUpdateWindow_->setDelegate(nullptr);
  centre(*checkUpdateWindow_);
  ui::Modal().runModal(checkUpdateWindow_);
  if (rootWindowCon_) rootWindowCon_->activateWindow();
}

void QVAppDelegate::ParticipateInCustomer() {
  QSettings settings;
  const bool on = !settings.value(QStringLiteral("Participate"), false).toBool();
  settings.setValue(QStringLiteral("Participate"), on);
  settings.sync();
  if (participate_ != nullptr) participate_->setChecked(on);
  QVUIController::SetUserParticipart(on);
}

void QVAppDelegate::openLink(const QString& key) {
  const QString url = windows::QVLinkUrl::GetUrl(key);
  if (!url.isEmpty()) ui::Modal().openUrl(QUrl(url));
}

void QVAppDelegate::openImageAction() {
  if (rootWindowCon_) rootWindowCon_->openImageFromMenu();
}

}  // namespace shell
