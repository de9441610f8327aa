// The results window: construction, the bars, layout and closing.

#include "ui/windows/DialogWidgets.h"
#include "ui/windows/QVDeletailWindowController.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QFont>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMenu>
#include <QScreen>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "bridge/QVUIController.h"
#include "bridge/QVUIScan.h"
#include "core/util/Locks.h"
#include "ui/toolkit/Modal.h"
#include "ui/toolkit/NotificationCenter.h"
#include "ui/toolkit/Strings.h"
#include "ui/toolkit/UiGeometry.h"
#include "ui/windows/QVAboutWindowController.h"

namespace windows {
namespace {

QFont lightFont(const QString& family, int pixels) {
  QFont font(family);
  font.setPixelSize(pixels);
  font.setWeight(QFont::Light);
  return font;
}

QLabel* barLabel(QWidget* parent, const QString& name, const QFont& font) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  label->setFont(font);
  label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  QPalette pal = label->palette();
  pal.setColor(QPalette::WindowText, Qt::black);
  label->setPalette(pal);
  return label;
}

// A caption in white over the free part of a pill-shaped button picture.
void addCaption(ui::TCImageButton* button, const QString& text) {
  auto* caption = new QLabel(text, button);
  caption->setObjectName(button->objectName() + QStringLiteral("Caption"));
  caption->setAttribute(Qt::WA_TransparentForMouseEvents);
  caption->setAlignment(Qt::AlignCenter);
  caption->setFont(lightFont(QStringLiteral("Helvetica Light"), 14));
  caption->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
  caption->setGeometry(36, 0, button->width() - 46, button->height());
}

ui::TCImageButton* imageButton(QWidget* parent, const QString& name, const QString& images, const QString& tip) {
  auto* button = new ui::TCImageButton(parent);
  button->setObjectName(name);
  button->setImageFromFileNormalName(images + QStringLiteral("_normal"), images + QStringLiteral("_press"),
                                     images + QStringLiteral("_hover"), images + QStringLiteral("_disable"));
  if (!tip.isEmpty()) button->setToolTip(tip);
  return button;
}

QPushButton* tabButton(QWidget* parent, const QString& name, const QString& key) {
  auto* button = new QPushButton(ui::Strings::text(key), parent);
  button->setObjectName(name);
  button->setFlat(true);
  button->setCursor(Qt::PointingHandCursor);
  button->setFont(lightFont(QStringLiteral("Helvetica Light"), 13));
  return button;
}

QWidget* underline(QWidget* parent, const QString& name) {
  auto* line = new QWidget(parent);
  line->setObjectName(name);
  line->setAutoFillBackground(true);
  QPalette pal = line->palette();
  pal.setColor(QPalette::Window, QColor(53, 130, 248));
  line->setPalette(pal);
  line->hide();
  return line;
}

}  // namespace

QVDeletailWindowController::QVDeletailWindowController(QWidget* parent) : ui::TCImageWindow(parent, Qt::Window) {
  setObjectName(QStringLiteral("resultsWindow"));
  setWindowTitle(ui::Strings::text(QStringLiteral("WINDOW_TOP_TITLE")));
  for (auto& tree : trees_) tree = std::make_unique<OpNodeArray>();
  previewPool_.setMaxThreadCount(1);
  resize(kWidth, kHeight);
  setMinimumSize(kWidth, 560);
  setResizable(true);
  windowDidLoad();
  buildRecoveryAndSave();
  auto& centre = ui::NotificationCenter::defaultCenter();
  centre.addObserver(this, QStringLiteral("SpacePreviewFile"), [this](const ui::Notification&) { spacePrviewFile(); });
  centre.addObserver(this, QStringLiteral("RefreshDetachDevice"), [this](const ui::Notification& n) {
    QVariantMap record = n.object.toMap();
    for (auto it = n.userInfo.begin(); it != n.userInfo.end(); ++it) record.insert(it.key(), it.value());
    RefreshDevice(record);
  });
}

