// The grid view of the results window: the rows of the file list as
// thumbnails, made through the bridge (which may recover a temporary copy
// of the file into its private folder first).

#include "bridge/OpNodeData.h"
#include "bridge/QVUIController.h"
#include "ui/bridge_qt/QtImages.h"
#include "ui/windows/QVDeletailWindowController.h"

namespace windows {

namespace {

IFileNode* fileNode(quintptr node) { return reinterpret_cast<IFileNode*>(node); }

class BridgeThumbnailSource : public ThumbnailSource {
 public:
  QString title(quintptr node) const override {
    return QString::fromStdString(OpNodeData::fileNodeName(fileNode(node)));
  }
  bool deleted(quintptr node) const override { return OpNodeData::isFileNodeDeleted(fileNode(node)); }
  int checkState(quintptr node) const override { return OpNodeData::fileNodeState(fileNode(node)); }
  QImage thumbnail(quintptr node) override {
    const std::optional<bridge::Image> image = QVUIController::GetNSImageByFildNode(fileNode(node));
    if (!image) return {};
    const QImage shown = bridge_qt::toQImage(*image);
    if (shown.width() <= 90 && shown.height() <= 90) return shown;
    return shown.scaled(90, 90, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  }
};

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
    gridMainView_ = new ThumbnailGridView(std::make_shared<BridgeThumbnailSource>());
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
