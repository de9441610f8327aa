// The results window: back to the main window, during a scan (asked first,
// left once the scan has ended) or after it (an unsaved result is offered
// for saving first).

#include <cstdio>

#include "bridge/QVUIController.h"
#include "bridge/QVUIScan.h"
#include "core/util/Locks.h"
#include "ui/toolkit/Modal.h"
#include "ui/toolkit/NotificationCenter.h"
#include "ui/toolkit/Strings.h"
#include "ui/windows/QVDeletailWindowController.h"
#include "ui/windows/QVPublicUtilities.h"

namespace windows {

namespace {

QString text(const char* key) { return ui::Strings::text(QString::fromLatin1(key)); }

}  // namespace

void QVDeletailWindowController::backButtonAction() {
  if (isCloseWindow_ == 1 || isBackHome_ == 1 || isSelectBackHome_ == 1) return;
  if (!QVUIController::IsScanRunning()) {
    doBackHomeAction(1);
    return;
  }
  // A confirmed stop is already on its way: the end of the scan comes first.
  if (stopRequested_) return;
  const bool userPaused = isPause_ == 1;
  if (!QVUIController::IsPause()) QVUIController::PauseOrResumeScan();
  ui::AlertSpec spec;
  spec.parent = this;
  spec.message = text("NQT_FOUR_SCAN_BACKHOME_TITLE");
  spec.informative = text("NQT_FOUR_SCAN_BACKHOME_NODE");
  spec.defaultButton = text("NQT_FOUR_SCAN_BACKHOME_YES_BUTTON");
  spec.alternateButton = text("NQT_FOUR_SCAN_BACKHOME_NO_BUTTON");
  const int answer = ui::Modal().alert(spec);
  if (isCloseWindow_ == 1 || isBackHome_ == 1 || stopRequested_) return;
  if (answer != 1) {
    if (!userPaused && QVUIController::IsPause()) QVUIController::PauseOrResumeScan();
    isCanClick_ = 1;
    return;
  }
  clearSelectState();
  getPorTimer_.stop();
  isPause_ = 0;
  backHomeButton_->setEnabled(false);
  continueScanButton_->setEnabled(false);
  stopButton_->setEnabled(false);
  pauseButton_->setEnabled(false);
  recovertyButton_->setEnabled(false);
  QVUIController::StopScan(1);
  isCanClick_ = 0;
  isSelectBackHome_ = 1;
  QVUIController::ResetShouldBuild();
  if (!QVUIController::IsScanRunning()) {
    doBackHomeAction(1);
    return;
  }
  // The end of the scan goes home (its last update, or this poll should
  // that update not come).
  endScanTimer_.start();
}

int QVDeletailWindowController::SaveScanResult() {
  if (bSave_ == 1 || isImport_ == 1 || isSelectBackHome_ == 1) return 1;
  // Nothing to keep: no scan ended here, or it found nothing.
  std::uint64_t size = 0;
  std::uint64_t count = 0;
  QVUIController::GetScanFileSize(size, count);
  if (!scanEnded_ || count == 0) return 1;
  ui::AlertSpec spec;
  spec.parent = this;
  spec.message = text("NQT_FOUR_HOME_SAVE_TITLE");
  spec.informative = text("SAVE_SCAN_TIP");
  spec.defaultButton = text("NQT_FOUR_HOME_SAVE_YES_BUTTON");
  spec.alternateButton = text("NQT_FOUR_HOME_SAVE_STAY_BUTTON");
  spec.otherButton = text("NQT_FOUR_HOME_SAVE_NO_BUTTON");
  const int answer = ui::Modal().alert(spec);
  if (answer == 0) return 0;
  if (answer == -1) return 1;
  // Saving was chosen: a save that was given up or failed keeps the user
  // here, with the result.
  exportButtonAction();
  return bSave_ == 1 ? 1 : 0;
}

void QVDeletailWindowController::saveSearchHistroy() {
  if (!QVPublicUtilities::writePrivateStrings(QStringLiteral("SearchHistory"), recentSearches_))
    std::fprintf(stderr, "quarnel: the search history could not be written\n");
}

void QVDeletailWindowController::doBackHomeAction(int ask) {
  if (isBackHome_ == 1) return;
  if (ask != 0 && SaveScanResult() == 0) return;
  if (isBackHome_ == 1) return;
  isBackHome_ = 1;
  std::fprintf(stderr, "begin back home\n");
  {
    autolocker<mutex_locker> hold(QVTreeLocker());
    for (const OpNodePtr& root : *trees_[1]) root->setNodeState(0);
  }
  popupViewHidden();
  stopImageLoading();
  stopGridImageLoading();
  saveSearchHistroy();
  // A search still running is forgotten: its trees belong to this window.
  if (QVUIController::QVGetIsSearching() != 0) QVUIController::StopSearch();
  getPorTimer_.stop();
  foundCountTimer_.stop();
  endScanTimer_.stop();
  ++previewGeneration_;
  if (spacePreviewWindow_) spacePreviewWindow_->closeWindow();
  fileModel_->clear();
  selectedRow_ = -1;
  tableViewCellNum_ = -1;
  isSelectOutlineList_ = 1;
  selectTypeCount_ = 0;
  QVUIController::SetViewType(0);
  remainTimeLabel_->setText(text("NQT_FOUR_REMAININGTIME").arg(QStringLiteral("-:-:-")));
  findFilesLabel_->setText(text("NQT_FOUR_FILESFOUND").arg(0));
  progressView_->changeProgressValue(0);
  ui::NotificationCenter::defaultCenter().removeObserver(this);
  hide();
  close();
  std::fprintf(stderr, "finish back home\n");
  emit backHomeRequested();
}

}  // namespace windows