QVDeletailWindowController::~QVDeletailWindowController() {
  ui::NotificationCenter::defaultCenter().removeObserver(this);
  getPorTimer_.stop();
  foundCountTimer_.stop();
  endScanTimer_.stop();
  ++previewGeneration_;
  previewPool_.waitForDone();
  delete spacePreviewWindow_;
  dropRows();
  // The bridge stops filling these arrays (unless another window took over).
  bool mine = false;
  {
    autolocker<mutex_locker> hold(QVTreeLocker());
    mine = bridge::RegisteredTreesLocked().path == trees_[0].get();
  }
  if (mine) {
    QVTreeNodeArrays none;
    QVUIController::QVSetTreeNodeData(&none);
  }
}

QVDeletailWindowController* QVDeletailWindowController::openForScan(const _DiskVolumeData& row, int scanTypeNum,
                                                                    int desktop, QWidget* parent) {
  auto* window = new QVDeletailWindowController(parent);
  window->setAttribute(Qt::WA_DeleteOnClose, true);
  window->setSelectDiskVolumeData(row);
  window->setScanTypeNum(scanTypeNum);
  window->setSelectDesktop(desktop);
  if (QScreen* screen = QGuiApplication::primaryScreen())
    window->move(screen->availableGeometry().center() - window->rect().center());
  window->show();
  window->getData();
  return window;
}

void QVDeletailWindowController::windowDidLoad() {
  setTitleBarHeight(kTitleBarHeight);
  setTrafficLightButtonsLeftMargin(8);
  setTopButtonMoveUp(0);
  setShowsTitle(false);
  if (!titleLabel_ && titleBarView() != nullptr) {
    titleLabel_ = new QLabel(titleBarView());
    titleLabel_->setObjectName(QStringLiteral("titleLabel"));
    titleLabel_->setFont(lightFont(QStringLiteral("Helvetica Neue Light"), 14));
    titleLabel_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    titleLabel_->setGeometry(ui::fromBottomLeft(kTitleBarHeight, 80, 7, 300, 25));
    titleLabel_->setText(ui::Strings::text(QStringLiteral("WINDOW_TOP_TITLE")));
    titleLabel_->show();
  }
  ui::TCWindowButton* close = standardWindowButton(ui::TCWindowButton::Close);
  if (close != nullptr) {
    close->disconnect(this);
    connect(close, &QAbstractButton::clicked, this, &QVDeletailWindowController::closeWindow);
  }
  QWidget* content = makeWhiteContent(this, QStringLiteral("resultsContent"));
  buildTopStrip(content);
  buildSplitView(content);
  buildDetailViewWindowTitleBar(content);
  // The trees the bridge fills from now on.
  registered_ = QVTreeNodeArrays{trees_[0].get(), trees_[1].get(), trees_[2].get(), trees_[3].get()};
  QVUIController::QVSetTreeNodeData(&registered_);
  isDeepScan_ = QVUIController::IsDeepScan() ? 1 : 0;
  segment_->setEnabled(isDeepScan_ == 0);
  if (selectDesktop_ == 1) {
    pathButton_->setEnabled(false);
    typeButton_->setEnabled(false);
    timeButton_->setEnabled(false);
    search_->hide();
  }
  connect(&getPorTimer_, &QTimer::timeout, this, &QVDeletailWindowController::showScanProgree);
  connect(&foundCountTimer_, &QTimer::timeout, this, &QVDeletailWindowController::showFoundCountPoint);
  getPorTimer_.setInterval(1500);
  foundCountTimer_.setInterval(1000);
  connect(&endScanTimer_, &QTimer::timeout, this, &QVDeletailWindowController::doEndScan);
  endScanTimer_.setInterval(1500);
  popoverTimer_.setSingleShot(true);
  connect(&popoverTimer_, &QTimer::timeout, this, &QVDeletailWindowController::popupViewHidden);
  loadRecentSearches();
  showTab(0);
  layoutContent();
}

