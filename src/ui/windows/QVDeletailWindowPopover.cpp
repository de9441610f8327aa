// The results window: the popover that suggests a deep scan after the first
// quick scans of an installation.

#include <cstdio>

#include "ui/toolkit/MAAttachedWindow.h"
#include "ui/windows/QVDeletailWindowController.h"
#include "ui/windows/QVPublicUtilities.h"

namespace windows {

namespace {

const QString kShownKey = QStringLiteral("IsFristTime");
// After this many quick scans the suggestion is not made again.
constexpr long long kTimesShown = 2;

}  // namespace

// 80 points from the window's left, 400 from its bottom.
QPointF QVDeletailWindowController::popoverPoint() const { return QPointF(80, height() - 400); }

void QVDeletailWindowController::offerDeepScan() {
  if (deepScanPrompted_ || isCloseWindow_ == 1 || isSelectBackHome_ == 1 || isBackHome_ == 1) return;
  const long long shown = QVPublicUtilities::privateInteger(kShownKey);
  if (shown >= kTimesShown) return;
  deepScanPrompted_ = true;
  if (!QVPublicUtilities::writePrivateString(kShownKey, QString::number(shown + 1)))
    std::fprintf(stderr, "quarnel: the count of deep-scan suggestions could not be written\n");
  deepScanVC_ = new QVDeepScanViewController;
  connect(deepScanVC_, &QVDeepScanViewController::closeRequested, this, &QVDeletailWindowController::popupViewHidden);
  showPopoverWithViewController(deepScanVC_);
}

void QVDeletailWindowController::showPopoverWithViewController(QWidget* view) {
  if (!attachedWindow_ && view != nullptr) {
    attachedWindow_ = ui::MAAttachedWindow::create(view, popoverPoint(), this, 11, 10);
    attachedWindow_->setBorderColor(QColor(200, 200, 200));
    attachedWindow_->setBorderWidth(1);
    attachedWindow_->show();
    attachedWindow_->raise();
    popView_ = view;
    isClodePopView_ = 0;
  }
  popoverTimer_.start(popoverCloseDelay_);
}

void QVDeletailWindowController::popupViewHidden() {
  popoverTimer_.stop();
  if (attachedWindow_) {
    attachedWindow_->closePopover();
    // The close button inside it may be the caller.
    attachedWindow_->deleteLater();
    attachedWindow_ = nullptr;
  }
  popView_ = nullptr;
  isClodePopView_ = 1;
}

}  // namespace windows
