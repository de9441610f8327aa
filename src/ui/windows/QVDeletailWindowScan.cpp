// The results window: the start of the scan, its updates, the progress in
// the bottom bar and the end of the scan.

#include <QDateTime>
#include <QFileInfo>

#include "bridge/QVUIController.h"
#include "bridge/QVUIScan.h"
#include "core/util/Locks.h"
#include "ui/toolkit/Modal.h"
#include "ui/toolkit/NotificationCenter.h"
#include "ui/toolkit/Strings.h"
#include "ui/windows/QVDeletailWindowController.h"
#include "ui/windows/QVPublicUtilities.h"

namespace windows {

void QVDeletailWindowController::dropRows() {
  fileModel_->clear();
  for (CommOutlineView* outline : outlines_) outline->clearData();
  opDataFile_.reset();
}

bool QVDeletailWindowController::getData() {
  // The rows point into the result the new scan replaces.
  ++previewGeneration_;
  previewPool_.waitForDone();
  releaseThumbnailRows();
  if (spacePreviewWindow_) spacePreviewWindow_->closeWindow();
  dropRows();
  {
    autolocker<mutex_locker> hold(QVTreeLocker());
    for (auto& tree : trees_) tree->clear();
  }
  isDeepScan_ = 0;
  scanEnded_ = false;
  stopRequested_ = false;
  setNotification();
  const _DiskVolumeData* row = &selectDiskVolumeData_;
  bool started = false;
  if (row->isQdi != 0 || row->isAppleDmg != 0) {
    QVUIController::ResetShouldBuild();
    started = QVUIController::isQdiDoDeepScanWithData(row, "NormalScranValue", this);
  } else if (scanTypeNum_ == 1) {
    started = QVUIController::DoScanWithData(row, "NormalScranValue", this);
  } else {
    started = QVUIController::DoDeepScanWithData(row, "NormalScranValue", this);
  }
  isDeepScan_ = QVUIController::IsDeepScan() ? 1 : 0;
  if (isDeepScan_ == 0) {
    segment_->setEnabled(true);
    layoutBottomBar();
  } else {
    segment_->setEnabled(false);
    applyDeepScanLayout();
  }
  return started;
}

void QVDeletailWindowController::setNotification() {
  auto& centre = ui::NotificationCenter::defaultCenter();
  centre.removeObserver(this, QStringLiteral("NormalScranValue"));
  centre.removeObserver(this, QStringLiteral("RefreshTableView"));
  centre.removeObserver(this, QStringLiteral("ChangeWindowTitle"));
  centre.removeObserver(this, QStringLiteral("DoSearchValue"));
  centre.removeObserver(this, QStringLiteral("DoSearchFinished"));
  centre.addObserver(this, QStringLiteral("DoSearchValue"), [this](const ui::Notification&) { SearchTreeView(false); });
  centre.addObserver(this, QStringLiteral("DoSearchFinished"), [this](const ui::Notification&) { reloadTreeView(); });
  centre.addObserver(this, QStringLiteral("NormalScranValue"), [this](const ui::Notification&) { DataInitFinished(); });
  centre.addObserver(this, QStringLiteral("RefreshTableView"),
                     [this](const ui::Notification&) { tableView_->viewport()->update(); });
  centre.addObserver(this, QStringLiteral("ChangeWindowTitle"), [this](const ui::Notification&) {
    if (titleLabel_) titleLabel_->setText(ui::Strings::text(QStringLiteral("WINDOW_TOP_TITLE")));
  });
}

void QVDeletailWindowController::DataInitFinished() {
  if (selectDesktop_ == 1 && QVUIController::IsScanRunning()) {
    getScanProgress();
    return;
  }
  for (std::size_t kind = 0; kind < outlines_.size(); ++kind)
    outlines_[kind]->loadDataFormDetail(trees_[kind].get(), static_cast<int>(kind));
  const bool rebuildsPathTree = selectTypeCount_ != 0 && selectDesktop_ != 1;
  getScanProgress();
  if (!QVUIController::IsScanRunning()) {
    // The end of the scan rebuilt the path tree while another was shown.
    if (rebuildsPathTree) outlines_[0]->loadDataFormDetail(trees_[0].get(), 0);
    timeButton_->setEnabled(true);
    pathButton_->setEnabled(true);
    typeButton_->setEnabled(true);
    selectRootItem();
    setFoundAllFiles();
    const QModelIndex first = outlines_[0]->model()->index(0, 0);
    if (first.isValid()) outlines_[0]->expand(first);
    showNoValueNote();
  }
  oldData_ = QDateTime::currentMSecsSinceEpoch();
}

void QVDeletailWindowController::setFoundAllFiles() {
  std::uint64_t size = 0;
  std::uint64_t count = 0;
  QVUIController::GetScanFileSize(size, count);
  selectFilesLabel_->setText(ui::Strings::text(QStringLiteral("NQT_FOUR_ALL_FILES_SIZE"))
                                 .arg(QVPublicUtilities::longlongConvertVolSpace(static_cast<std::int64_t>(size)))
                                 .arg(count));
}

void QVDeletailWindowController::selectRootItem() {
  if (selectTypeCount_ >= 0 && selectTypeCount_ < static_cast<int>(outlines_.size()))
    outlines_[static_cast<std::size_t>(selectTypeCount_)]->selectRootItem();
}

namespace {

// The kernel name of a device node ("/dev/sdb1" -> "sdb1"); a path of an
// image file stays as it is.
QString bareName(const QString& s) { return s.startsWith(QStringLiteral("/dev/")) ? s.mid(5) : s; }

// Whether a removed device `named` is `devName` or the disk it lies on
// ("sdb" holds "sdb1", "nvme0n1" holds "nvme0n1p2", "loop3" "loop3p1").
bool removedHolds(const QString& named, const std::string& devName) {
  if (named.isEmpty() || devName.empty()) return false;
  const QString gone = bareName(named);
  const QString mine = bareName(QString::fromStdString(devName));
  if (gone == mine) return true;
  if (gone.startsWith(QLatin1Char('/')) || !mine.startsWith(gone)) return false;
  QString rest = mine.mid(gone.size());
  if (rest.startsWith(QLatin1Char('p')) && gone.back().isDigit()) rest = rest.mid(1);
  bool number = false;
  rest.toInt(&number);
  return number;
}

// Whether a device of the list is still there.
bool stillPresent(const std::string& devName) {
  if (devName.empty()) return true;
  const QString name = QString::fromStdString(devName);
  return QFileInfo::exists(name.startsWith(QLatin1Char('/')) ? name : QStringLiteral("/dev/") + name);
}

}  // namespace

// The record names the removed device by its node ("DevName", or a
// "USBPath" that is a path) or by the disk's display name ("USBPath").
bool QVDeletailWindowController::namesScannedDevice(const QVariantMap& record) const {
  const _DiskVolumeData& disk = hasParentRow_ ? parentRow_ : selectDiskVolumeData_;
  QString dev = record.value(QStringLiteral("DevName")).toString();
  const QString path = record.value(QStringLiteral("USBPath")).toString();
  if (dev.isEmpty() && path.startsWith(QLatin1Char('/'))) dev = path;
  if (!dev.isEmpty()) return removedHolds(dev, selectDiskVolumeData_.devName) || removedHolds(dev, disk.devName);
  if (!path.isEmpty()) return path == QString::fromStdString(disk.name);
  // A removal that names no device: is the scanned one still there?
  return !stillPresent(selectDiskVolumeData_.devName) || !stillPresent(disk.devName);
}

void QVDeletailWindowController::RefreshDevice(const QVariantMap& record) {
  if (!namesScannedDevice(record)) return;
  QVUIController::StopScan(1);
  ui::NotificationCenter::defaultCenter().removeObserver(this, QStringLiteral("RefreshDetachDevice"));
  ui::AlertSpec spec;
  spec.parent = this;
  spec.message = QStringLiteral("Message");
  spec.informative = QStringLiteral("The usb device is detatched!");
  spec.defaultButton = QStringLiteral("OK");
  if (ui::Modal().alert(spec) != 1 || isBackHome_ == 1) return;
  if (!QVUIController::IsScanRunning()) {
    doBackHomeAction(1);
    return;
  }
  // The stopped scan keeps nothing to save: home once it has ended.
  isSelectBackHome_ = 1;
  isCanClick_ = 0;
  getPorTimer_.stop();
  endScanTimer_.start();
}

void QVDeletailWindowController::getScanProgress() {
  isDeepScan_ = QVUIController::IsDeepScan() ? 1 : 0;
  if (isDeepScan_ == 1 && isPause_ == 0) {
    segment_->setEnabled(false);
    applyDeepScanLayout();
  } else {
    segment_->setEnabled(true);
  }
  double percent = 0;
  std::uint64_t found = 0;
  const std::string remaining = QVUIController::GetScanProgress(percent, found);
  const std::time_t now = std::time(nullptr);
  const bool due = lastUpdateTime_ == 0 || now - lastUpdateTime_ >= 1;
  if (due) lastUpdateTime_ = now;
  if (found != 0 || percent > 1) {
    findFilesLabel_->setText(ui::Strings::text(QStringLiteral("NQT_FOUR_FILESFOUND")).arg(found));
    if (due)
      remainTimeLabel_->setText(
          ui::Strings::text(QStringLiteral("NQT_FOUR_REMAININGTIME")).arg(QString::fromStdString(remaining)));
  } else {
    findFilesLabel_->setText(QStringLiteral("Please wait..."));
    remainTimeLabel_->setText(QStringLiteral("Prepare to scan your drive"));
  }
  if (found >= 1) {
    if (!getPorTimer_.isActive() && QVUIController::IsScanRunning() && !QVUIController::IsPause()) getPorTimer_.start();
    progressView_->changeProgressValue(static_cast<float>(percent));
  }
  if (!QVUIController::IsScanRunning()) {
    if (selectSegmentCount_ == 2 && coverFlowView_) coverFlowView_->flowView()->freeCache();
    if (selectTypeCount_ != 0 && selectDesktop_ != 1) {
      QVUIController::SetViewType(0);
      QVUIController::RefreshData();
      QVUIController::GetScanTreeNodeData(trees_[0].get(), 0);
      QVUIController::SetViewType(selectTypeCount_);
    }
    segment_->setEnabled(true);
    progressView_->hide();
    pauseButton_->hide();
    stopButton_->hide();
    continueScanButton_->hide();
    findFilesLabel_->hide();
    remainTimeLabel_->hide();
    recovertyButton_->show();
    selectFilesLabel_->show();
    search_->setEnabled(true);
    getPorTimer_.stop();
    isDeepScan_ = QVUIController::IsDeepScan() ? 1 : 0;
    layoutBottomBar();
    if (isDeepScan_ == 0 && isImport_ == 0) {
      advButton_->setEnabled(true);
      offerDeepScan();
    }
    isCanClick_ = 1;
    scanEnded_ = true;
    showExportButtonAtEnd();
    if (isCloseWindow_ == 1) {
      hide();
      ui::NotificationCenter::defaultCenter().post(QStringLiteral("appWillTerminate"));
      return;
    }
    if (isSelectBackHome_ == 1) {
      doBackHomeAction(1);
      return;
    }
    std::uint64_t size = 0;
    std::uint64_t count = 0;
    QVUIController::GetScanFileSize(size, count);
    selectFilesLabel_->setText(ui::Strings::text(QStringLiteral("NQT_FOUR_ALL_FILES_SIZE"))
                                   .arg(QVPublicUtilities::longlongConvertVolSpace(static_cast<std::int64_t>(size)))
                                   .arg(count));
  }
  const bool usable = isCanClick_ == 1;
  backHomeButton_->setEnabled(usable && QVUIController::QVGetIsSearching() == 0);
  pauseButton_->setEnabled(usable);
  stopButton_->setEnabled(usable);
}

void QVDeletailWindowController::showScanProgree() {
  if (oldData_ != 0) {
    const qint64 seconds = (QDateTime::currentMSecsSinceEpoch() - oldData_) / 1000;
    if (seconds >= 30)
      beginShowFoundCountPoint();
    else if (seconds < 3)
      stopShowFoundCountPoint();
  }
  if (doShowScanProgree() >= 100) getPorTimer_.stop();
}

double QVDeletailWindowController::doShowScanProgree() {
  double percent = 0;
  std::uint64_t found = 0;
  const std::string remaining = QVUIController::GetScanProgress(percent, found);
  if (percent > 0) {
    backHomeButton_->setEnabled(isCanClick_ == 1 && QVUIController::QVGetIsSearching() == 0);
    stopButton_->setEnabled(isCanClick_ == 1);
  }
  const std::time_t now = std::time(nullptr);
  if (lastUpdateTime_ == 0 || now - lastUpdateTime_ >= 1) {
    lastUpdateTime_ = now;
    remainTimeLabel_->setText(
        ui::Strings::text(QStringLiteral("NQT_FOUR_REMAININGTIME")).arg(QString::fromStdString(remaining)));
  }
  percent = std::max(percent, 1.0);
  progressView_->changeProgressValue(static_cast<float>(percent));
  return percent;
}

void QVDeletailWindowController::beginShowFoundCountPoint() {
  if (foundCountTimer_.isActive()) return;
  pointCount_ = 0;
  foundCountTimer_.start();
}

void QVDeletailWindowController::showFoundCountPoint() {
  static const char* const kDots[] = {".", "..", "...", " "};
  getFindFilesCountWith(QString::fromLatin1(kDots[pointCount_]));
  pointCount_ = (pointCount_ + 1) % 4;
}

void QVDeletailWindowController::stopShowFoundCountPoint() {
  getFindFilesCountWith(QStringLiteral(" "));
  foundCountTimer_.stop();
}

void QVDeletailWindowController::getFindFilesCountWith(const QString& dots) {
  double percent = 0;
  std::uint64_t found = 0;
  QVUIController::GetScanProgress(percent, found);
  if (found == 0 && percent <= 1) return;
  const QString text = ui::Strings::text(QStringLiteral("NQT_FOUR_FILESFOUND")).arg(found);
  if (text.isEmpty() || text == QStringLiteral(" ")) return;
  findFilesLabel_->setText(text + dots);
}

void QVDeletailWindowController::showRecoveryButton() {
  selectFilesLabel_->show();
  progressView_->hide();
  findFilesLabel_->hide();
  remainTimeLabel_->hide();
  double percent = 0;
  std::uint64_t found = 0;
  QVUIController::GetScanProgress(percent, found);
  progressView_->changeProgressValue(static_cast<float>(std::max(percent, 1.0)));
}

void QVDeletailWindowController::showSelectFilesCountAndSize() {
  if (QVUIController::IsScanRunning() && !QVUIController::IsPause()) return;
  // A search marks the found files as it goes; its end shows the summary.
  if (QVUIController::QVGetIsSearching() != 0) return;
  int count = 0;
  std::uint64_t size = 0;
  QVUIController::GetSelectedFilesAmout(count, size);
  selectedFileCnt_ = count;
  recovertyButton_->setEnabled(count > 0);
  selectFilesLabel_->setText(ui::Strings::text(QStringLiteral("NQT_FOUR_SELECT_FILES"))
                                 .arg(QVPublicUtilities::longlongConvertVolSpace(static_cast<std::int64_t>(size)))
                                 .arg(count));
}

void QVDeletailWindowController::clearSelectState() {
  QVUIController::QVCleanOpNodeSate();
  for (CommOutlineView* outline : outlines_) outline->resultModel()->refreshStates();
  checkStatesChanged();
}

void QVDeletailWindowController::pauseButtonClick() {
  QVUIController::PauseOrResumeScan();
  if (!QVUIController::IsScanRunning()) {
    // The engine had already finished: this is the end of the scan.
    isPause_ = 0;
    QVUIController::StopScan(1);
    isCanClick_ = 0;
    getScanProgress();
    QVUIController::QVSetFlag(0);
    return;
  }
  if (selectDesktop_ != 1) searchClearButtonClick();
  stopImageLoading();
  stopGridImageLoading();
  isPause_ = isPause_ == 1 ? 0 : 1;
  isDeepScan_ = QVUIController::IsDeepScan() ? 1 : 0;
  if (isDeepScan_ == 1 && isPause_ == 0) {
    segment_->setEnabled(false);
    segmentSelect(0);
  } else {
    segment_->setEnabled(true);
  }
  pauseButton_->setVisible(isPause_ == 0);
  continueScanButton_->setVisible(isPause_ == 1);
  if (isPause_ == 1) {
    isCanClick_ = 1;
    search_->setEnabled(true);
    getPorTimer_.stop();
    // Ticks and the list work again while paused.
    refashDetailPageDataWithRefashSizeAndCount(false);
    return;
  }
  // Running again: the trees keep changing, so what was ticked is let go.
  clearSelectState();
  if (selectDesktop_ != 1) {
    for (std::size_t kind = 0; kind < outlines_.size(); ++kind)
      outlines_[kind]->loadDataFormDetail(trees_[kind].get(), static_cast<int>(kind));
  }
  search_->setEnabled(false);
  recovertyButton_->setEnabled(false);
  selectFilesLabel_->hide();
  progressView_->show();
  findFilesLabel_->show();
  remainTimeLabel_->show();
  getPorTimer_.start();
  if (selectDesktop_ != 1) QTimer::singleShot(500, this, [this] { refashDetailPageDataWithRefashSizeAndCount(true); });
}

void QVDeletailWindowController::stopButtonClick() {
  if (isCloseWindow_ == 1 || stopRequested_ || isSelectBackHome_ == 1 || !QVUIController::IsScanRunning()) return;
  const bool userPaused = isPause_ == 1;
  if (!QVUIController::IsPause()) QVUIController::PauseOrResumeScan();
  ui::AlertSpec spec;
  spec.parent = this;
  spec.message = ui::Strings::text(QStringLiteral("NQT_FOUR_SCAN_STOP_TITLE"));
  spec.informative = ui::Strings::text(QStringLiteral("NQT_FOUR_SCAN_STOP_NODE"));
  spec.defaultButton = ui::Strings::text(QStringLiteral("NQT_FOUR_SCAN_STOP_YES_BUTTON"));
  spec.alternateButton = ui::Strings::text(QStringLiteral("NQT_FOUR_SCAN_STOP_NO_BUTTON"));
  const int answer = ui::Modal().alert(spec);
  if (stopRequested_ || !QVUIController::IsScanRunning()) {
    // The scan ended (or was stopped elsewhere) while the question was shown.
    getScanProgress();
    return;
  }
  if (answer != 1) {
    if (!userPaused && QVUIController::IsPause()) QVUIController::PauseOrResumeScan();
    isCanClick_ = 1;
    return;
  }
  stopRequested_ = true;
  clearSelectState();
  searchClearButtonClick();
  isPause_ = 0;
  search_->setEnabled(false);
  pauseButton_->setEnabled(false);
  continueScanButton_->setEnabled(false);
  stopButton_->setEnabled(false);
  backHomeButton_->setEnabled(false);
  recovertyButton_->setEnabled(false);
  QTimer::singleShot(500, this, &QVDeletailWindowController::stopAction);
}

void QVDeletailWindowController::stopAction() {
  // The trees are still built from what was found so far.
  QVUIController::StopScan(0);
  isCanClick_ = 0;
  continueScanButton_->setEnabled(false);
  refashDetailPageDataWithRefashSizeAndCount(false);
  endScanTimer_.start();
}

void QVDeletailWindowController::doEndScan() {
  if (QVUIController::IsScanRunning()) return;
  endScanTimer_.stop();
  getScanProgress();
  if (!QVUIController::IsScanRunning()) getPorTimer_.stop();
}

}  // namespace windows