void QVDeletailWindowController::buildTopStrip(QWidget* content) {
  topStrip_ = new QWidget(content);
  topStrip_->setObjectName(QStringLiteral("topStrip"));
  pathButton_ = tabButton(topStrip_, QStringLiteral("pathButton"), QStringLiteral("NQT_FOUR_SELECT_TYPE_BUTTON_PATH"));
  typeButton_ = tabButton(topStrip_, QStringLiteral("typeButton"), QStringLiteral("NQT_FOUR_SELECT_TYPE_BUTTON_TYPE"));
  timeButton_ = tabButton(topStrip_, QStringLiteral("timeButton"), QStringLiteral("NQT_FOUR_SELECT_TYPE_BUTTON_TIME"));
  connect(pathButton_, &QPushButton::clicked, this, &QVDeletailWindowController::pathButtonClick);
  connect(typeButton_, &QPushButton::clicked, this, &QVDeletailWindowController::typeButtonClick);
  connect(timeButton_, &QPushButton::clicked, this, &QVDeletailWindowController::timeButtonClick);
  blowViews_[0] = underline(topStrip_, QStringLiteral("pathBlowView"));
  blowViews_[1] = underline(topStrip_, QStringLiteral("typeBlowView"));
  search_ = new QLineEdit(topStrip_);
  search_->setObjectName(QStringLiteral("search"));
  search_->setPlaceholderText(ui::Strings::text(QStringLiteral("SEARCH_MENU")));
  search_->setClearButtonEnabled(true);
  search_->setEnabled(false);
  // As the user types, the files are searched; a confirmed text is kept
  // among the recent searches.
  connect(search_, &QLineEdit::textChanged, this, [this] { doSearch(); });
  connect(search_, &QLineEdit::returnPressed, this, &QVDeletailWindowController::noteRecentSearch);
  QAction* recents =
      search_->addAction(style()->standardIcon(QStyle::SP_FileDialogContentsView), QLineEdit::LeadingPosition);
  connect(recents, &QAction::triggered, this,
          [this] { searchMenu()->popup(search_->mapToGlobal(QPoint(0, search_->height()))); });
  segment_ = new QWidget(topStrip_);
  segment_->setObjectName(QStringLiteral("segment"));
  segmentButtons_ = new QButtonGroup(segment_);
  segmentButtons_->setExclusive(true);
  auto* row = new QHBoxLayout(segment_);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  const QStringList names = {QStringLiteral("List"), QStringLiteral("Grid"), QStringLiteral("Flow")};
  for (int i = 0; i < names.size(); ++i) {
    auto* button = new QToolButton(segment_);
    button->setObjectName(QStringLiteral("segment%1").arg(i));
    button->setText(names[i]);
    button->setToolTip(names[i]);
    button->setCheckable(true);
    button->setAutoRaise(true);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    button->setFont(lightFont(QStringLiteral("Helvetica Light"), 11));
    segmentButtons_->addButton(button, i);
    row->addWidget(button);
  }
  segmentButtons_->button(0)->setChecked(true);
  connect(segmentButtons_, &QButtonGroup::idClicked, this, &QVDeletailWindowController::segmentSelect);
}

