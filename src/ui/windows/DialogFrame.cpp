#include "ui/windows/DialogFrame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFont>

#include "ui/toolkit/Modal.h"
#include "ui/toolkit/Strings.h"
#include "ui/toolkit/UiGeometry.h"

namespace windows {
namespace {

int g_fadeMs = 250;

}  // namespace

const DialogFrame::Look DialogFrame::kRecoveryProgress{40, 13, QRect(20, 5, 300, 25), 14};
const DialogFrame::Look DialogFrame::kRecoveryFinished{40, 13, QRect(80, 5, 300, 25), 14};
const DialogFrame::Look DialogFrame::kRecoveryStopped{40, 13, QRect(80, 5, 300, 25), 14};
const DialogFrame::Look DialogFrame::kApfsNotice{22, 13, QRect(80, 2, 300, 18), 14};
const DialogFrame::Look DialogFrame::kFilePreview{20, 8, QRect(70, 2, 410, 16), 12};
const DialogFrame::Look DialogFrame::kNoTitle{22, 13, QRect(), 14};

void DialogFrame::setFadeDuration(int ms) { g_fadeMs = std::max(0, ms); }

int DialogFrame::fadeDuration() { return g_fadeMs; }

DialogFrame::DialogFrame(ui::TCImageWindow* window, const Look& look)
    : QObject(window), window_(window), guard_(window), look_(look) {
  animation_ = new QPropertyAnimation(window, "windowOpacity", this);
  connect(animation_, &QPropertyAnimation::finished, this, &DialogFrame::animationDidStop);
  window->installEventFilter(this);
}

void DialogFrame::windowDidLoad() {
  if (!guard_) return;
  window_->setTitleBarHeight(look_.titleBarHeight);
  window_->setTrafficLightButtonsLeftMargin(look_.trafficLightLeftMargin);
  if (titleLabel_ || look_.labelFrame.width() <= 0) return;
  QWidget* band = window_->titleBarView();
  if (band == nullptr) return;
  auto* label = new QLabel(band);
  label->setObjectName(QStringLiteral("titleLabel"));
  label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  label->setAutoFillBackground(false);
  QFont font(QStringLiteral("Helvetica Light"));
  font.setPixelSize(look_.fontSize);
  font.setWeight(QFont::Light);
  label->setFont(font);
  label->setText(ui::Strings::text(QStringLiteral("WINDOW_TOP_TITLE")));
  const QRect& f = look_.labelFrame;
  label->setGeometry(ui::fromBottomLeft(static_cast<int>(look_.titleBarHeight), f.x(), f.y(), f.width(), f.height()));
  label->show();
  titleLabel_ = label;
}

void DialogFrame::awakeFromNib() {
  shuttingDown_ = false;
  if (!guard_ || window_->isVisible()) return;
  window_->setWindowOpacity(0.0);
  fadeTo(1.0);
}

void DialogFrame::fadeTo(qreal opacity) {
  animation_->stop();
  animation_->setDuration(g_fadeMs);
  animation_->setStartValue(window_->windowOpacity());
  animation_->setEndValue(opacity);
  if (g_fadeMs == 0) {
    // No animation at all: the end state at once, and its end step.
    window_->setWindowOpacity(opacity);
    animationDidStop();
    return;
  }
  animation_->start();
}

bool DialogFrame::windowShouldClose() {
  if (guard_) fadeTo(0.0);
  return false;
}

bool DialogFrame::applicationShouldTerminate() {
  if (shuttingDown_) return true;
  shuttingDown_ = true;
  windowShouldClose();
  return false;
}

void DialogFrame::animationDidStop() {
  if (!guard_ || window_->windowOpacity() != 0.0) return;
  ui::Modal().stopModal(window_, 0);
  closing_ = true;
  window_->close();
  closing_ = false;
  emit closedByFade();
  if (shuttingDown_) QCoreApplication::quit();
}

void DialogFrame::closeNow() {
  if (!guard_) return;
  animation_->stop();
  ui::Modal().stopModal(window_, 0);
  closing_ = true;
  window_->close();
  closing_ = false;
}

bool DialogFrame::eventFilter(QObject* watched, QEvent* event) {
  // A close asked for by the window system or the band's close button
  // fades out first; the close at the end of the fade goes through.
  if (watched == guard_.data() && event->type() == QEvent::Close && !closing_) {
    event->ignore();
    // After this close has been refused: a close inside it would be lost.
    QMetaObject::invokeMethod(
        this, [this] { windowShouldClose(); }, Qt::QueuedConnection);
    return true;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace windows
