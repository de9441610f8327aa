#include "ui/windows/QVScanEndSaveWindows.h"

#include <QEvent>
#include <QMouseEvent>

#include "ui/toolkit/ImageStore.h"
#include "ui/toolkit/Strings.h"
#include "ui/toolkit/UiGeometry.h"
#include "ui/windows/DialogWidgets.h"
#include "ui/windows/OpenFolder.h"

namespace windows {
namespace {

QString text(const char* key) { return ui::Strings::text(QString::fromLatin1(key)); }

int contentHeight(const ui::TCImageWindow& w) {
  return RecoveryEndWindowBase::kHeight - static_cast<int>(w.titleBarHeight());
}

}  // namespace

RecoveryEndWindowBase::RecoveryEndWindowBase(const QString& name, const DialogFrame::Look& look, QWidget* parent)
    : ui::TCImageWindow(parent, Qt::Window) {
  setObjectName(name);
  setWindowTitle(text("WINDOW_TOP_TITLE"));
  resize(kWidth, kHeight);
  frame_ = new DialogFrame(this, look);
  frame_->windowDidLoad();
  content_ = makeWhiteContent(this, name + QStringLiteral("Content"));
  const int h = contentHeight(*this);
  auto* icon = new QLabel(content_);
  icon->setObjectName(QStringLiteral("logo"));
  icon->setPixmap(
      ui::ImageStore::pixmap(QStringLiteral("logo")).scaled(48, 48, Qt::KeepAspectRatio, Qt::SmoothTransformation));
  icon->setGeometry(ui::fromBottomLeft(h, 24, h - 72, 48, 48));
  savePathLabel_ =
      makeDialogLabel(content_, QStringLiteral("savePathLabel"), QString(), 12, ui::fromBottomLeft(h, 90, 56, 366, 36));
  savePathLabel_->installEventFilter(this);
  okButton_ = makeDialogButton(content_, QStringLiteral("okButton"), QStringLiteral("OK"),
                               ui::fromBottomLeft(h, kWidth - 114, 14, 90, 30));
  okButton_->setDefault(true);
}

void RecoveryEndWindowBase::setLinkPath(const QString& path) {
  savePath_ = path;
  setPathLink(savePathLabel_, path);
}

void RecoveryEndWindowBase::jumpToSavePath() {
  if (!savePath_.isEmpty()) openFolderInFileManager(this, savePath_);
}

bool RecoveryEndWindowBase::eventFilter(QObject* watched, QEvent* event) {
  if (watched == savePathLabel_.data() && event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    jumpToSavePath();
    return true;
  }
  return ui::TCImageWindow::eventFilter(watched, event);
}

QVScanEndSaveWindowController::QVScanEndSaveWindowController(QWidget* parent)
    : RecoveryEndWindowBase(QStringLiteral("recoveryFinishedWindow"), DialogFrame::kRecoveryFinished, parent) {
  const int h = contentHeight(*this);
  recoveryEndTitle_ = makeDialogLabel(content_, QStringLiteral("recoveryEndTitle"), text("NQT_FOUR_RECOVER_END_TITLE"),
                                      16, ui::fromBottomLeft(h, 90, h - 50, 366, 26));
  recoveryEndNode_ = makeDialogLabel(content_, QStringLiteral("recoveryEndNode"), text("NQT_FOUR_RECOVER_END_NODE"), 13,
                                     ui::fromBottomLeft(h, 90, h - 84, 366, 30));
  okButton_->setText(text("NQT_FOUR_RECOVERY_STOP_BUTTON"));
  connect(okButton_, &QPushButton::clicked, this, &QVScanEndSaveWindowController::okButtonAction);
  frame_->awakeFromNib();
}

void QVScanEndSaveWindowController::setSavePathStr(const QString& path) { setLinkPath(path); }

void QVScanEndSaveWindowController::setPartial(std::uint64_t written, std::uint64_t chosen) {
  recoveryEndNode_->setText(text("NQT_FOUR_RECOVER_END_PARTIAL").arg(written).arg(chosen));
}

void QVScanEndSaveWindowController::okButtonAction() { frame_->closeNow(); }

QVScanNotEndSaveWindowController::QVScanNotEndSaveWindowController(QWidget* parent)
    : RecoveryEndWindowBase(QStringLiteral("recoveryStoppedWindow"), DialogFrame::kRecoveryStopped, parent) {
  const int h = contentHeight(*this);
  showRecoveryNoteLabel_ = makeDialogLabel(content_, QStringLiteral("showRecoveryNoteLabel"), QString(), 14,
                                           ui::fromBottomLeft(h, 90, h - 84, 366, 60));
  okButton_->setText(text("NQT_FOUR_RECOVERY_STOP_BUTTON"));
  connect(okButton_, &QPushButton::clicked, this, &QVScanNotEndSaveWindowController::okButtonAction);
  frame_->awakeFromNib();
}

void QVScanNotEndSaveWindowController::changeRecoveryFilesPoint(const QString& path, std::uint64_t files) {
  showRecoveryNoteLabel_->setText(text("NQT_FOUR_RECOVER_NOTEND_NODE").arg(files));
  showRecoveryNoteLabel_->update();
  setLinkPath(path);
}

void QVScanNotEndSaveWindowController::okButtonAction() { frame_->closeNow(); }

}  // namespace windows
