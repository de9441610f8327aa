#include "ui/windows/QVProgressWindow.h"

#include <QEvent>

#include <algorithm>
#include <cstdio>

#include "bridge/QVUIController.h"
#include "bridge/SaveRestoreResult.h"
#include "ui/toolkit/Modal.h"
#include "ui/toolkit/NotificationCenter.h"
#include "ui/toolkit/Strings.h"
#include "ui/toolkit/UiGeometry.h"
#include "ui/windows/DialogWidgets.h"

namespace windows {
namespace {

QString text(const char* key) { return ui::Strings::text(QString::fromLatin1(key)); }

}  // namespace

QVProgressWindow::QVProgressWindow(QWidget* parent) : ui::TCImageWindow(parent, Qt::Window) {
  setObjectName(QStringLiteral("saveLoadProgressWindow"));
  setWindowTitle(text("WINDOW_TOP_TITLE"));
  resize(kWidth, kHeight);
  frame_ = new DialogFrame(this, DialogFrame::kNoTitle);
  frame_->windowDidLoad();
  buildContent();
  timer_.setInterval(500);
  connect(&timer_, &QTimer::timeout, this, &QVProgressWindow::onTimer);
  if (ui::TCWindowButton* close = standardWindowButton(ui::TCWindowButton::Close)) {
    close->disconnect(this);
    connect(close, &QAbstractButton::clicked, this, [this] {
      if (bFinish_) closeWindow();
    });
  }
  // A save or load cannot be cancelled: the window stays until it ends.
  installEventFilter(this);
}

bool QVProgressWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == this && event->type() == QEvent::Close && !bFinish_) {
    event->ignore();
    return true;
  }
  return ui::TCImageWindow::eventFilter(watched, event);
}

QVProgressWindow::~QVProgressWindow() { stopObserving(); }

void QVProgressWindow::buildContent() {
  QWidget* content = makeWhiteContent(this, QStringLiteral("saveLoadContent"));
  const int h = kHeight - static_cast<int>(titleBarHeight());
  title_ = makeDialogLabel(content, QStringLiteral("title"), QString(), 16, ui::fromBottomLeft(h, 24, h - 46, 392, 26));
  Description_ = makeDialogLabel(content, QStringLiteral("Description"), QString(), 13,
                                 ui::fromBottomLeft(h, 24, h - 84, 392, 34));
  progress_ = new QProgressBar(content);
  progress_->setObjectName(QStringLiteral("progress"));
  progress_->setRange(0, 100);
  progress_->setValue(0);
  progress_->setTextVisible(false);
  progress_->setGeometry(ui::fromBottomLeft(h, 24, 28, 392, 16));
}

void QVProgressWindow::start() {
  title_->setText(text(bSave_ ? "SAVE_SCAN_RESULT" : "LOAD_SCAN_RESULT"));
  Description_->setText(text(bSave_ ? "SAVE_RESULT_WAIT" : "LOAD_RESULT_WAIT"));
  bSucess_ = false;
  bFinish_ = false;
  iErrorCode_ = 0;
  auto& centre = ui::NotificationCenter::defaultCenter();
  if (!strPostName_.isEmpty())
    centre.addObserver(this, strPostName_, [this](const ui::Notification&) { changeProgressValue(); });
  centre.addObserver(this, QStringLiteral("QueryProgressFinish"),
                     [this](const ui::Notification&) { ProgressFinish(); });
  frame_->awakeFromNib();
}

void QVProgressWindow::stopObserving() { ui::NotificationCenter::defaultCenter().removeObserver(this); }

void QVProgressWindow::changeProgressValue() {
  long long total = 0;
  long long done = 0;
  long long error = 0;
  QVUIController::GetSaveorRestoreProgress(total, done, error, bSave_ ? 1 : 0);
  const double value = static_cast<double>(done) * 100.0 / static_cast<double>(total == 0 ? 1 : total);
  // The bar never moves back.
  if (value > progress_->value()) progress_->setValue(static_cast<int>(std::min(value, 100.0)));
}

void QVProgressWindow::ProgressFinish() {
  std::fprintf(stderr, "save/load finished\n");
  long long total = 0;
  long long done = 0;
  long long error = 0;
  QVUIController::GetSaveorRestoreProgress(total, done, error, bSave_ ? 1 : 0);
  changeProgressValue();
  iErrorCode_ = error;
  bFinish_ = true;
  // Only a whole job is a success: a load whose image was not found (6)
  // or whose file is damaged left the results incomplete.
  bSucess_ = error == 0;
  if (!bSucess_) detail_ = QString::fromStdString(SaveRestoreResult::GetLastError(bSave_ ? 1 : 0));
  timer_.start();
}

void QVProgressWindow::failedToStart(const QString& detail) {
  iErrorCode_ = kNotStarted;
  bSucess_ = false;
  bFinish_ = true;
  detail_ = detail;
  timer_.start();
}

void QVProgressWindow::onTimer() {
  if (!bFinish_) return;
  timer_.stop();
  stopObserving();
  if (!bSucess_) {
    ui::AlertSpec spec;
    spec.parent = this;
    spec.defaultButton = text("NQT_FOUR_RECOVERY_NO_COMPETENCE_YES_BUTTON");
    spec.informative = text(bSave_ ? "SAVE_RSF_FAILED" : "READ_RSF_FAILED");
    if (!detail_.isEmpty()) spec.informative += QStringLiteral("\n") + detail_;
    ui::Modal().alert(spec);
  }
  closeWindow();
  if (bSucess_ && !bSave_) ui::NotificationCenter::defaultCenter().post(QStringLiteral("ShowDetailWindow"));
}

void QVProgressWindow::closeWindow() { frame_->closeNow(); }

}  // namespace windows
