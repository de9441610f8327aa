// The results window: a deep scan of the same device after a quick scan.

#include <QSignalBlocker>
#include <QTimer>

#include "bridge/QVUIController.h"
#include "ui/toolkit/Modal.h"
#include "ui/toolkit/Strings.h"
#include "ui/windows/QVDeletailWindowController.h"

namespace windows {

void QVDeletailWindowController::deepSrcanButtonAction() {
  if (QVUIController::IsScanRunning() || isDeepScan_ == 1 || isImport_ == 1 || deepScanPending_) return;
  // A search still rebuilds the trees: its end is handled first.
  if (QVUIController::QVGetIsSearching() != 0) return;
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
  // The rows and tree items shown point into the result the deep scan
  // replaces. The trees themselves are emptied by the bridge when the deep
  // scan starts: should it refuse, they show the quick scan's result again.
  ++previewGeneration_;
  previewPool_.waitForDone();
  if (spacePreviewWindow_) spacePreviewWindow_->closeWindow();
  // A thumbnail of these rows still being made is waited for before the
  // deep scan lets the rows go, without holding up the window.
  dropThumbnailRows();
  dropRows();
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
  if (exportButton_ != nullptr) exportButton_->setEnabled(false);
  applyDeepScanLayout();
  QTimer::singleShot(200, this, &QVDeletailWindowController::doDeepScanAction);
}

void QVDeletailWindowController::doDeepScanAction() {
  // The window was closed or left meanwhile: no scan without a window.
  if (!deepScanPending_ || isCloseWindow_ == 1 || isBackHome_ == 1) return;
  if (thumbnailLoadersBusy()) {
    QTimer::singleShot(20, this, &QVDeletailWindowController::doDeepScanAction);
    return;
  }
  deepScanPending_ = false;
  segmentSelect(0);
  segment_->setEnabled(false);
  ClearSelectedFilesInfo();
  const int saved = bSave_;
  bSave_ = 0;
  QVUIController::ResetShouldBuild();
  search_->setEnabled(false);
  const QString searched = search_->text();
  {
    const QSignalBlocker quiet(search_);
    search_->clear();
  }
  scanEnded_ = false;
  stopRequested_ = false;
  getPorTimer_.stop();
  if (QVUIController::DoDeepScan(this, "NormalScranValue")) return;
  // Another job still runs, or the device is gone: the user is told and
  // the quick scan's result (as it was searched) is shown again.
  bSave_ = saved;
  {
    const QSignalBlocker quiet(search_);
    search_->setText(searched);
  }
  isDeepScan_ = QVUIController::IsDeepScan() ? 1 : 0;
  advButton_->show();
  DataInitFinished();
  ui::AlertSpec spec;
  spec.parent = this;
  spec.message = ui::Strings::text(QStringLiteral("NQT_FOUR_DEEPSCAN_REFUSED_TITLE"));
  spec.informative = ui::Strings::text(QStringLiteral("NQT_FOUR_DEEPSCAN_REFUSED_NODE"));
  ui::Modal().alert(spec);
}

}  // namespace windows