void QVDeletailWindowController::buildSplitView(QWidget* content) {
  splistView_ = new QSplitter(Qt::Horizontal, content);
  splistView_->setObjectName(QStringLiteral("splistView"));
  splistView_->setChildrenCollapsible(false);
  splistView_->setHandleWidth(1);
  splistLeftView_ = new QWidget;
  splistLeftView_->setObjectName(QStringLiteral("splistLeftView"));
  splistLeftView_->setMinimumWidth(224);
  splistLeftView_->setMaximumWidth(400);
  auto* left = new QVBoxLayout(splistLeftView_);
  left->setContentsMargins(0, 0, 0, 0);
  left->setSpacing(0);
  changeTimeBlowView_ = new QWidget(splistLeftView_);
  changeTimeBlowView_->setObjectName(QStringLiteral("changeTimeBlowView"));
  changeTimeBlowView_->setFixedHeight(28);
  auto* dates = new QHBoxLayout(changeTimeBlowView_);
  dates->setContentsMargins(8, 2, 8, 2);
  creatButton_ =
      tabButton(changeTimeBlowView_, QStringLiteral("creatButton"), QStringLiteral("NQT_FOUR_TABLEVIEW_CREATED"));
  modifyButton_ =
      tabButton(changeTimeBlowView_, QStringLiteral("modifyButton"), QStringLiteral("MODIFY_TIME_ROOT_NAME"));
  dates->addWidget(creatButton_);
  dates->addWidget(modifyButton_);
  connect(creatButton_, &QPushButton::clicked, this, &QVDeletailWindowController::timeButtonClick);
  connect(modifyButton_, &QPushButton::clicked, this, &QVDeletailWindowController::modifyTimeButtonClick);
  blowViews_[2] = underline(changeTimeBlowView_, QStringLiteral("createTimeBlowView"));
  blowViews_[3] = underline(changeTimeBlowView_, QStringLiteral("modifyTimeBlowView"));
  left->addWidget(changeTimeBlowView_);
  const QStringList names = {QStringLiteral("pathOutlineView"), QStringLiteral("typeOutlineView"),
                             QStringLiteral("createTimeOutlineView"), QStringLiteral("modifyTimeOutlineView")};
  for (std::size_t i = 0; i < outlines_.size(); ++i) {
    outlines_[i] = new CommOutlineView(splistLeftView_);
    outlines_[i]->setObjectName(names[static_cast<int>(i)]);
    outlines_[i]->setMDelegate(this);
    left->addWidget(outlines_[i]);
  }
  listTableViewBlowView_ = new QWidget;
  listTableViewBlowView_->setObjectName(QStringLiteral("listTableViewBlowView"));
  auto* right = new QVBoxLayout(listTableViewBlowView_);
  right->setContentsMargins(0, 0, 0, 0);
  tableView_ = new QVNSTableView(listTableViewBlowView_);
  tableView_->setObjectName(QStringLiteral("tableView"));
  fileModel_ = new FileListModel(tableView_);
  fileModel_->setHeaderText(FileListModel::Name, ui::Strings::text(QStringLiteral("NQT_FOUR_TABLEVIEW_NAME")));
  fileModel_->setHeaderText(FileListModel::Size, ui::Strings::text(QStringLiteral("NQT_FOUR_TABLEVIEW_SIZE")));
  fileModel_->setHeaderText(FileListModel::Path, ui::Strings::text(QStringLiteral("NQT_FOUR_TABLEVIEW_PATH")));
  fileModel_->setHeaderText(FileListModel::Created, ui::Strings::text(QStringLiteral("NQT_FOUR_TABLEVIEW_CREATED")));
  tableView_->setModel(fileModel_);
  QHeaderView* header = tableView_->horizontalHeader();
  header->setSectionResizeMode(FileListModel::CheckBox, QHeaderView::Fixed);
  header->resizeSection(FileListModel::CheckBox, 24);
  header->resizeSection(FileListModel::Name, 220);
  header->resizeSection(FileListModel::Size, 90);
  header->resizeSection(FileListModel::Path, 180);
  header->setStretchLastSection(true);
  header->setSortIndicatorShown(false);
  connect(header, &QHeaderView::sectionClicked, this, &QVDeletailWindowController::tableViewDidClickTableColumn);
  connect(tableView_, &QVNSTableView::checkBoxClicked, this, &QVDeletailWindowController::nsbuttonCellClick);
  connect(tableView_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) {
            tableViewCellNum_ = current.isValid() ? current.row() : -1;
            if (selectSegmentCount_ == 0) selectedRow_ = tableViewCellNum_;
          });
  listViewSelectAllButton_ = new ImageCheckBox(header->viewport());
  listViewSelectAllButton_->setObjectName(QStringLiteral("listViewSelectAllButton"));
  listViewSelectAllButton_->setGeometry(5, 3, 14, 14);
  connect(listViewSelectAllButton_, &QAbstractButton::clicked, this,
          &QVDeletailWindowController::setAllSelectOrNoSelect);
  right->addWidget(tableView_);
  splistView_->addWidget(splistLeftView_);
  splistView_->addWidget(listTableViewBlowView_);
  splistView_->setStretchFactor(0, 0);
  splistView_->setStretchFactor(1, 1);
  splistView_->setSizes({224, kWidth - 224});
}

