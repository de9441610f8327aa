// The grid view of the results window: the rows of the file list as
// thumbnails, made through the bridge (which may recover a temporary copy
// of the file into its private folder first).

#include "bridge/OpNodeData.h"
#include "bridge/QVUIController.h"
#include "ui/windows/BridgeThumbnailSource.h"
#include "ui/windows/QVDeletailWindowController.h"

namespace windows {

namespace {

// The side of a grid cell's picture.
constexpr int kThumbnailSide = 90;

IFileNode* fileNode(quintptr node) { return reinterpret_cast<IFileNode*>(node); }

}  // namespace

int QVDeletailWindowController::gridImageState() const { return gridMainView_ ? gridMainView_->gridImageState() : -1; }

void QVDeletailWindowController::stopGridImageLoading() {
  if (gridMainView_) gridMainView_->stopGridImageLoading();
}

void QVDeletailWindowController::checkStatesChanged() {
  fileModel_->statesChanged();
  if (gridMainView_ && selectSegmentCount_ == 1) gridMainView_->refreshStates();
}

void QVDeletailWindowController::showGridView() {
  if (selectSegmentCount_ != 1) {
    if (gridMainView_) {
      gridMainView_->stopGridImageLoading();
      gridMainView_->hide();
    }
    return;
  }
  if (!gridMainView_) {
    ui::CNGridViewItem::setScanRunningQuery(
        [] { return QVUIController::IsScanRunning() && !QVUIController::IsPause(); });
    ui::CNGridViewItem::setCheckStateQuery([](quintptr node) { return OpNodeData::fileNodeState(fileNode(node)); });
    gridMainView_ = new ThumbnailGridView(std::make_shared<BridgeThumbnailSource>(kThumbnailSide));
    splistView_->addWidget(gridMainView_);
    gridMainView_->onToggleRow = [this](quint64 row) { nsbuttonCellClick(static_cast<int>(row)); };
  }
  std::vector<quintptr> rows;
  rows.reserve(fileModel_->rows().size());
  for (IFileNode* node : fileModel_->rows()) rows.push_back(reinterpret_cast<quintptr>(node));
  gridMainView_->show();
  gridMainView_->setRows(std::move(rows));
}

}  // namespace windows
