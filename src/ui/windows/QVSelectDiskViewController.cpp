#include "ui/windows/QVSelectDiskViewController.h"

#include <QFile>
#include <QFont>
#include <QHeaderView>
#include <QSettings>

#include "bridge/JobThreads.h"
#include "bridge/QVUIController.h"
#include "bridge/QVUIDeviceData.h"
#include "ui/toolkit/CheckButtons.h"
#include "ui/toolkit/ImageStore.h"
#include "ui/toolkit/Modal.h"
#include "ui/toolkit/NotificationCenter.h"
#include "ui/toolkit/Strings.h"
#include "ui/toolkit/UiGeometry.h"
#include "ui/windows/QVPublicUtilities.h"

namespace windows {
namespace {

constexpr int kRowIdRole = Qt::UserRole + 1;
int g_retryMs = 1000;
constexpr int kMaxRetries = 30;

QFont lightFont(int pixelSize) {
  QFont font(QStringLiteral("Helvetica Light"));
  font.setPixelSize(pixelSize);
  return font;
}

std::function<std::optional<dev_t>()>& desktopSource() {
  static std::function<std::optional<dev_t>()> source;
  return source;
}

}  // namespace

void QVSelectDiskViewController::setDesktopDeviceSource(std::function<std::optional<dev_t>()> source) {
  desktopSource() = std::move(source);
}

void QVSelectDiskViewController::setRefreshRetryMs(int ms) { g_retryMs = std::max(0, ms); }

QVSelectDiskViewController::QVSelectDiskViewController(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("diskPage"));
  resize(kWidth, kHeight);
  retryTimer_.setSingleShot(true);
  connect(&retryTimer_, &QTimer::timeout, this, [this] { RefreshDevice(); });
  awakeFromNib();
}

QVSelectDiskViewController::~QVSelectDiskViewController() { removeNotification(); }

void QVSelectDiskViewController::awakeFromNib() {
  observeDevices();
  const int h = kHeight;
  middleLabel_ = new QLabel(ui::Strings::text(QStringLiteral("NQT_THREE_MIDDLE_LABEL")), this);
  middleLabel_->setObjectName(QStringLiteral("middleLabel"));
  middleLabel_->setFont(lightFont(18));
  middleLabel_->setGeometry(ui::fromBottomLeft(h, 30, 480, 840, 26));

  model_ = new QStandardItemModel(0, ColumnCount, this);
  model_->setHorizontalHeaderLabels({QString(), ui::Strings::text(QStringLiteral("NQT_THREE_TABLEVIEW_DRIVES")),
                                     ui::Strings::text(QStringLiteral("NQT_THREE_TABLEVIEW_KIND")),
                                     ui::Strings::text(QStringLiteral("NQT_THREE_TABLEVIEW_FILESYSTEM")),
                                     ui::Strings::text(QStringLiteral("NQT_THREE_TABLEVIEW_SIZE"))});
  outlineView_ = new ui::QVCustomOutlineView(this);
  outlineView_->setObjectName(QStringLiteral("outlineView"));
  outlineView_->setModel(model_);
  outlineView_->setGeometry(ui::fromBottomLeft(h, 30, 90, 840, 380));
  outlineView_->setIconSize(QSize(20, 20));
  outlineView_->setFont(lightFont(14));
  QHeaderView* header = outlineView_->header();
  header->setStretchLastSection(true);
  header->setSectionResizeMode(QHeaderView::Fixed);
  const int widths[ColumnCount] = {28, 468, 80, 130, 130};
  for (int c = 0; c < ColumnCount; ++c) outlineView_->setColumnWidth(c, widths[c]);
  outlineView_->setTreePosition(ColName);
  connect(header, &QHeaderView::sectionPressed, this, [this](int) { bClickHead_ = true; });
  connect(outlineView_, &QAbstractItemView::doubleClicked, this,
          [this](const QModelIndex& index) { doubleToScan(outlineView_->rowForIndex(index)); });
  connect(outlineView_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
    const QModelIndexList rows = outlineView_->selectionModel()->selectedRows();
    const int row = rows.isEmpty() ? -1 : outlineView_->rowForIndex(rows.first());
    if (row >= 0) shouldSelectItem(row);
    selectionDidChange();
  });
  connect(outlineView_, &QTreeView::expanded, this, [this] { reloadCellBackgroundColor(); });
  connect(outlineView_, &QTreeView::collapsed, this, [this] { reloadCellBackgroundColor(); });

  backButton_ = new ui::TCImageButton(ui::fromBottomLeft(h, 20, 15, 60, 60), this);
  backButton_->setObjectName(QStringLiteral("diskBackButton"));
  backButton_->setImageFromFileNormalName(QStringLiteral("icon_back_normal"), QStringLiteral("icon_back_press"),
                                          QStringLiteral("icon_back_hover"), QStringLiteral("icon_back_disable"));
  backButton_->setButtonEnabled(true);
  connect(backButton_, &QAbstractButton::clicked, this, [this] {
    if (delegate_ != nullptr) delegate_->backHome();
  });
  scanButton_ = new ui::TCImageButton(ui::fromBottomLeft(h, 742, 25, 138, 41), this);
  scanButton_->setObjectName(QStringLiteral("diskScanButton"));
  scanButton_->setImageFromFileNormalName(QStringLiteral("btn_scan_normal"), QStringLiteral("btn_scan_press"),
                                          QStringLiteral("btn_scan_hover"), QStringLiteral("btn_scan_disable"));
  scanButton_->setButtonEnabled(true);
  connect(scanButton_, &QAbstractButton::clicked, this, [this] { scanButtonAction(); });

  auto* open = new ui::QVHandButton(this);
  open->setObjectName(QStringLiteral("openImageButton"));
  open->setText(ui::Strings::text(QStringLiteral("NQT_THREE_OPEN_IMAGE")));
  open->setFont(lightFont(14));
  open->setGeometry(ui::fromBottomLeft(h, 330, 30, 190, 30));
  connect(open, &QAbstractButton::clicked, this, [this] { openImageAction(); });
  openImageButton_ = open;
}