void QVDeletailWindowController::buildDetailViewWindowTitleBar(QWidget* content) {
  blowView_ = new QWidget(content);
  blowView_->setObjectName(QStringLiteral("blowView"));
  blowView_->setAutoFillBackground(true);
  QPalette pal = blowView_->palette();
  pal.setColor(QPalette::Window, QColor(246, 247, 249));
  blowView_->setPalette(pal);
  backHomeButton_ = imageButton(blowView_, QStringLiteral("backHomeButton"), QStringLiteral("icon_home"),
                                QStringLiteral("Back home"));
  backHomeButton_->setEnabled(false);
  connect(backHomeButton_, &QAbstractButton::clicked, this, &QVDeletailWindowController::backButtonAction);
  progressView_ = new ui::QVProgressView(blowView_);
  progressView_->setObjectName(QStringLiteral("progressView"));
  progressView_->changeProgressValue(0);
  abox_ = new QWidget(blowView_);
  abox_->setObjectName(QStringLiteral("abox"));
  pauseButton_ = imageButton(abox_, QStringLiteral("pauseButton"), QStringLiteral("pause"), QStringLiteral("Pause"));
  pauseButton_->setEnabled(false);
  pauseButton_->setScalesImageToFrame(true);
  connect(pauseButton_, &QAbstractButton::clicked, this, &QVDeletailWindowController::pauseButtonClick);
  continueScanButton_ =
      imageButton(abox_, QStringLiteral("continueScanButton"), QStringLiteral("play"), QStringLiteral("Continue"));
  continueScanButton_->setScalesImageToFrame(true);
  continueScanButton_->hide();
  connect(continueScanButton_, &QAbstractButton::clicked, this, &QVDeletailWindowController::pauseButtonClick);
  stopButton_ = imageButton(abox_, QStringLiteral("stopButton"), QStringLiteral("stop"), QStringLiteral("Stop"));
  stopButton_->setEnabled(false);
  stopButton_->setScalesImageToFrame(true);
  connect(stopButton_, &QAbstractButton::clicked, this, &QVDeletailWindowController::stopButtonClick);
  selectFilesLabel_ =
      barLabel(abox_, QStringLiteral("selectFilesLabel"), lightFont(QStringLiteral("Helvetica Neue Thin"), 16));
  selectFilesLabel_->setText(
      QStringLiteral("You have selected %1 in %2 file(s).").arg(QStringLiteral("0 byte")).arg(0));
  selectFilesLabel_->hide();
  recovertyButton_ = imageButton(abox_, QStringLiteral("recovertyButton"), QStringLiteral("btn_recover"), QString());
  recovertyButton_->setEnabled(false);
  recovertyButton_->resize(138, 41);
  addCaption(recovertyButton_, ui::Strings::text(QStringLiteral("NQT_FOUR_RECOVERY_WINDOW_SAVE_BUTTON")));
  connect(recovertyButton_, &QAbstractButton::clicked, this, [this] {
    if (selectedFileCnt_ > 0) emit recoveryRequested();
  });
  advButton_ = imageButton(abox_, QStringLiteral("advButton"), QStringLiteral("btn_ds"), QStringLiteral("deep scan"));
  advButton_->setEnabled(false);
  advButton_->resize(166, 41);
  addCaption(advButton_, QStringLiteral("Deep Scan"));
  connect(advButton_, &QAbstractButton::clicked, this, &QVDeletailWindowController::deepSrcanButtonAction);
  findFilesLabel_ = barLabel(abox_, QStringLiteral("findFilesLabel"), lightFont(QStringLiteral("Helvetica Light"), 13));
  remainTimeLabel_ =
      barLabel(abox_, QStringLiteral("remainTimeLabel"), lightFont(QStringLiteral("Helvetica Light"), 13));
  findFilesLabel_->setText(QStringLiteral("Please wait..."));
  remainTimeLabel_->setText(QStringLiteral("Prepare to scan your drive"));
  buildTileBarView();
}

