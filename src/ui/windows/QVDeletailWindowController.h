#pragma once
// The results window: one scan of a chosen disk or volume runs in it, with
// its progress in the bottom bar; the found files show as trees by folder
// path, by category and by creation and modification date (left), and the
// files of the chosen tree item as a sortable list with check boxes
// (right); the space bar previews the chosen file.
//
//   auto* w = QVDeletailWindowController::openForScan(row, 1);  // 1 quick, 2 deep
//
// The window never calls the engine itself: it asks the bridge
// (QVUIController), which posts "NormalScranValue" on the GUI thread after
// each batch of results and once at the end. The four tree arrays are the
// window's, registered with the bridge while the window lives; the list
// rows are engine nodes owned by the scan result and are dropped before a
// new scan.

#include <QLabel>
#include <QVariantMap>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QThreadPool>
#include <QTimer>

#include <array>
#include <ctime>
#include <memory>

#include "bridge/OpNodeData.h"
#include "bridge/QVResultTrees.h"
#include "bridge/QVUIDeviceData.h"
#include "ui/toolkit/MAAttachedWindow.h"
#include "ui/toolkit/QVProgressView.h"
#include "ui/toolkit/TCImageButton.h"
#include "ui/toolkit/TCImageWindow.h"
#include "ui/windows/CommOutlineView.h"
#include "ui/windows/CoverFlowView.h"
#include "ui/windows/QVDeepScanViewController.h"
#include "ui/windows/FileListModel.h"
#include "ui/windows/QVNSTableView.h"
#include "ui/windows/QVRecoveryFlow.h"
#include "ui/windows/SpacePreviewWindow.h"
#include "ui/windows/ThumbnailGridView.h"

class QButtonGroup;
class QMenu;
class QToolButton;

namespace windows {

class QVDeletailWindowController : public ui::TCImageWindow, public OutlineDelegate {
  Q_OBJECT
 public:
  static constexpr int kWidth = 900;
  static constexpr int kHeight = 620;
  static constexpr int kTitleBarHeight = 36;
  static constexpr int kBottomHeight = 90;
  static constexpr int kTopStripHeight = 34;

  explicit QVDeletailWindowController(QWidget* parent = nullptr);
  ~QVDeletailWindowController() override;

  // Makes, shows and starts the window for one scan of `row` (a disk row
  // with volume -1 for the whole disk, or a volume row): scanTypeNum 1
  // quick, 2 deep; an opened image is always scanned deep. The window
  // deletes itself when closed.
  static QVDeletailWindowController* openForScan(const _DiskVolumeData& row, int scanTypeNum, int desktop = 0,
                                                 QWidget* parent = nullptr);

  // Set by the opener before getData().
  void setSelectDiskVolumeData(const _DiskVolumeData& row) { selectDiskVolumeData_ = row; }
  // The disk row a chosen volume belongs to (its name and device are what
  // a removal names); without it the chosen row stands for itself.
  void setParentRow(const _DiskVolumeData& disk) {
    parentRow_ = disk;
    hasParentRow_ = true;
  }
  const _DiskVolumeData& selectDiskVolumeData() const { return selectDiskVolumeData_; }
  void setScanTypeNum(int kind) { scanTypeNum_ = kind; }
  int scanTypeNum() const { return scanTypeNum_; }
  void setSelectDesktop(int desktop) { selectDesktop_ = desktop; }
  int selectDesktop() const { return selectDesktop_; }

  // Starts the scan of the chosen row; false when the bridge refused it
  // (another job runs, the device is gone).
  bool getData();
  // Shows a saved result whose load the opener has started: no pause,
  // stop, deep scan or save; the trees fill as the load replays.
  void getImportData(const QString& path);
  // The load failed: the window follows nothing more.
  void clearImportData();
  // The save button: the save dialogue (once saved, bSave() is 1).
  void exportButtonAction();
  int isImport() const { return isImport_; }
  int bSave() const { return bSave_; }
  QVRecoveryFlow* recoveryFlow() const { return recoveryFlow_; }
  ui::TCImageButton* exportButton() const { return exportButton_; }
  // Each "NormalScranValue": trees shown again, progress, end of scan.
  void DataInitFinished();
  // Progress and, once the scan has ended, the end-of-scan step.
  void getScanProgress();
  void setFoundAllFiles();
  void selectRootItem();
  // "RefreshDetachDevice": a disk left the system. The record names it by
  // "DevName" (device node or image path) and "USBPath" (display name).
  void RefreshDevice(const QVariantMap& record);

