#include "ui/windows/QVRootWindowController.h"

#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <QTimer>

#include "bridge/QVUIController.h"
#include "bridge/QVUIDeviceData.h"
#include "ui/toolkit/Modal.h"
#include "ui/toolkit/NotificationCenter.h"
#include "ui/toolkit/Strings.h"
#include "ui/toolkit/UiGeometry.h"
#include "ui/windows/APFSScanWindowController.h"
#include "ui/windows/DialogWidgets.h"
#include "ui/windows/QVAboutWindowController.h"
#include "ui/windows/QVDeletailWindowController.h"
#include "ui/windows/QVScanStandInWindow.h"

namespace windows {
namespace {

QLabel* makeCaption(QWidget* parent, const QString& name) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  QFont font(QStringLiteral("Helvetica Light"));
  font.setPixelSize(14);
  label->setFont(font);
  label->hide();
  return label;
}

}  // namespace

QVRootWindowController::QVRootWindowController(QWidget* parent) : ui::TCImageWindow(parent, Qt::Window) {
  setObjectName(QStringLiteral("mainWindow"));
  setWindowTitle(ui::Strings::text(QStringLiteral("WINDOW_TOP_TITLE")));
  frame_ = new DialogFrame(this, DialogFrame::Look{kTitleBarHeight, 8, QRect(), 14});
  resize(kWidth, kContentHeight + kTitleBarHeight);
  windowDidLoad();
}

QVRootWindowController::~QVRootWindowController() {
  ui::NotificationCenter::defaultCenter().removeObserver(this);
  delete deletailWC_;
}

void QVRootWindowController::awakeFromNib() { frame_->awakeFromNib(); }

void QVRootWindowController::windowDidLoad() {
  // (A second running copy is refused before any window is made.)
  QVUIController::initFileType();
  observeWindowNotifications();
  selectScanType_ = 1;
  frame_->windowDidLoad();
  setTopButtonMoveUp(5);
  if (!titleLabel_ && titleBarView() != nullptr) {
    titleLabel_ = new QLabel(titleBarView());
    titleLabel_->setObjectName(QStringLiteral("titleLabel"));
    QFont font(QStringLiteral("Helvetica Neue Light"));
    font.setPixelSize(14);
    font.setWeight(QFont::Light);
    titleLabel_->setFont(font);
    titleLabel_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    titleLabel_->setGeometry(ui::fromBottomLeft(kTitleBarHeight, 80, 18, 300, 25));
    titleLabel_->setText(ui::Strings::text(QStringLiteral("WINDOW_TOP_TITLE")));
    titleLabel_->show();
  }
  QWidget* content = makeWhiteContent(this, QStringLiteral("mainContent"));
  pageHost_ = new QWidget(content);
  pageHost_->setObjectName(QStringLiteral("pageHost"));
  pageHost_->setGeometry(0, 0, 2 * kWidth, kContentHeight);
  buildBottomButtons(content);
  buildTileBarView();
  InfoButtonClick();
  ui::TCWindowButton* close = standardWindowButton(ui::TCWindowButton::Close);
  if (close != nullptr) {
    close->disconnect(this);
    connect(close, &QAbstractButton::clicked, this, &QVRootWindowController::closeWindow);
  }
  QVUIController::ReleaseDataRecovery();
}

void QVRootWindowController::buildBottomButtons(QWidget* content) {
  const int h = kContentHeight;
  // The round button images are 60 points square.
  backHomeButton_ = new ui::TCImageButton(ui::fromBottomLeft(h, 30, 12, 60, 60), content);
  backHomeButton_->setObjectName(QStringLiteral("backHomeButton"));
  backHomeButton_->setImageFromFileNormalName(QStringLiteral("back_normal"), QStringLiteral("back_press"),
                                              QStringLiteral("back_hover"), QStringLiteral("back_disable"));
  backHomeButton_->hide();
  connect(backHomeButton_, &QAbstractButton::clicked, this, &QVRootWindowController::backHome);
  backLabel_ = makeCaption(content, QStringLiteral("backLabel"));
  backLabel_->setGeometry(ui::fromBottomLeft(h, 98, 30, 200, 25));
  continueButton_ = new ui::TCImageButton(ui::fromBottomLeft(h, 810, 12, 60, 60), content);
  continueButton_->setObjectName(QStringLiteral("continueButton"));
  continueButton_->setImageFromFileNormalName(QStringLiteral("continue_normal"), QStringLiteral("continue_press"),
                                              QStringLiteral("continue_hover"), QStringLiteral("continue_disable"));
  continueButton_->hide();
  connect(continueButton_, &QAbstractButton::clicked, this, &QVRootWindowController::continueButtonClicked);
  continueLabel_ = makeCaption(content, QStringLiteral("continueLabel"));
  continueLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  continueLabel_->setGeometry(ui::fromBottomLeft(h, 600, 30, 200, 25));
}