void QVDeletailWindowController::buildTileBarView() {
  if (aboutButton_ != nullptr || titleBarView() == nullptr) return;
  aboutButton_ = new ui::TCImageButton(ui::fromBottomLeft(kTitleBarHeight, 860, 10, 16, 16), titleBarView());
  aboutButton_->setObjectName(QStringLiteral("aboutButton"));
  aboutButton_->setImageFromFileNormalName(QStringLiteral("icon_infor"), QStringLiteral("icon_infor_hover"),
                                           QStringLiteral("icon_infor_hover"), QStringLiteral("icon_infor"));
  aboutButton_->setToolTip(QStringLiteral("About us"));
  connect(aboutButton_, &QAbstractButton::clicked, this, [this] { QVAboutWindowController::runAbout(this); });
  aboutButton_->show();
}

void QVDeletailWindowController::layoutContent() {
  QWidget* content = contentView();
  if (content == nullptr || blowView_ == nullptr) return;
  const int w = content->width();
  const int h = content->height();
  topStrip_->setGeometry(0, 0, w, kTopStripHeight);
  const int tabW = 74;
  pathButton_->setGeometry(0, 2, tabW, kTopStripHeight - 4);
  typeButton_->setGeometry(tabW, 2, tabW, kTopStripHeight - 4);
  timeButton_->setGeometry(2 * tabW, 2, tabW, kTopStripHeight - 4);
  blowViews_[0]->setGeometry(8, kTopStripHeight - 3, tabW - 16, 2);
  blowViews_[1]->setGeometry(tabW + 8, kTopStripHeight - 3, tabW - 16, 2);
  segment_->setGeometry(w - 125, 5, 104, 25);
  search_->setGeometry(w - 125 - 12 - 200, 5, 200, 25);
  splistView_->setGeometry(0, kTopStripHeight, w, std::max(0, h - kTopStripHeight - kBottomHeight));
  blowView_->setGeometry(0, h - kBottomHeight, w, kBottomHeight);
  const QRect c = creatButton_->geometry();
  const QRect m = modifyButton_->geometry();
  blowViews_[2]->setGeometry(c.x() + 8, 25, std::max(0, c.width() - 16), 2);
  blowViews_[3]->setGeometry(m.x() + 8, 25, std::max(0, m.width() - 16), 2);
  layoutBottomBar();
}

// The bar's frames are given from its bottom left, for a bar 900 wide; the
// box on the right keeps its buttons at the right edge as the window grows.
void QVDeletailWindowController::layoutBottomBar() {
  const int w = blowView_->width();
  const int h = kBottomHeight;
  backHomeButton_->setGeometry(ui::fromBottomLeft(h, 20, 15, 60, 60));
  progressView_->setGeometry(ui::fromBottomLeft(h, 0, 86, w, 4));
  const int boxW = std::max(720, w - 180);
  abox_->setGeometry(ui::fromBottomLeft(h, 175, 0, boxW, 90));
  const int shift = boxW - 720;
  const bool deep = isDeepScan_ == 1 || isImport_ == 1;
  pauseButton_->setGeometry(ui::fromBottomLeft(h, (deep ? 497 : 322) + shift, 32, 18, 18));
  continueScanButton_->setGeometry(pauseButton_->geometry());
  stopButton_->setGeometry(ui::fromBottomLeft(h, (deep ? 527 : 352) + shift, 32, 18, 18));
  recovertyButton_->setGeometry(ui::fromBottomLeft(h, (deep ? 562 : 386) + shift, 22, 138, 41));
  advButton_->setGeometry(ui::fromBottomLeft(h, 534 + shift, 22, 166, 41));
  // As wide as the room left of the recover button (the fonts here run wider).
  selectFilesLabel_->setGeometry(ui::fromBottomLeft(h, 0, 32, (deep ? 556 : 380) + shift, 22));
  findFilesLabel_->setGeometry(ui::fromBottomLeft(h, 0, 43, 300 + shift, 17));
  remainTimeLabel_->setGeometry(ui::fromBottomLeft(h, 0, 23, 300 + shift, 17));
}

