#include "ui/windows/QVShowScanProgressWindowController.h"

#include <algorithm>

#include "ui/toolkit/Modal.h"
#include "ui/toolkit/Strings.h"
#include "ui/toolkit/UiGeometry.h"
#include "ui/windows/DialogWidgets.h"

namespace windows {
namespace {

QString text(const char* key) { return ui::Strings::text(QString::fromLatin1(key)); }

}  // namespace

QVShowScanProgressWindowController::QVShowScanProgressWindowController(QWidget* parent)
    : ui::TCImageWindow(parent, Qt::Window) {
  setObjectName(QStringLiteral("recoveryProgressWindow"));
  setWindowTitle(text("WINDOW_TOP_TITLE"));
  resize(kWidth, kHeight);
  frame_ = new DialogFrame(this, DialogFrame::kRecoveryProgress);
  windowDidLoad();
  buildContent();
  awakeFromNib();
}

void QVShowScanProgressWindowController::buildContent() {
  QWidget* content = makeWhiteContent(this, QStringLiteral("recoveryProgressContent"));
  const int h = kHeight - static_cast<int>(titleBarHeight());
  auto view = [&](const char* name) {
    auto* v = new QWidget(content);
    v->setObjectName(QString::fromLatin1(name));
    v->setGeometry(0, 0, kWidth, h);
    return v;
  };
  recoveryProgressView_ = view("recoveryProgressView");
  titleLabel_ = makeDialogLabel(recoveryProgressView_, QStringLiteral("progressTitle"), QString(), 16,
                                ui::fromBottomLeft(h, 24, h - 44, 430, 26));
  scaningFileName_ = makeDialogLabel(recoveryProgressView_, QStringLiteral("scaningFileName"), QString(), 12,
                                     ui::fromBottomLeft(h, 24, h - 76, 432, 22));
  scaningFileName_->setWordWrap(false);
  scaningFileName_->setTextFormat(Qt::PlainText);
  progressBar_ = new QProgressBar(recoveryProgressView_);
  progressBar_->setObjectName(QStringLiteral("progressBar"));
  progressBar_->setRange(0, 100);
  progressBar_->setValue(0);
  progressBar_->setTextVisible(false);
  progressBar_->setGeometry(ui::fromBottomLeft(h, 24, h - 102, 432, 16));
  stopButton_ =
      makeDialogButton(recoveryProgressView_, QStringLiteral("stopButton"), text("NQT_FOUR_RECOVERY_STOP_YES_BUTTON"),
                       ui::fromBottomLeft(h, kWidth - 114, 16, 90, 30));
  connect(stopButton_, &QPushButton::clicked, this, &QVShowScanProgressWindowController::stopProgressButtonAction);

  warningView_ = view("warningView");
  warningTitle_ = makeDialogLabel(warningView_, QStringLiteral("warningTitle"), QString(), 16,
                                  ui::fromBottomLeft(h, 24, h - 44, 430, 26));
  warningNode_ = makeDialogLabel(warningView_, QStringLiteral("warningNode"), QString(), 13,
                                 ui::fromBottomLeft(h, 24, h - 100, 430, 48));
  yesButton_ = makeDialogButton(warningView_, QStringLiteral("yesButton"), QString(),
                                ui::fromBottomLeft(h, kWidth - 114, 16, 90, 30));
  noButton_ = makeDialogButton(warningView_, QStringLiteral("noButton"), QString(),
                               ui::fromBottomLeft(h, kWidth - 214, 16, 90, 30));
  noButton_->setDefault(true);
  connect(yesButton_, &QPushButton::clicked, this, &QVShowScanProgressWindowController::yesButtonAction);
  connect(noButton_, &QPushButton::clicked, this, &QVShowScanProgressWindowController::noButtonAction);
  warningView_->hide();

  noMemeryView_ = view("noMemeryView");
  noMemeryTitle_ = makeDialogLabel(noMemeryView_, QStringLiteral("noMemeryTitle"), QString(), 16,
                                   ui::fromBottomLeft(h, 24, h - 44, 430, 26));
  noMemeryNode_ = makeDialogLabel(noMemeryView_, QStringLiteral("noMemeryNode"), QString(), 13,
                                  ui::fromBottomLeft(h, 24, h - 100, 430, 48));
  noMemeryContinueButton_ = makeDialogButton(noMemeryView_, QStringLiteral("noMemeryContinueButton"), QString(),
                                             ui::fromBottomLeft(h, kWidth - 214, 16, 90, 30));
  noMemeryCancelButton_ = makeDialogButton(noMemeryView_, QStringLiteral("noMemeryCancelButton"), QString(),
                                           ui::fromBottomLeft(h, kWidth - 114, 16, 90, 30));
  connect(noMemeryContinueButton_, &QPushButton::clicked, this,
          &QVShowScanProgressWindowController::continueButtonAction);
  connect(noMemeryCancelButton_, &QPushButton::clicked, this, &QVShowScanProgressWindowController::cancelButtonAction);
  noMemeryView_->hide();
}

void QVShowScanProgressWindowController::awakeFromNib() {
  titleLabel_->setText(text("NQT_FOUR_RECOVER_PROGRESS_TITLE"));
  warningTitle_->setText(text("NQT_FOUR_RECOVERY_STOP_TITLE"));
  warningNode_->setText(text("NQT_FOUR_RECOVERY_STOP_NODE"));
  yesButton_->setText(text("NQT_FOUR_RECOVERY_STOP_YES_BUTTON"));
  noButton_->setText(text("NQT_FOUR_RECOVERY_STOP_NO_BUTTON"));
  noMemeryTitle_->setText(text("NQT_FOUR_RECOVERY_NO_SPACE_TITLE"));
  noMemeryNode_->setText(text("NQT_FOUR_RECOVERY_NO_SPACE_NODE"));
  noMemeryContinueButton_->setText(text("NQT_FOUR_RECOVERY_NO_SPACE_NO_BUTTON"));
  noMemeryCancelButton_->setText(text("NQT_FOUR_RECOVERY_NO_SPACE_YES_BUTTON"));
  frame_->awakeFromNib();
}

void QVShowScanProgressWindowController::windowDidLoad() {
  frame_->windowDidLoad();
  // Right of the window buttons, as in the finished and stopped windows.
  if (QLabel* title = frame_->titleLabel()) title->move(80, title->y());
  // The band's close button asks, as the stop button does.
  if (ui::TCWindowButton* close = standardWindowButton(ui::TCWindowButton::Close)) {
    close->disconnect(this);
    connect(close, &QAbstractButton::clicked, this, [this] {
      if (recoveryProgressView_ && recoveryProgressView_->isVisible()) stopProgressButtonAction();
    });
  }
}

void QVShowScanProgressWindowController::changeProgressValue(double value, const QString& fileName) {
  progressBar_->setValue(static_cast<int>(std::clamp(value, 0.0, 100.0)));
  if (!fileName.isEmpty()) {
    scaningFileName_->setText(fileName);
    scaningFileName_->update();
  }
}

void QVShowScanProgressWindowController::setNoMemeryViewHidden() {
  recoveryProgressView_->hide();
  warningView_->hide();
  noMemeryView_->show();
}

void QVShowScanProgressWindowController::tell(int action) {
  if (delegate_ != nullptr) delegate_->stopButtonAction(action);
}

void QVShowScanProgressWindowController::stopProgressButtonAction() {
  warningView_->show();
  recoveryProgressView_->hide();
  // The recovery waits while the user decides.
  tell(1);
}

void QVShowScanProgressWindowController::noButtonAction() {
  warningView_->hide();
  recoveryProgressView_->show();
  tell(1);
}

void QVShowScanProgressWindowController::yesButtonAction() {
  ui::Modal().stopModal(this, 0);
  tell(2);
}

void QVShowScanProgressWindowController::continueButtonAction() {
  recoveryProgressView_->show();
  warningView_->hide();
  noMemeryView_->hide();
  tell(1);
}

void QVShowScanProgressWindowController::cancelButtonAction() {
  ui::Modal().stopModal(this, 0);
  tell(2);
}

}  // namespace windows