  // Bottom bar.
  void showScanProgree();
  double doShowScanProgree();
  void beginShowFoundCountPoint();
  void showFoundCountPoint();
  void stopShowFoundCountPoint();
  void getFindFilesCountWith(const QString& dots);
  void showRecoveryButton() override;
  void showSelectFilesCountAndSize();
  void pauseButtonClick();
  void stopButtonClick();
  // The delayed steps of a confirmed stop: the engine is asked to stop
  // (keeping what was found), then polled until it has.
  void stopAction();
  void doEndScan();
  // The deep-scan button after a quick scan: the trees are emptied and a
  // deep scan of the same device starts shortly after.
  void deepSrcanButtonAction();
  void doDeepScanAction();
  // Unticks every tree item.
  void clearSelectState();
  // Back home. During a scan the user is asked first and the window goes
  // once the scan has ended; an unsaved result is offered for saving
  // (SaveScanResult: 1 go on, 0 stay). The window leaves at most once: it
  // closes and emits backHomeRequested.
  void backButtonAction();
  int SaveScanResult();
  void doBackHomeAction(int ask);
  // The recent searches also go into "PrivateData" ("SearchHistory").
  void saveSearchHistroy();
  int isBackHome() const { return isBackHome_; }
  int isSelectBackHome() const { return isSelectBackHome_; }
  // The deep-scan suggestion at the end of a quick scan: a popover above
  // the window after the first two quick scans of an installation
  // ("IsFristTime" in "PrivateData"), at most once per window. It goes by
  // itself after popoverCloseDelay ms (8 s; tests shorten it), with its
  // close button, or when a deep scan starts; closing twice is harmless.
  void showPopoverWithViewController(QWidget* view);
  void popupViewHidden();
  void setPopoverCloseDelay(int ms) { popoverCloseDelay_ = ms; }
  ui::MAAttachedWindow* attachedWindow() const { return attachedWindow_; }
  QVDeepScanViewController* deepScanVC() const { return deepScanVC_; }
  int isClodePopView() const { return isClodePopView_; }
  // The close button: while a scan runs the user is asked whether to stop
  // it, and the window goes once it has ended; while a search runs the
  // button is off and a close does nothing.
  void closeWindow();
  int isCloseWindow() const { return isCloseWindow_; }

  // Search by name. doSearch answers whether a search started; blank text
  // never searches and the same text twice in a row does nothing.
  static constexpr int kMaxRecentSearches = 10;
  bool doSearch();
  QString GetSearchText() const;
  void searchClearButtonClick();
  void SearchTreeView(bool ended);
  void reloadTreeView();
  void ClearSelectedFilesInfo();
  void noteRecentSearch();
  void selectClear();
  QMenu* searchMenu();
  const QStringList& recentSearches() const { return recentSearches_; }

  // Trees and views.
  void pathButtonClick();
  void typeButtonClick();
  void timeButtonClick();
  void modifyTimeButtonClick();
  void segmentSelect(int segment);
  void refashDetailPageDataWithRefashSizeAndCount(bool refresh);
  void selectOutlineListWithOpNodeData(const OpNodePtr& item, bool refresh) override;
  void showNoValueNote();
  bool hasPathRoots() const;

  // File list.
  void tableViewDidClickTableColumn(int column);
  void reLoadTableVolumnIndicatorImage() override;
  void nsbuttonCellClick(int row);
  void setAllSelectOrNoSelect();
  int GetCellNodeState(const OpNodePtr& item) const;
  void changeSelectAllButtonState();
  void spacePrviewFile();

  // Thumbnail loaders of the grid and cover flow.
  int selectSegmentCount() const override { return selectSegmentCount_; }
  int gridImageState() const override;
  int nImageState() const override;
  void stopGridImageLoading() override;
  // The grid (view switch 1) over the rows of the list; made when first shown.
  void showGridView();
  ThumbnailGridView* gridMainView() const { return gridMainView_; }
  void stopImageLoading() override;
  // The cover flow (view switch 2) above a table of the same rows; made
  // when first shown.
  void showCoverFlowView();
  CoverFlowView* coverFlowView() const { return coverFlowView_; }
  QVNSTableView* coverFlowerTableView() const { return coverFlowerTableView_; }

