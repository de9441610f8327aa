#include "ui/windows/QVRecoveryFlow.h"

#include <QDir>
#include <QFile>
#include <QStorageInfo>
#include <QTimer>

#include <unistd.h>

#include "bridge/QVUIController.h"
#include "ui/toolkit/Modal.h"
#include "ui/toolkit/NotificationCenter.h"
#include "ui/toolkit/Strings.h"
#include "ui/windows/QVPublicUtilities.h"

namespace windows {
namespace {

QString text(const char* key) { return ui::Strings::text(QString::fromLatin1(key)); }

constexpr const char* kPostKey = "DoRecovery";

}  // namespace

QVRecoveryFlow::QVRecoveryFlow(QWidget* window, QAbstractButton* button)
    : QObject(window), window_(window), button_(button) {
  ui::NotificationCenter::defaultCenter().addObserver(this, QString::fromLatin1(kPostKey),
                                                      [this](const ui::Notification&) { recoveryAction(); });
}

QVRecoveryFlow::~QVRecoveryFlow() {
  ui::NotificationCenter::defaultCenter().removeObserver(this);
  delete recoveryProgressWindow_;
  delete scanEndSaveWC_;
  delete scanNotEndSaceWC_;
}

std::uint64_t QVRecoveryFlow::freeSpaceAt(const QString& folder) {
  QStorageInfo info(folder);
  if (!info.isValid()) return 0;
  const qint64 available = info.bytesAvailable();
  return available > 0 ? static_cast<std::uint64_t>(available) : 0;
}

void QVRecoveryFlow::enableButton(bool on) {
  if (button_) button_->setEnabled(on);
}

void QVRecoveryFlow::centreOnWindow(QWidget* dialog) const {
  if (window_ && window_->isVisible()) dialog->move(window_->frameGeometry().center() - dialog->rect().center());
}

void QVRecoveryFlow::recoveryButtonClick() {
  if (QVUIController::IsRecoveryRunning()) return;
  enableButton(false);
  isRecoveryEndSHowWindow_ = 1;
  chooseDestination();
}

void QVRecoveryFlow::chooseDestination() {
  QString start = recoverySavePathStr_;
  if (start.isEmpty() || isImport_) start = QDir::homePath();
  const QString folder = ui::Modal().chooseFolder(window_, text("NQT_FOUR_RECOVERY_NODE"), start);
  enableButton(true);
  if (folder.isEmpty()) return;
  recoverySavePathStr_ = QDir::cleanPath(folder);
  checkAndStart(recoverySavePathStr_);
}

void QVRecoveryFlow::checkAndStart(const QString& folder) {
  const QByteArray native = QFile::encodeName(folder);
  if (::access(native.constData(), W_OK) != 0) {
    alertNoCompetence(folder);
    return;
  }
  if (QVUIController::IsRecoveryToSameDevice(native.toStdString())) {
    if (alertOnSource()) QTimer::singleShot(500, this, [this] { recoveryButtonClick(); });
    return;
  }
  int count = 0;
  std::uint64_t size = 0;
  QVUIController::GetSelectedFilesAmout(count, size);
  chosenFiles_ = count;
  const std::uint64_t available = freeSpaceAt(folder);
  if (size / 100 * 105 + (size % 100) * 105 / 100 >= available) {
    if (!alertNoLeakOfSpace(size, available)) return;
  }
  startRecovery(folder);
}

bool QVRecoveryFlow::alertNoCompetence(const QString& folder) {
  ui::AlertSpec spec;
  spec.parent = window_;
  spec.message = text("NQT_FOUR_RECOVERY_NO_COMPETENCE_TITLE");
  spec.informative = text("NQT_FOUR_RECOVERY_NO_COMPETENCE_NODE") + QStringLiteral("\n") + folder;
  spec.defaultButton = text("NQT_FOUR_RECOVERY_NO_COMPETENCE_YES_BUTTON");
  ui::Modal().alert(spec);
  return false;
}

// The bridge never writes onto the scanned device: the user can only choose
// another folder. True when the chooser is to open again.
bool QVRecoveryFlow::alertOnSource() {
  ui::AlertSpec spec;
  spec.parent = window_;
  spec.message = text("NQT_FOUR_RECOVERY_ON_SOURCE_TITLE");
  spec.informative = text("NQT_FOUR_RECOVERY_ON_SOURCE_NODE");
  spec.defaultButton = text("CHANG_DESTINATION");
  spec.alternateButton = text("NQT_FOUR_SCAN_BACKHOME_NO_BUTTON");
  return ui::Modal().alert(spec) == 1;
}

// True when the user recovers in spite of too little space.
bool QVRecoveryFlow::alertNoLeakOfSpace(std::uint64_t needed, std::uint64_t available) {
  ui::AlertSpec spec;
  spec.parent = window_;
  spec.message = text("NQT_FOUR_RECOVERY_NO_SPACE_TITLE");
  spec.informative = text("NQT_FOUR_RECOVERY_NO_SPACE_NODE") + QStringLiteral("\n") +
                     QVPublicUtilities::longlongDiskSize(static_cast<std::int64_t>(needed)) + QStringLiteral(" / ") +
                     QVPublicUtilities::longlongDiskSize(static_cast<std::int64_t>(available));
  spec.defaultButton = text("NQT_FOUR_RECOVERY_NO_SPACE_YES_BUTTON");
  spec.alternateButton = text("NQT_FOUR_RECOVERY_NO_SPACE_NO_BUTTON");
  return ui::Modal().alert(spec) == 0;
}

void QVRecoveryFlow::startRecovery(const QString& folder) {
  isFinishRecovery_ = 0;
  isBeginRecovery_ = 1;
  stoppedWaiting_ = false;
  const RESULT code = QVUIController::DoRecovery(true, QFile::encodeName(folder).constData(), kPostKey, window_);
  if (code != 0) {
    isBeginRecovery_ = 0;
    reportStartFailure(code);
    return;
  }
  // The window shows at once, also for a recovery that ends before its
  // first progress post: its last post, which always comes, closes it.
  recoveryProgressWindow_ = new QVShowScanProgressWindowController;
  recoveryProgressWindow_->setDelegate(this);
  centreOnWindow(recoveryProgressWindow_);
  isBeginRecovery_ = 0;
  QPointer<QVShowScanProgressWindowController> progress = recoveryProgressWindow_;
  ui::Modal().runModal(progress);
  if (window_) window_->activateWindow();
}

void QVRecoveryFlow::reportStartFailure(unsigned long long code) {
  if (code == kUiDestinationOnSource) {
    if (alertOnSource()) QTimer::singleShot(500, this, [this] { recoveryButtonClick(); });
    return;
  }
  ui::AlertSpec spec;
  spec.parent = window_;
  spec.message = text("NQT_FOUR_RECOVERY_FAILED");
  if (code == kUiBusy)
    spec.informative = QStringLiteral("Another job is still running; try again when it has ended.");
  else if (code == kUiNoThread)
    spec.informative = QStringLiteral("No worker thread could be started.");
  else
    spec.informative = QStringLiteral("Error 0x%1").arg(code, 0, 16);
  ui::Modal().alert(spec);
}

void QVRecoveryFlow::recoveryAction() {
  if (!recoveryProgressWindow_ && isFinishRecovery_ == 0 && QVUIController::IsRecoveryRunning()) {
    recoveryProgressWindow_ = new QVShowScanProgressWindowController;
    recoveryProgressWindow_->setDelegate(this);
    centreOnWindow(recoveryProgressWindow_);
  }
  std::uint64_t total = 0;
  std::uint64_t done = 0;
  std::uint64_t error = 0;
  const QString name = QString::fromStdString(QVUIController::GetRecoveryProgressTotal(total, done, error));
  if (stoppedWaiting_) {
    if (!QVUIController::IsRecoveryBusy()) {
      stoppedWaiting_ = false;
      showRecoveryNotEndWindow();
    }
    return;
  }
  if (error > 0 && QVUIController::IsRecoveryRunning()) {
    if (recoveryProgressWindow_) recoveryProgressWindow_->setNoMemeryViewHidden();
  } else {
    const double percent =
        done != 0 && total > 0 ? static_cast<double>(done) * 100.0 / static_cast<double>(total) : 0.0;
    if (recoveryProgressWindow_) recoveryProgressWindow_->changeProgressValue(percent, name);
    if (!QVUIController::IsRecoveryRunning()) {
      if (isFinishRecovery_ != 0) return;
      isFinishRecovery_ = 1;
      closeProgressWindow();
      if (isRecoveryEndSHowWindow_ == 1) showRecoveryEndWindow();
      return;
    }
  }
  if (isBeginRecovery_ != 0 && recoveryProgressWindow_) {
    isBeginRecovery_ = 0;
    QPointer<QVShowScanProgressWindowController> progress = recoveryProgressWindow_;
    ui::Modal().runModal(progress);
    if (window_) window_->activateWindow();
  }
}

void QVRecoveryFlow::closeProgressWindow() {
  if (!recoveryProgressWindow_) return;
  QVShowScanProgressWindowController* progress = recoveryProgressWindow_;
  recoveryProgressWindow_ = nullptr;
  progress->setDelegate(nullptr);
  progress->frame()->closeNow();
  // Its own button may be what got us here.
  progress->deleteLater();
}

void QVRecoveryFlow::stopButtonAction(int action) {
  if (action == 1) {
    QVUIController::PauseOrResumeRecovery();
    return;
  }
  isFinishRecovery_ = 1;
  isRecoveryEndSHowWindow_ = 0;
  closeProgressWindow();
  QVUIController::StopRecvoery();
  // The count is final once the recovery has ended; its last post follows.
  if (QVUIController::IsRecoveryBusy())
    stoppedWaiting_ = true;
  else
    showRecoveryNotEndWindow();
}

void QVRecoveryFlow::showRecoveryEndWindow() {
  delete scanEndSaveWC_;
  scanEndSaveWC_ = new QVScanEndSaveWindowController;
  scanEndSaveWC_->setSavePathStr(recoverySavePathStr_);
  const std::uint64_t written = QVUIController::GetRecoveridedFiles();
  if (chosenFiles_ > 0 && written < static_cast<std::uint64_t>(chosenFiles_))
    scanEndSaveWC_->setPartial(written, static_cast<std::uint64_t>(chosenFiles_));
  centreOnWindow(scanEndSaveWC_);
  QPointer<QVScanEndSaveWindowController> shown = scanEndSaveWC_;
  ui::Modal().runModal(shown);
  if (shown) shown->hide();
  if (window_) window_->activateWindow();
  emit recoveryEnded(true);
}

void QVRecoveryFlow::showRecoveryNotEndWindow() {
  delete scanNotEndSaceWC_;
  scanNotEndSaceWC_ = new QVScanNotEndSaveWindowController;
  scanNotEndSaceWC_->changeRecoveryFilesPoint(recoverySavePathStr_, QVUIController::GetRecoveridedFiles());
  centreOnWindow(scanNotEndSaceWC_);
  QPointer<QVScanNotEndSaveWindowController> shown = scanNotEndSaceWC_;
  ui::Modal().runModal(shown);
  if (shown) shown->hide();
  if (window_) window_->activateWindow();
  emit recoveryEnded(false);
}

}  // namespace windows
