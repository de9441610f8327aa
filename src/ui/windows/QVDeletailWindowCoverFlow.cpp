// The cover-flow view of the results window (view switch 2): the pictures
// of the rows above a second table of the same rows, made through the
// bridge off the GUI thread (which may recover a temporary copy of the file
// into its private folder first).

#include <QHeaderView>
#include <QSplitter>

#include "ui/windows/BridgeThumbnailSource.h"
#include "ui/windows/QVDeletailWindowController.h"

namespace windows {

namespace {

constexpr int kFlowSide = 256;

}  // namespace

int QVDeletailWindowController::nImageState() const { return coverFlowView_ ? coverFlowView_->nImageState() : -1; }

void QVDeletailWindowController::stopImageLoading() {
  if (coverFlowView_) coverFlowView_->stopImageLoading();
}

// Both thumbnail views follow new rows when they exist.
void QVDeletailWindowController::refreshThumbnailViews() {
  if (gridMainView_) showGridView();
  if (coverFlowView_) showCoverFlowView();
}

// Before the rows' nodes go away with their scan result.
void QVDeletailWindowController::releaseThumbnailRows() {
  if (gridMainView_) {
    gridMainView_->setRows({});
    gridMainView_->waitForLoader();
  }
  if (coverFlowView_) {
    coverFlowView_->setRows({});
    coverFlowView_->waitForLoader();
  }
}

void QVDeletailWindowController::dropThumbnailRows() {
  if (gridMainView_) gridMainView_->setRows({});
  if (coverFlowView_) coverFlowView_->setRows({});
}

bool QVDeletailWindowController::thumbnailLoadersBusy() const {
  return (gridMainView_ && gridMainView_->loaderBusy()) || (coverFlowView_ && coverFlowView_->loaderBusy());
}

void QVDeletailWindowController::buildCoverFlow() {
  coverFlower_ = new QSplitter(Qt::Vertical);
  coverFlower_->setObjectName(QStringLiteral("coverFlower"));
  coverFlower_->setChildrenCollapsible(false);
  coverFlower_->setHandleWidth(1);
  coverFlowView_ = new CoverFlowView(std::make_shared<BridgeThumbnailSource>(kFlowSide));
  coverFlowView_->setMinimumHeight(180);
  coverFlowerTableView_ = new QVNSTableView;
  coverFlowerTableView_->setObjectName(QStringLiteral("coverFlowerTableView"));
  coverFlowerTableView_->setModel(fileModel_);
  QHeaderView* header = coverFlowerTableView_->horizontalHeader();
  header->setSectionResizeMode(FileListModel::CheckBox, QHeaderView::Fixed);
  header->resizeSection(FileListModel::CheckBox, 24);
  header->resizeSection(FileListModel::Name, 220);
  header->resizeSection(FileListModel::Size, 90);
  header->resizeSection(FileListModel::Path, 180);
  header->setStretchLastSection(true);
  coverFlower_->addWidget(coverFlowView_);
  coverFlower_->addWidget(coverFlowerTableView_);
  coverFlower_->setStretchFactor(0, 3);
  coverFlower_->setStretchFactor(1, 2);
  // The pictures take three fifths of the height from the start, not just
  // their least height.
  coverFlower_->setSizes({3000, 2000});
  splistView_->addWidget(coverFlower_);
  connect(coverFlowerTableView_, &QVNSTableView::checkBoxClicked, this, &QVDeletailWindowController::nsbuttonCellClick);
  connect(header, &QHeaderView::sectionClicked, this, &QVDeletailWindowController::tableViewDidClickTableColumn);
  // A row chosen in the table moves the flow to it.
  connect(coverFlowerTableView_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) {
            if (!current.isValid() || selectSegmentCount_ != 2) return;
            tableViewCellNum_ = current.row();
            selectCellCount_ = current.row();
            if (coverFlowView_->flowSelectedIndex() != current.row()) coverFlowView_->selectedCoverFlow(current.row());
          });
  // A picture chosen in the flow: both tables go to its row.
  connect(coverFlowView_, &CoverFlowView::rowChosen, this, [this](quint64 row) {
    const int r = static_cast<int>(row);
    tableView_->scrollTo(fileModel_->index(r, FileListModel::Name));
    coverFlowerTableView_->scrollTo(fileModel_->index(r, FileListModel::Name));
    coverFlowerTableView_->selectRow(r);
  });
}

void QVDeletailWindowController::showCoverFlowView() {
  if (selectSegmentCount_ != 2) {
    if (coverFlowView_) {
      coverFlowView_->stopImageLoading();
      coverFlowView_->flowView()->freeCache();
      coverFlower_->hide();
    }
    return;
  }
  if (!coverFlowView_) buildCoverFlow();
  std::vector<quintptr> rows;
  rows.reserve(fileModel_->rows().size());
  for (IFileNode* node : fileModel_->rows()) rows.push_back(reinterpret_cast<quintptr>(node));
  coverFlower_->show();
  coverFlowView_->setRows(std::move(rows));
  const bool empty = fileModel_->rowCount() == 0 && hasPathRoots();
  coverFlowerTableView_->changeNoValue(!empty);
}

}  // namespace windows