  // State, for the opener and the tests.
  int selectTypeCount() const { return selectTypeCount_; }
  int isDeepScan() const { return isDeepScan_; }
  int isPause() const { return isPause_; }
  int isSorted() const { return isSorted_; }
  int sortColumn() const { return aTableColumn_; }
  const OpNodePtr& opDataFile() const { return opDataFile_; }
  const OpNodeArray& allDiskArr() const { return *trees_[0]; }
  const OpNodeArray& allTypeArr() const { return *trees_[1]; }
  const OpNodeArray& allCreatTimeArr() const { return *trees_[2]; }
  const OpNodeArray& allModifyTimeArr() const { return *trees_[3]; }
  CommOutlineView* outline(int kind) const { return outlines_[static_cast<std::size_t>(kind)]; }
  QVNSTableView* tableView() const { return tableView_; }
  FileListModel* fileList() const { return fileModel_; }
  ImageCheckBox* listViewSelectAllButton() const { return listViewSelectAllButton_; }
  QWidget* segment() const { return segment_; }
  QPushButton* pathButton() const { return pathButton_; }
  QPushButton* typeButton() const { return typeButton_; }
  QPushButton* timeButton() const { return timeButton_; }
  QPushButton* creatButton() const { return creatButton_; }
  QPushButton* modifyButton() const { return modifyButton_; }
  QLineEdit* search() const { return search_; }
  ui::QVProgressView* progressView() const { return progressView_; }
  ui::TCImageButton* pauseButton() const { return pauseButton_; }
  ui::TCImageButton* continueScanButton() const { return continueScanButton_; }
  ui::TCImageButton* stopButton() const { return stopButton_; }
  ui::TCImageButton* recovertyButton() const { return recovertyButton_; }
  ui::TCImageButton* advButton() const { return advButton_; }
  ui::TCImageButton* backHomeButton() const { return backHomeButton_; }
  QLabel* selectFilesLabel() const { return selectFilesLabel_; }
  QLabel* findFilesLabel() const { return findFilesLabel_; }
  QLabel* remainTimeLabel() const { return remainTimeLabel_; }
  QLabel* titleLabel() const { return titleLabel_; }
  SpacePreviewWindow* spacePreviewWindow() const { return spacePreviewWindow_; }
  int selectedRow() const { return selectedRow_; }
  int selectedFileCnt() const { return selectedFileCnt_; }
  bool timersRunning() const { return getPorTimer_.isActive(); }
  int isCanClick() const { return isCanClick_; }
  bool stopRequested() const { return stopRequested_; }
  // The end of the scan was shown (bottom bar in its summary mode).
  bool scanEnded() const { return scanEnded_; }

 signals:
  // The recover button was clicked with files ticked.
  void recoveryRequested();
  // The window went back home (it is closed now, and its scan has ended):
  // its opener shows a new main window.
  void backHomeRequested();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void windowDidLoad();
  void buildTopStrip(QWidget* content);
  void buildSplitView(QWidget* content);
  void buildDetailViewWindowTitleBar(QWidget* content);
  void buildTileBarView();
  void layoutContent();
  void layoutBottomBar();
  void setNotification();
  void setCloseButtonEnabled(bool enabled);
  // Recovery and saving: the flow behind the recover button, the save
  // button (made once) and its state at the end of a scan.
  void buildRecoveryAndSave();
  void showExportButtonAtEnd();
  void applyDeepScanLayout();
  void showTab(int kind);
  void chooseTree(int kind);
  void refreshTreeStates();
  void refreshOutlineStates();
  void dropRows();
  void loadRecentSearches();
  void storeRecentSearches();
  void loadPreview(IFileNode* node);
  void buildCoverFlow();
  void refreshThumbnailViews();
  // The list's and the grid's check boxes read the files' states again.
  void checkStatesChanged();
  void releaseThumbnailRows();
  // The thumbnail views let their rows go without waiting; true while a
  // thumbnail of those rows is still being made.
  void dropThumbnailRows();
  bool thumbnailLoadersBusy() const;
  bool namesScannedDevice(const QVariantMap& record) const;
  void offerDeepScan();
  QPointF popoverPoint() const;