void QVSelectDiskViewController::observeDevices() {
  if (following_) return;
  following_ = true;
  auto& centre = ui::NotificationCenter::defaultCenter();
  centre.addObserver(this, QStringLiteral("RefreshAttachDevice"), [this](const ui::Notification&) { RefreshDevice(); });
  centre.addObserver(this, QStringLiteral("RefreshDetachDevice"), [this](const ui::Notification&) { RefreshDevice(); });
}

void QVSelectDiskViewController::disableRefreshDevice() {
  following_ = false;
  retryTimer_.stop();
  auto& centre = ui::NotificationCenter::defaultCenter();
  centre.removeObserver(this, QStringLiteral("RefreshAttachDevice"));
  centre.removeObserver(this, QStringLiteral("RefreshDetachDevice"));
}

void QVSelectDiskViewController::removeNotification() {
  following_ = false;
  retryTimer_.stop();
  ui::NotificationCenter::defaultCenter().removeObserver(this);
}

void QVSelectDiskViewController::InitFinished() {
  std::erase_if(allDiskArr_, [](const DiskRow& row) {
    // An opened image stays even without a volume: its whole disk can be scanned.
    return !row || (row->children().empty() && !row->isImage());
  });
  std::erase_if(allDiskArr_, [](const DiskRow& row) { return row && !row->hasName(); });
  for (const DiskRow& disk : allDiskArr_)
    for (const DiskRow& volume : disk->children()) volume->setIsSystemVolume(0);
  desktopVolume_ = FindDesktopVolume(allDiskArr_, desktopSource() ? desktopSource()() : DesktopDevice());
  DiskRow toSelect = desktopVolume_;
  if (desktopVolume_) desktopVolume_->setIsSystemVolume(1);
  if (openedDisk_) {
    // A newly opened image is what the user wants next.
    for (const DiskRow& disk : allDiskArr_)
      if (disk->diskIndex() == *openedDisk_) toSelect = disk->children().empty() ? disk : disk->children().front();
    openedDisk_.reset();
  }
  auto pseudo = std::make_shared<DiskVolumeNodeData>();
  allDiskArr_.insert(allDiskArr_.begin(), pseudo);
  rootArr_.clear();
  reloadData();
  const int r = rowForItem(toSelect);
  selectedRow_ = r;
  selectDiskVolume_ = itemAtRow(r);
  isSelectDesktop_ = 0;
  bClickHead_ = false;
  {
    const QSignalBlocker block(outlineView_->selectionModel());
    outlineView_->selectionModel()->clearSelection();
    if (r >= 0)
      outlineView_->selectionModel()->select(outlineView_->indexAtRow(r),
                                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  }
  outlineView_->setSelectCellBackgroundColorWithRow(r);
  applyRowColours();
  if (selectDiskVolume_) selectDiskVolume_->setParentName(selectDiskVolume_->name());
  if (delegate_ != nullptr) {
    delegate_->changeSelectDiskViewContinueButtonEnabled(selectDiskVolume_);
    oldSelectDiskVolume_ = selectDiskVolume_;
    scanButton_->setButtonEnabled(selectDiskVolume_ != nullptr);
  }
  outlineView_->setFocus();
  emit listShown();
}

void QVSelectDiskViewController::reloadData() {
  model_->removeRows(0, model_->rowCount());
  shown_.clear();
  for (const DiskRow& row : allDiskArr_) appendRow(model_->invisibleRootItem(), row);
  outlineView_->expandAll();
  reloadCellBackgroundColor();
}

void QVSelectDiskViewController::appendRow(QStandardItem* parent, const DiskRow& row) {
  const int id = static_cast<int>(shown_.size());
  shown_.push_back(row);
  QList<QStandardItem*> cells;
  const bool named = row->hasName();
  const bool isDisk = !row->children().empty();
  const QString texts[ColumnCount] = {
      QString(),
      named ? row->name() : QStringLiteral("Desktop"),
      isDisk ? (row->name().contains(QStringLiteral("SSD")) ? QStringLiteral("SSD") : QStringLiteral("HDD"))
             : QStringLiteral(" "),
      named ? QVPublicUtilities::fileSystemTypeForInt(row->fileSystem(), row->isDmg(), 0) : QStringLiteral(" "),
      named ? QVPublicUtilities::longlongDiskSize(row->capacity()) : QStringLiteral(" "),
  };
  for (int c = 0; c < ColumnCount; ++c) {
    auto* cell = new QStandardItem(texts[c]);
    cell->setData(id, kRowIdRole);
    cell->setEditable(false);
    cells << cell;
  }
  parent->appendRow(cells);
  for (const DiskRow& child : row->children()) appendRow(cells.front(), child);
}

void QVSelectDiskViewController::reloadCellBackgroundColor() {
  rootArr_.clear();
  const int rows = outlineView_->numberOfRows();
  for (int i = 0; i < rows; ++i) {
    const DiskRow item = itemAtRow(i);
    if (item && (!item->children().empty() || item->isQdi()) && !rootArr_.contains(QString::number(i)))
      rootArr_ << QString::number(i);
  }
  outlineView_->setIsRootArr(rootArr_);
  // Row numbers move with an expand or collapse: the chosen row keeps its mark.
  selectedRow_ = rowForItem(selectDiskVolume_);
  outlineView_->setSelectCellBackgroundColorWithRow(selectedRow_);
  applyRowColours();
}

void QVSelectDiskViewController::applyRowColours() {
  if (model_ == nullptr || outlineView_ == nullptr) return;
  const int rows = outlineView_->numberOfRows();
  for (int r = 0; r < rows; ++r) {
    const QModelIndex first = outlineView_->indexAtRow(r);
    const QColor text = r == selectedRow_ ? Qt::white : Qt::black;
    for (int c = 0; c < ColumnCount; ++c) {
      QStandardItem* cell = model_->itemFromIndex(first.siblingAtColumn(c));
      if (cell == nullptr) continue;
      cell->setForeground(text);
      if (c == ColName) cell->setIcon(ui::ImageStore::pixmap(nameImage(r)));
      if (c == ColSelect) {
        const QString image = selectImage(r);
        cell->setIcon(image.isEmpty() ? QIcon() : QIcon(ui::ImageStore::pixmap(image)));
      }
    }
  }
  outlineView_->viewport()->update();
}

DiskRow QVSelectDiskViewController::itemAtRow(int row) const {
  const QModelIndex index = outlineView_->indexAtRow(row);
  if (!index.isValid()) return nullptr;
  const int id = index.data(kRowIdRole).toInt();
  return id >= 0 && id < static_cast<int>(shown_.size()) ? shown_[static_cast<std::size_t>(id)] : nullptr;
}

int QVSelectDiskViewController::rowForItem(const DiskRow& item) const {
  if (!item) return -1;
  const int rows = outlineView_->numberOfRows();
  for (int r = 0; r < rows; ++r)
    if (itemAtRow(r) == item) return r;
  return -1;
}

QString QVSelectDiskViewController::cellText(int row, Column column) const {
  const QModelIndex index = outlineView_->indexAtRow(row);
  return index.isValid() ? index.siblingAtColumn(column).data().toString() : QString();
}

QString QVSelectDiskViewController::nameImage(int row) const {
  const DiskRow item = itemAtRow(row);
  if (!item) return {};
  if (item->isSystemVolume()) return QStringLiteral("icon_disk_osx");
  if (item->isDmg() || item->isImage()) return QStringLiteral("icon_mirror");
  if (item->isUSB()) return QStringLiteral("icon_usb");
  return item->hasName() ? QStringLiteral("icon_disk") : QStringLiteral("icon_desktop");
}

QString QVSelectDiskViewController::selectImage(int row) const {
  return row >= 0 && row == selectedRow_ ? QStringLiteral("select_disk") : QString();
}

void QVSelectDiskViewController::shouldSelectItem(int row) {
  const DiskRow item = itemAtRow(row);
  isSelectDesktop_ = row == 0 && desktopVolume_ ? 1 : 0;
  bClickHead_ = false;
  outlineView_->setSelectCellBackgroundColorWithRow(row);
  selectedRow_ = row;
  selectDiskVolume_ = item;
  if (item) {
    const QModelIndex parent = outlineView_->indexAtRow(row).parent();
    const DiskRow parentRow =
        parent.isValid() ? shown_[static_cast<std::size_t>(parent.data(kRowIdRole).toInt())] : nullptr;
    item->setParentName(parentRow ? parentRow->name() : item->name());
  }
}

void QVSelectDiskViewController::selectionDidChange() {
  if (outlineView_->selectionModel()->selectedRows().isEmpty()) {
    selectedRow_ = -1;
    selectDiskVolume_ = nullptr;
    isSelectDesktop_ = 0;
    outlineView_->setSelectCellBackgroundColorWithRow(-1);
  }
  applyRowColours();
  if (delegate_ != nullptr) {
    delegate_->changeSelectDiskViewContinueButtonEnabled(selectDiskVolume_);
    oldSelectDiskVolume_ = selectDiskVolume_;
    scanButton_->setButtonEnabled(selectDiskVolume_ != nullptr);
  }
}

void QVSelectDiskViewController::chooseRow(int row) {
  const QModelIndex index = outlineView_->indexAtRow(row);
  if (!index.isValid()) {
    outlineView_->selectionModel()->clearSelection();
    return;
  }
  outlineView_->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void QVSelectDiskViewController::doubleToScan(int row) {
  if (row < 0 || selectedRow_ == -1 || bClickHead_) return;
  scanButtonAction();
}

void QVSelectDiskViewController::scanButtonAction() {
  if (delegate_ == nullptr) return;
  QSettings settings;
  if (isSelectDesktop_ == 1) {
    delegate_->changeSelectDiskViewContinueButtonEnabled(desktopVolume_);
    oldSelectDiskVolume_ = desktopVolume_;
    settings.setValue(QStringLiteral("isSelectDesktopDisk"), true);
  } else {
    settings.setValue(QStringLiteral("isSelectDesktopDisk"), false);
  }
  settings.sync();
  delegate_->doubleClickedListToScan(isSelectDesktop_);
}

void QVSelectDiskViewController::RefreshDevice() {
  retryTimer_.stop();
  // The bridge stops a running scan for a new enumeration and waits for
  // every job to end (refusing after 30 s): while any job runs, keep the
  // list, show what is there, and try again later.
  const bool busy = QVUIController::IsScanRunning() || QVUIController::IsRecoveryRunning() ||
                    bridge::JobRegistry::instance().Alive() > 0;
  const bool refreshed = !busy && QVUIController::RefreshDeviceInfo();
  if (refreshed) {
    refreshRetries_ = 0;
  } else if (following_ && refreshRetries_ < kMaxRetries) {
    ++refreshRetries_;
    retryTimer_.start(g_retryMs);
  }
  getDiskValue();
}

void QVSelectDiskViewController::getDiskValue() {
  std::list<_DiskVolumeData> rows;
  QVUIController::GetDeviceInfoToArray(rows);
  allDiskArr_ = DiskVolumeNodeData::FromBridge(rows);
  QTimer::singleShot(100, this, [this] { InitFinished(); });
}

bool QVSelectDiskViewController::openImage(const QString& path, QString* error) {
  std::string reason;
  const int disk = QVUIDeviceData::instance()->QVOpenImageFile(QFile::encodeName(path).toStdString(), reason);
  if (disk < 0) {
    if (error != nullptr) *error = QString::fromStdString(reason);
    return false;
  }
  openedDisk_ = disk;
  RefreshDevice();
  return true;
}

void QVSelectDiskViewController::openImageAction() {
  const QString path = ui::Modal().openFile(
      this, ui::Strings::text(QStringLiteral("NQT_THREE_OPEN_IMAGE_TITLE")), QString(),
      QStringLiteral("Disk images (*.img *.dd *.raw *.bin *.iso *.qdi *.dmg *.IMG *.DMG);;All files (*)"));
  if (path.isEmpty()) return;
  QString error;
  if (!openImage(path, &error)) {
    ui::AlertSpec spec;
    spec.parent = window();
    spec.message = ui::Strings::text(QStringLiteral("NQT_THREE_OPEN_IMAGE_FAILED"));
    spec.informative = path + QStringLiteral("\n") + error;
    ui::Modal().alert(spec);
  }
}

}  // namespace windows
