// The results window: tree tabs, the file list with its sort and check
// boxes, the empty-result note and the quick preview.

#include <QAbstractButton>
#include <QButtonGroup>
#include <QFileInfo>
#include <QHeaderView>
#include <QMetaObject>
#include <QStringDecoder>

#include "bridge/QVUIController.h"
#include "bridge/QVUIScan.h"
#include "core/util/Locks.h"
#include "ui/bridge_qt/QtImages.h"
#include "ui/bridge_qt/TreeReader.h"
#include "ui/windows/QVDeletailWindowController.h"

namespace windows {
namespace {

void setTabLook(QPushButton* button, const char* image) {
  if (image == nullptr)
    button->setStyleSheet(QStringLiteral("QPushButton { color: black; border: none; }"));
  else
    button->setStyleSheet(QStringLiteral("QPushButton { color: black; border: none; border-image: url(:/img/%1.svg); }")
                              .arg(QLatin1String(image)));
}

bool runningUnpaused() { return QVUIController::IsScanRunning() && !QVUIController::IsPause(); }

}  // namespace

// Shows tree `kind` with its tabs and outline.
void QVDeletailWindowController::showTab(int kind) {
  setTabLook(pathButton_, kind == 0 ? "bg_tab" : nullptr);
  setTabLook(typeButton_, kind == 1 ? "bg_tab" : nullptr);
  setTabLook(timeButton_, kind >= 2 ? "bg_tab" : nullptr);
  setTabLook(creatButton_, kind == 2 ? "text_bg" : nullptr);
  setTabLook(modifyButton_, kind == 3 ? "text_bg" : nullptr);
  for (std::size_t i = 0; i < outlines_.size(); ++i) {
    outlines_[i]->setVisible(static_cast<int>(i) == kind);
    blowViews_[i]->setVisible(static_cast<int>(i) == kind);
  }
  changeTimeBlowView_->setVisible(kind >= 2);
}

// Chooses tree `kind` (0 path, 1 category, 2 creation dates, 3
// modification dates); its check states are brought up to date first unless
// a scan runs unpaused (the path tree's are kept by the list).
void QVDeletailWindowController::chooseTree(int kind) {
  if (selectTypeCount_ == kind) return;
  selectTypeCount_ = kind;
  QVUIController::SetViewType(kind);
  if (kind != 0 && !runningUnpaused()) {
    if (kind == 1) {
      QVUIController::RefreshTypeTreeState(nullptr);
    } else {
      QVUIController::RefreshTimeTreeState(trees_[static_cast<std::size_t>(kind)].get(), 1);
    }
    outlines_[static_cast<std::size_t>(kind)]->resultModel()->refreshStates();
  }
  showTab(kind);
  outlines_[static_cast<std::size_t>(kind)]->selectRootItem();
}

void QVDeletailWindowController::pathButtonClick() { chooseTree(0); }

void QVDeletailWindowController::typeButtonClick() { chooseTree(1); }

void QVDeletailWindowController::timeButtonClick() { chooseTree(2); }

void QVDeletailWindowController::modifyTimeButtonClick() { chooseTree(3); }

void QVDeletailWindowController::segmentSelect(int segment) {
  // Also when chosen here rather than by a click.
  if (QAbstractButton* button = segmentButtons_->button(segment)) button->setChecked(true);
  // The view shown, chosen again, goes on loading its thumbnails: stopped
  // here, nothing would start them again before the next choice of rows.
  if (segment == selectSegmentCount_) return;
  stopImageLoading();
  stopGridImageLoading();
  selectSegmentCount_ = segment;
  showNoValueNote();
  if (!QVUIController::IsScanRunning()) segment_->setEnabled(true);
  if (segment == 0) tableView_->viewport()->update();
  showGridView();
  showCoverFlowView();
  changeSelectAllButtonState();
  showSelectFilesCountAndSize();
}

void QVDeletailWindowController::selectOutlineListWithOpNodeData(const OpNodePtr& item, bool refresh) {
  opDataFile_ = item;
  isSelectOutlineList_ = 1;
  refashDetailPageDataWithRefashSizeAndCount(refresh);
}

void QVDeletailWindowController::refashDetailPageDataWithRefashSizeAndCount(bool refresh) {
  std::vector<IFileNode*> rows;
  if (opDataFile_) QVUIController::GetFileNodeToArray(&rows, opDataFile_.get());
  fileModel_->setRows(std::move(rows));
  selectedRow_ = -1;
  tableViewCellNum_ = -1;
  if (!QVUIController::IsScanRunning()) segment_->setEnabled(true);
  isSorted_ = 0;
  refreshThumbnailViews();
  changeSelectAllButtonState();
  if (refresh) showSelectFilesCountAndSize();
  showNoValueNote();
}

// The path tree as this window last read it: the arrays themselves may be
// rebuilt by a search or a scan at this moment.
bool QVDeletailWindowController::hasPathRoots() const { return outlines_[0]->model()->rowCount() > 0; }

void QVDeletailWindowController::showNoValueNote() {
  const bool empty = fileModel_->rowCount() == 0 && hasPathRoots();
  tableView_->changeNoValue(!empty);
  listTableViewBlowView_->setVisible(selectSegmentCount_ == 0);
}

void QVDeletailWindowController::reLoadTableVolumnIndicatorImage() {
  tableView_->horizontalHeader()->setSortIndicatorShown(false);
  tableView_->horizontalHeader()->setSortIndicator(-1, Qt::DescendingOrder);
}

void QVDeletailWindowController::tableViewDidClickTableColumn(int column) {
  if (runningUnpaused()) return;
  stopImageLoading();
  stopGridImageLoading();
  // isSorted 1 ascending, 0 descending; one flag for every column.
  fileModel_->sortBy(column, isSorted_ == 1);
  reLoadTableVolumnIndicatorImage();
  QHeaderView* header = tableView_->horizontalHeader();
  header->setSortIndicatorShown(true);
  header->setSortIndicator(column, isSorted_ == 1 ? Qt::AscendingOrder : Qt::DescendingOrder);
  aTableColumn_ = column;
  isSorted_ = isSorted_ == 1 ? 0 : 1;
  // The cover flow shows the rows in their new order from the first.
  if (selectSegmentCount_ == 2) showCoverFlowView();
}

int QVDeletailWindowController::GetCellNodeState(const OpNodePtr& item) const {
  std::size_t counted = 0;
  long long sum = 0;
  if (item && item->isFadeNode() && item->parent() == nullptr) {
    for (const bridge_qt::TreeRow& child : bridge_qt::ReadChildren(*item)) {
      if (child.item) {
        sum += child.state;
        ++counted;
      } else if (!child.isFolder) {
        sum += child.state;
        ++counted;
      }
    }
  } else {
    std::vector<IFileNode*> entries;
    if (item)
      QVUIController::GetFileNodeToArray(&entries, item.get());
    else
      entries = fileModel_->rows();
    for (IFileNode* node : entries) {
      if (OpNodeData::isFileNodeDirect(node)) continue;
      sum += OpNodeData::fileNodeState(node);
      ++counted;
    }
  }
  if (sum == 0) return 0;
  if (sum == 2 * static_cast<long long>(counted)) return 2;
  return 1;
}

void QVDeletailWindowController::changeSelectAllButtonState() {
  if (fileModel_->rowCount() == 0) {
    listViewSelectAllButton_->setImageName(QStringLiteral("pf_checkbox_no"));
    return;
  }
  switch (GetCellNodeState(opDataFile_)) {
    case 0:
      listViewSelectAllButton_->setImageName(QStringLiteral("pf_checkbox_no"));
      break;
    case 2:
      listViewSelectAllButton_->setImageName(QStringLiteral("pf_checkbox_yes"));
      break;
    default:
      listViewSelectAllButton_->setImageName(QStringLiteral("pf_checkbox_half"));
      break;
  }
}

void QVDeletailWindowController::refreshTreeStates() {
  if (selectTypeCount_ == 1)
    QVUIController::RefreshTypeTreeState(opDataFile_.get());
  else if (selectTypeCount_ == 2)
    QVUIController::RefreshTimeTreeState(trees_[2].get(), 0);
  else if (selectTypeCount_ == 3)
    QVUIController::RefreshTimeTreeState(trees_[3].get(), 0);
}

void QVDeletailWindowController::refreshOutlineStates() {
  for (CommOutlineView* outline : outlines_) {
    outline->resultModel()->refreshStates();
    outline->viewport()->update();
  }
}

void QVDeletailWindowController::nsbuttonCellClick(int row) {
  if (runningUnpaused()) return;
  QVUIController::QVTableViewCellCilck();
  IFileNode* node = fileModel_->node(row);
  if (node == nullptr) return;
  showRecoveryButton();
  {
    const OpNodePtr item = OpNodeData::initWithFileNode(node);
    autolocker<mutex_locker> hold(QVTreeLocker());
    item->setNodeState(item->state() == 2 ? 0 : 2);
  }
  if (!QVUIController::IsScanRunning()) segment_->setEnabled(true);
  checkStatesChanged();
  changeSelectAllButtonState();
  showSelectFilesCountAndSize();
  refreshTreeStates();
  refreshOutlineStates();
}

void QVDeletailWindowController::setAllSelectOrNoSelect() {
  if (fileModel_->rowCount() == 0 || runningUnpaused()) return;
  showRecoveryButton();
  QVUIController::QVTableViewCellCilck();
  const int state = GetCellNodeState(opDataFile_) == 2 ? 0 : 2;
  for (IFileNode* node : fileModel_->rows())
    if (!OpNodeData::isFileNodeDirect(node)) OpNodeData::setFileNode(node, state);
  if (!QVUIController::IsScanRunning()) segment_->setEnabled(true);
  checkStatesChanged();
  changeSelectAllButtonState();
  showSelectFilesCountAndSize();
  refreshTreeStates();
  refreshOutlineStates();
}

void QVDeletailWindowController::spacePrviewFile() {
  if (isDeepScan_ == 1 && QVUIController::IsScanRunning() && isPause_ == 0) return;
  if (selectSegmentCount_ == 2 || fileModel_->rowCount() == 0) return;
  if (spacePreviewWindow_ && !spacePreviewWindow_->isClosed()) {
    spacePreviewWindow_->closeWindow();
    spacePreviewWindow_->deleteLater();
    spacePreviewWindow_ = nullptr;
    ++previewGeneration_;
    return;
  }
  IFileNode* node = fileModel_->node(selectedRow_);
  if (node == nullptr) return;
  delete spacePreviewWindow_;
  auto* preview = new SpacePreviewWindow(this);
  preview->setStrName(fileModel_->record(selectedRow_).name);
  preview->move(geometry().center() - preview->rect().center());
  preview->show();
  spacePreviewWindow_ = preview;
  loadPreview(node);
}

namespace {

constexpr std::size_t kTextPreviewBytes = 65536;

// Kinds shown as text in the preview.
bool isTextKind(const QString& name) {
  static const QStringList kinds = {
      QStringLiteral("txt"),  QStringLiteral("text"), QStringLiteral("csv"),  QStringLiteral("log"),
      QStringLiteral("md"),   QStringLiteral("xml"),  QStringLiteral("html"), QStringLiteral("htm"),
      QStringLiteral("json"), QStringLiteral("ini"),  QStringLiteral("cfg"),  QStringLiteral("conf"),
      QStringLiteral("c"),    QStringLiteral("h"),    QStringLiteral("cpp"),  QStringLiteral("py"),
      QStringLiteral("sh"),   QStringLiteral("js"),   QStringLiteral("css"),  QStringLiteral("tsv")};
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  return dot >= 0 && kinds.contains(name.mid(dot + 1).toLower());
}

// The bytes as text, or "" when they hold binary data.
QString asText(const std::string& bytes) {
  if (bytes.empty() || bytes.find('\0') != std::string::npos) return {};
  QStringDecoder utf8(QStringDecoder::Utf8);
  QString text = utf8(QByteArray::fromStdString(bytes));
  if (utf8.hasError()) text = QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
  return text;
}

}  // namespace

// The file is read through the bridge on the pool's thread and shown when
// it arrives, if that preview is still the current one: text kinds as
// text, everything else as the bridge's picture (the picture itself, or
// the icon of its kind).
void QVDeletailWindowController::loadPreview(IFileNode* node) {
  const int generation = ++previewGeneration_;
  const bool text = isTextKind(fileModel_->record(selectedRow_).name);
  QPointer<QVDeletailWindowController> self(this);
  previewPool_.start([self, node, generation, text] {
    QString shownText;
    if (text) {
      std::string head;
      if (QVUIController::GetFileHeadBytes(node, kTextPreviewBytes, head)) shownText = asText(head);
    }
    QImage shown;
    if (shownText.isEmpty()) {
      const std::optional<bridge::Image> image = QVUIController::GetNSImageByFildNode(node);
      shown = image ? bridge_qt::toQImage(*image) : QImage();
    }
    QMetaObject::invokeMethod(
        self.data(),
        [self, shown, shownText, generation] {
          if (!self || self->previewGeneration_ != generation || !self->spacePreviewWindow_) return;
          if (!shownText.isEmpty())
            self->spacePreviewWindow_->setShowText(shownText);
          else
            self->spacePreviewWindow_->setShowImage(shown);
        },
        Qt::QueuedConnection);
  });
}

}  // namespace windows