  // Job.
  _DiskVolumeData selectDiskVolumeData_;
  _DiskVolumeData parentRow_;
  bool hasParentRow_ = false;
  int scanTypeNum_ = 1;
  int selectDesktop_ = 0;
  int isDeepScan_ = 0;
  int isImport_ = 0;
  int isPause_ = 0;
  int isCanClick_ = 1;
  int isCloseWindow_ = 0;
  int isSelectBackHome_ = 0;
  int isBackHome_ = 0;
  bool stopRequested_ = false;
  bool deepScanPending_ = false;
  bool scanEnded_ = false;
  // Trees (path, type, creation, modification), registered with the bridge.
  std::array<std::unique_ptr<OpNodeArray>, 4> trees_;
  QVTreeNodeArrays registered_;
  int selectTypeCount_ = 0;
  OpNodePtr opDataFile_;
  int isSelectOutlineList_ = 0;
  QString lastSearchStr_;
  QStringList recentSearches_;
  // List.
  int selectedRow_ = -1;
  int tableViewCellNum_ = -1;
  int isSorted_ = 0;
  int aTableColumn_ = -1;
  // Views.
  int selectSegmentCount_ = 0;
  ThumbnailGridView* gridMainView_ = nullptr;
  CoverFlowView* coverFlowView_ = nullptr;
  QSplitter* coverFlower_ = nullptr;
  QVNSTableView* coverFlowerTableView_ = nullptr;
  int selectCellCount_ = -1;
  // Progress.
  std::time_t lastUpdateTime_ = 0;
  qint64 oldData_ = 0;  // ms since the epoch of the last tree refresh; 0 none
  int pointCount_ = 0;
  QTimer getPorTimer_;
  QTimer foundCountTimer_;
  QTimer endScanTimer_;
  int selectedFileCnt_ = 0;

  // Controls.
  QPointer<QLabel> titleLabel_;
  ui::TCImageButton* aboutButton_ = nullptr;
  QWidget* topStrip_ = nullptr;
  QPushButton* pathButton_ = nullptr;
  QPushButton* typeButton_ = nullptr;
  QPushButton* timeButton_ = nullptr;
  QPushButton* creatButton_ = nullptr;
  QPushButton* modifyButton_ = nullptr;
  QWidget* changeTimeBlowView_ = nullptr;
  std::array<QWidget*, 4> blowViews_{};
  QLineEdit* search_ = nullptr;
  QWidget* segment_ = nullptr;
  QButtonGroup* segmentButtons_ = nullptr;
  QSplitter* splistView_ = nullptr;
  QWidget* splistLeftView_ = nullptr;
  std::array<CommOutlineView*, 4> outlines_{};
  QWidget* listTableViewBlowView_ = nullptr;
  QVNSTableView* tableView_ = nullptr;
  FileListModel* fileModel_ = nullptr;
  ImageCheckBox* listViewSelectAllButton_ = nullptr;
  QWidget* blowView_ = nullptr;
  QWidget* abox_ = nullptr;
  ui::QVProgressView* progressView_ = nullptr;
  ui::TCImageButton* backHomeButton_ = nullptr;
  ui::TCImageButton* pauseButton_ = nullptr;
  ui::TCImageButton* continueScanButton_ = nullptr;
  ui::TCImageButton* stopButton_ = nullptr;
  ui::TCImageButton* recovertyButton_ = nullptr;
  ui::TCImageButton* advButton_ = nullptr;
  ui::TCImageButton* exportButton_ = nullptr;
  QVRecoveryFlow* recoveryFlow_ = nullptr;
  int bSave_ = 0;
  QLabel* selectFilesLabel_ = nullptr;
  QLabel* findFilesLabel_ = nullptr;
  QLabel* remainTimeLabel_ = nullptr;
  QPointer<SpacePreviewWindow> spacePreviewWindow_;
  // Preview reads run here, never on the GUI thread.
  QThreadPool previewPool_;
  int previewGeneration_ = 0;
  // The deep-scan popover.
  QPointer<QVDeepScanViewController> deepScanVC_;
  QPointer<ui::MAAttachedWindow> attachedWindow_;
  QPointer<QWidget> popView_;
  bool deepScanPrompted_ = false;
  int isClodePopView_ = 1;
  int popoverCloseDelay_ = 8000;
  QTimer popoverTimer_;
};

}  // namespace windows