void QVDeletailWindowController::applyDeepScanLayout() {
  advButton_->hide();
  layoutBottomBar();
}

void QVDeletailWindowController::resizeEvent(QResizeEvent* event) {
  ui::TCImageWindow::resizeEvent(event);
  layoutContent();
  if (progressView_ != nullptr) {
    double percent = 0;
    std::uint64_t files = 0;
    QVUIController::GetScanProgress(percent, files);
    progressView_->changeProgressValue(static_cast<float>(std::max(percent, 1.0)));
  }
  if (tableView_ != nullptr) tableView_->changeFrame();
  // The popover keeps its place in the window.
  if (attachedWindow_ && !attachedWindow_->isHidden()) attachedWindow_->setPoint(popoverPoint(), 11);
}

void QVDeletailWindowController::setCloseButtonEnabled(bool enabled) {
  if (ui::TCWindowButton* close = standardWindowButton(ui::TCWindowButton::Close)) close->setEnabled(enabled);
}

void QVDeletailWindowController::closeWindow() {
  if (isCloseWindow_ == 1 || isBackHome_ == 1) return;
  // A search rebuilds this window's trees until its end is handled.
  if (QVUIController::QVGetIsSearching() != 0) return;
  if (!QVUIController::IsScanRunning()) {
    // A deep scan about to start no longer does.
    deepScanPending_ = false;
    hide();
    ui::NotificationCenter::defaultCenter().post(QStringLiteral("appWillTerminate"));
    close();
    return;
  }
  // A stop already on its way (asked for, or going home): the window just
  // goes when the scan has ended.
  const bool stopping = stopRequested_ || isSelectBackHome_ == 1;
  if (!stopping && !QVUIController::IsPause()) QVUIController::PauseOrResumeScan();
  ui::AlertSpec spec;
  spec.parent = this;
  spec.message = ui::Strings::text(QStringLiteral("NQT_FOUR_SCAN_STOP_TITLE"));
  spec.informative = ui::Strings::text(QStringLiteral("NQT_FOUR_SCAN_STOP_NODE"));
  spec.defaultButton = ui::Strings::text(QStringLiteral("NQT_FOUR_SCAN_STOP_YES_BUTTON"));
  spec.alternateButton = ui::Strings::text(QStringLiteral("NQT_FOUR_SCAN_STOP_NO_BUTTON"));
  if (stopping || ui::Modal().alert(spec) != 0) {
    QVUIController::StopScan(1);
    isCanClick_ = 0;
    isCloseWindow_ = 1;
    isPause_ = 0;
    getScanProgress();
    backHomeButton_->setEnabled(false);
    pauseButton_->setEnabled(false);
    stopButton_->setEnabled(false);
    continueScanButton_->setEnabled(false);
    return;
  }
  if (isPause_ == 0 && QVUIController::IsPause()) QVUIController::PauseOrResumeScan();
  isCanClick_ = 1;
}

void QVDeletailWindowController::closeEvent(QCloseEvent* event) {
  // A close from the window system goes through the same question while a
  // scan runs, and waits for a search. The window stays while its scan
  // ends (also once a stop was asked for): the end of the scan reads it.
  const bool stopping = isCloseWindow_ == 1 && !scanEnded_;
  if (isBackHome_ == 0 && (stopping || QVUIController::IsScanRunning() || QVUIController::QVGetIsSearching() != 0)) {
    event->ignore();
    closeWindow();
    return;
  }
  deepScanPending_ = false;
  ui::TCImageWindow::closeEvent(event);
}

}  // namespace windows