void QVRootWindowController::buildTileBarView() {
  setShowsTitle(false);
  if (!aboutButton_ && titleBarView() != nullptr) {
    aboutButton_ = new ui::TCImageButton(ui::fromBottomLeft(kTitleBarHeight, 860, 20, 16, 16), titleBarView());
    aboutButton_->setObjectName(QStringLiteral("aboutButton"));
    aboutButton_->setImageFromFileNormalName(QStringLiteral("icon_infor"), QStringLiteral("icon_infor_hover"),
                                             QStringLiteral("icon_infor_hover"), QStringLiteral("icon_infor"));
    aboutButton_->setToolTip(QStringLiteral("About us"));
    connect(aboutButton_, &QAbstractButton::clicked, this, &QVRootWindowController::aboutAction);
    aboutButton_->show();
  }
  createImportButton();
}

void QVRootWindowController::createImportButton() {
  if (importButton_ || titleBarView() == nullptr) return;
  importButton_ = new ui::TCImageButton(ui::fromBottomLeft(kTitleBarHeight, 828, 20, 16, 16), titleBarView());
  importButton_->setObjectName(QStringLiteral("importButton"));
  importButton_->setImageFromFileNormalName(QStringLiteral("icon_import"), QStringLiteral("icon_import_hover"),
                                            QStringLiteral("icon_import_hover"), QStringLiteral("icon_import"));
  importButton_->setToolTip(ui::Strings::text(QStringLiteral("NQT_TWO_IMPORT_BUTTON")));
  connect(importButton_, &QAbstractButton::clicked, this, &QVRootWindowController::importButtonAction);
  importButton_->show();
}

QWidget* QVRootWindowController::makeCategoryPage(QWidget* host) {
  auto* page = new QVSelectTypeViewController(host);
  page->setDelegate(this);
  return page;
}

QVSelectTypeViewController* QVRootWindowController::selectTypeVC() const {
  return qobject_cast<QVSelectTypeViewController*>(categoryPage_.data());
}

void QVRootWindowController::observeWindowNotifications() {
  auto& centre = ui::NotificationCenter::defaultCenter();
  centre.addObserver(this, QStringLiteral("ChangeWindowTitle"),
                     [this](const ui::Notification&) { changeWindowTitle(); });
  centre.addObserver(this, QStringLiteral("ShowDetailWindow"), [this](const ui::Notification&) { showDetailWindow(); });
}

void QVRootWindowController::InfoButtonClick() {
  setTitleBarHeight(kTitleBarHeight);
  delete categoryPage_;
  categoryPage_ = makeCategoryPage(pageHost_);
  if (categoryPage_) {
    categoryPage_->setGeometry(0, 0, kWidth, kContentHeight);
    categoryPage_->show();
  }
  if (QVSelectTypeViewController* page = selectTypeVC()) {
    page->setSelectAllCount(QVSelectTypeViewController::kNone);
    page->allTypesButtonClick();
    allTypeArr_ = page->selectArr();
  }
  whichPage_ = CategoryPage;
  if (backHomeButton_) backHomeButton_->setIsFocus(false);
}

void QVRootWindowController::changeWindowTitle() {
  if (titleLabel_) titleLabel_->setText(ui::Strings::text(QStringLiteral("WINDOW_TOP_TITLE")));
}

void QVRootWindowController::closeWindow() {
  hide();
  ui::NotificationCenter::defaultCenter().post(QStringLiteral("appWillTerminate"));
}

void QVRootWindowController::aboutAction() { QVAboutWindowController::runAbout(this); }

void QVRootWindowController::importButtonAction() {
  const QString folder = QString::fromStdString(QVUIController::GetSavePath());
  const QString path = ui::Modal().openFile(this, ui::Strings::text(QStringLiteral("LOAD_SCAN_RESULT")), folder,
                                            QStringLiteral("Quarnel scan results (*.Quarnel)"));
  if (path.isEmpty()) return;
  emit importChosen(path);
  loadSavedResult(path);
}

}  // namespace windows

