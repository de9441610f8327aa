// The results window: a deep scan of the same device after a quick scan.

#include <QSignalBlocker>
#include <QTimer>

#include "bridge/QVUIController.h"
#include "ui/toolkit/Strings.h"
#include "ui/windows/QVDeletailWindowController.h"

namespace windows {

void QVDeletailWindowController::deepSrcanButtonAction() {
  if (QVUIController::IsScanRunning() || isDeepScan_ == 1 || isImport_ == 1 || deepScanPending_) return;
  deepScanPending_ = true;
  clearSelectState();
  popupViewHidden();
  stopImageLoading();
  stopGridImageLoading();
  remainTimeLabel_->setText(ui::Strings::text(QStringLiteral("NQT_FOUR_REMAININGTIME")).arg(QStringLiteral("-:-:-")));
  findFilesLabel_->setText(ui::Strings::text(QStringLiteral("NQT_FOUR_FILESFOUND")).arg(0));
  progressView_->changeProgressValue(0);
  isCanClick_ = 1;
  isPause_ = 0;
  isDeepScan_ = 1;
  scanEnded_ = false;
  // The rows and tree items shown point into the result the deep scan replaces.
  ++previewGeneration_;
  previewPool_.waitForDone();
  if (spacePreviewWindow_) spacePreviewWindow_->closeWindow();
  releaseThumbnailRows();
  dropRows();
  QVUIController::QVResetTreeNodeData();
  for (std::size_t kind = 0; kind < outlines_.size(); ++kind)
    outlines_[kind]->loadDataFormDetail(trees_[kind].get(), static_cast<int>(kind));
  showNoValueNote();
  backHomeButton_->setEnabled(false);
  pauseButton_->setEnabled(false);
  stopButton_->setEnabled(false);
  continueScanButton_->setEnabled(true);
  progressView_->show();
  pauseButton_->show();
  stopButton_->show();
  findFilesLabel_->show();
  remainTimeLabel_->show();
  selectFilesLabel_->hide();
  continueScanButton_->hide();
  recovertyButton_->setEnabled(false);
  advButton_->setEnabled(false);
  applyDeepScanLayout();
  QTimer::singleShot(200, this, &QVDeletailWindowController::doDeepScanAction);
}

void QVDeletailWindowController::doDeepScanAction() {
  // The window was closed or left meanwhile: no scan without a window.
  if (!deepScanPending_ || isCloseWindow_ == 1 || isBackHome_ == 1) return;
  deepScanPending_ = false;
  selectSegmentCount_ = 0;
  segment_->setEnabled(false);
  segmentSelect(0);
  ClearSelectedFilesInfo();
  QVUIController::ResetShouldBuild();
  search_->setEnabled(false);
  {
    const QSignalBlocker quiet(search_);
    search_->clear();
  }
  scanEnded_ = false;
  stopRequested_ = false;
  QVUIController::DoDeepScan(this, "NormalScranValue");
  getPorTimer_.stop();
}

}  // namespace windows