namespace windows {

void QVRootWindowController::showDetailWindow() {
  if (deletailWC_) {
    deletailWC_->show();
    deletailWC_->raise();
  }
}

void QVRootWindowController::nextButtonActionWithAllTypeArr(const QStringList& values) {
  allTypeArr_ = values;
  selectValues_ = 0;
  for (const QString& v : values) selectValues_ |= v.toInt();
  selectTypesContinouButtonClick();
}

void QVRootWindowController::selectTypesContinouButtonClick() {
  if (whichPage_ == CategoryPage) {
    continueButton_->setButtonEnabled(false);
    backHomeButton_->setButtonEnabled(false);
    getDiskData();
    return;
  }
  startScan();
}

void QVRootWindowController::getDiskData() {
  auto& centre = ui::NotificationCenter::defaultCenter();
  centre.removeObserver(this);
  centre.addObserver(this, QStringLiteral("aInitFinished"), [this](const ui::Notification&) { InitFinished(); });
  QVUIController::NotifiyDeviceInfoAfterInit("aInitFinished");
}

int QVRootWindowController::countVolumes(const std::vector<DiskRow>& disks, DiskRow* only) {
  int count = 0;
  DiskRow first;
  for (const DiskRow& disk : disks) {
    if (!disk || disk->children().empty()) continue;
    long long lastCapacity = 0;
    for (const DiskRow& volume : disk->children()) {
      ++count;
      if (!first) first = volume;
      lastCapacity = volume->capacity();
    }
    // One volume that leaves room on its disk: there is more to scan.
    if (count == 1 && lastCapacity < disk->capacity() && disk->capacity() - lastCapacity >= 100000) ++count;
  }
  if (only != nullptr) *only = first;
  return count;
}

bool QVRootWindowController::scanWithoutDiskPage(const std::vector<DiskRow>& disks, DiskRow* only) {
  DiskRow first;
  const bool one = countVolumes(disks, &first) == 1 && first && first->beCanOpen() != 0;
  if (only != nullptr) *only = first;
  return one;
}

void QVRootWindowController::InitFinished() {
  std::list<_DiskVolumeData> rows;
  QVUIController::GetDeviceInfoToArray(rows);
  const std::vector<DiskRow> disks = DiskVolumeNodeData::FromBridge(rows);
  DiskRow first;
  const bool direct = scanWithoutDiskPage(disks, &first);
  backHomeButton_->setImageFromFileNormalName(QStringLiteral("back_normal"), QStringLiteral("back_press"),
                                              QStringLiteral("back_hover"), QStringLiteral("back_disable"));
  backHomeButton_->setButtonEnabled(true);
  backHomeButton_->show();
  backLabel_->setText(ui::Strings::text(QStringLiteral("COMM_BACK_BUTTON")));
  backLabel_->show();
  continueButton_->show();
  continueLabel_->show();
  whichPage_ = DiskPage;
  QVUIController::SetRecoveryType(static_cast<unsigned>(selectValues_));
  if (direct) {
    selectVolumeData_ = first;
    selectTypesContinouButtonClick();
  } else {
    showDiskPage(disks, first);
  }
  ui::NotificationCenter::defaultCenter().removeObserver(this);
  ui::NotificationCenter::defaultCenter().addObserver(this, QStringLiteral("ChangeWindowTitle"),
                                                      [this](const ui::Notification&) { changeWindowTitle(); });
}

void QVRootWindowController::showDiskPage(const std::vector<DiskRow>& disks, const DiskRow& first) {
  delete selectDiskVC_;
  selectDiskVC_ = new QVSelectDiskViewController(pageHost_);
  selectDiskVC_->setDelegate(this);
  // The band below the pages carries back and scan.
  selectDiskVC_->backButton()->hide();
  selectDiskVC_->scanButton()->hide();
  selectDiskVC_->setGeometry(kWidth, 0, kWidth, kContentHeight);
  selectDiskVC_->show();
  continueButton_->setImageFromFileNormalName(QStringLiteral("scan_normal"), QStringLiteral("scan_press"),
                                              QStringLiteral("scan_hover"), QStringLiteral("scan_disable"));
  continueLabel_->setText(ui::Strings::text(QStringLiteral("NQT_THREE_SCAN_BUTTON")));
  // The slide, without animation: the pages jump to their places.
  if (categoryPage_) categoryPage_->move(-kPageSlide, 0);
  selectDiskVC_->move(0, 0);
  continueButton_->setButtonEnabled(false);
  selectDiskVC_->setSelectDiskVolume(first);
  selectDiskVC_->setAllDiskArr(disks);
  selectDiskVC_->InitFinished();
}

void QVRootWindowController::changeSelectDiskViewContinueButtonEnabled(const DiskRow& row) {
  if (row) {
    continueButton_->setButtonEnabled(true);
    selectVolumeData_ = row;
  } else {
    continueButton_->setButtonEnabled(false);
  }
  continueButton_->update();
}

void QVRootWindowController::doubleClickedListToScan(int desktop) {
  selectDesktop_ = desktop;
  selectTypesContinouButtonClick();
}

void QVRootWindowController::continueButtonClicked() {
  // On the disk page the page decides what "Desktop" stands for.
  if (whichPage_ == DiskPage && selectDiskVC_)
    selectDiskVC_->scanButtonAction();
  else
    selectTypesContinouButtonClick();
}

void QVRootWindowController::backHome() {
  if (whichPage_ == DiskPage) {
    if (!(allTypeArr_.contains(QStringLiteral("8")) && isSelectOffice_ != 0)) {
      isSelectOffice_ = 0;
      if (QVSelectTypeViewController* page = selectTypeVC()) page->removeSelectOffice();
    }
    if (selectDiskVC_) {
      selectDiskVC_->disableRefreshDevice();
      selectDiskVC_->move(kPageSlide, 0);
    }
    if (categoryPage_) categoryPage_->move(0, 0);
    whichPage_ = CategoryPage;
    // The category page's own next button goes on from here.
    backHomeButton_->hide();
    backLabel_->hide();
    continueButton_->hide();
    continueLabel_->hide();
    observeWindowNotifications();
    return;
  }
  setTopButtonMoveUp(0);
  setTitleBarHeight(kTitleBarHeight);
  backHomeButton_->hide();
  continueButton_->hide();
  backLabel_->hide();
  continueLabel_->hide();
  if (titleLabel_) titleLabel_->show();
  setShowsTitle(false);
  whichPage_ = NoPage;
}

void QVRootWindowController::startScan() {
  const DiskRow row = selectVolumeData_;
  if (!row || !row->hasName()) return;
  if (row->beCanOpen() == 0) {
    APFSScanWindowController::runNotice(this);
    return;
  }
  if (selectDiskVC_) {
    selectDiskVC_->removeNotification();
    selectDiskVC_->disableRefreshDevice();
  }
  hide();
  delete deletailWC_;
  deletailWC_ = makeResultsWindow(row, selectScanType_, selectDesktop_);
  if (deletailWC_) {
    deletailWC_->move(pos().x(), pos().y() + 50);
    deletailWC_->show();
    deletailWC_->raise();
    deletailWC_->activateWindow();
    followResultsWindow(deletailWC_);
    QPointer<QWidget> window = deletailWC_;
    QTimer::singleShot(300, this, [this, window] {
      if (window && window == deletailWC_) getDataForDeletailPage();
    });
    emit scanWindowOpened(deletailWC_);
  }
  ui::NotificationCenter::defaultCenter().removeObserver(this);
}

void QVRootWindowController::openImageFromMenu() {
  if (whichPage_ == DiskPage && selectDiskVC_) {
    selectDiskVC_->openImageAction();
    return;
  }
  if (whichPage_ != CategoryPage || selectTypeVC() == nullptr || !isVisible()) return;
  const QString path = ui::Modal().openFile(
      this, ui::Strings::text(QStringLiteral("NQT_THREE_OPEN_IMAGE_TITLE")), QString(),
      QStringLiteral("Disk images (*.img *.dd *.raw *.bin *.iso *.qdi *.dmg *.IMG *.DMG);;All files (*)"));
  if (path.isEmpty()) return;
  std::string error;
  if (QVUIDeviceData::instance()->QVOpenImageFile(QFile::encodeName(path).toStdString(), error) < 0) {
    ui::AlertSpec spec;
    spec.parent = this;
    spec.message = ui::Strings::text(QStringLiteral("NQT_THREE_OPEN_IMAGE_FAILED"));
    spec.informative = path + QStringLiteral("\n") + QString::fromStdString(error);
    ui::Modal().alert(spec);
    return;
  }
  // On to the disk page, where the image is listed.
  selectTypeVC()->nextButtonAction();
}

void QVRootWindowController::followResultsWindow(QWidget* window) {
  if (auto* results = qobject_cast<QVDeletailWindowController*>(window))
    connect(results, &QVDeletailWindowController::backHomeRequested, this, &QVRootWindowController::resultsWentHome,
            Qt::UniqueConnection);
}

void QVRootWindowController::resultsWentHome() {
  if (deletailWC_) {
    deletailWC_->hide();
    // It may be the caller: it goes once control is back in the event loop.
    deletailWC_->deleteLater();
    deletailWC_ = nullptr;
  }
  QTimer::singleShot(200, this, [this] { emit homeRequested(); });
}

void QVRootWindowController::getDataForDeletailPage() {
  if (deletailWC_) startResultsScan(deletailWC_);
}

QWidget* QVRootWindowController::makeResultsWindow(const DiskRow& row, int scanType, int desktop) {
  if (!row) return nullptr;
  auto* results = new QVDeletailWindowController;
  results->setSelectDiskVolumeData(row->data());
  results->setScanTypeNum(scanType);
  results->setSelectDesktop(desktop);
  return results;
}

void QVRootWindowController::startResultsScan(QWidget* window) {
  if (auto* results = qobject_cast<QVDeletailWindowController*>(window))
    results->getData();
  else if (auto* standIn = qobject_cast<QVScanStandInWindow*>(window))
    standIn->getData();
}

}  // namespace windows
