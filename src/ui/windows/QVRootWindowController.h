#pragma once
// The main window: the white band with the title, the import and about
// buttons, the back and continue buttons below the pages, and the two
// pages side by side in a content view twice the window's width (category
// page, disk page). It owns the navigation between the pages.

#include <QLabel>
#include <QPointer>
#include <QString>
#include <QWidget>

#include "ui/toolkit/TCImageButton.h"
#include "ui/toolkit/TCImageWindow.h"
#include "ui/windows/DialogFrame.h"
#include "ui/windows/DiskVolumeNodeData.h"
#include "ui/windows/QVSelectDiskViewController.h"
#include "ui/windows/QVSelectTypeViewController.h"

namespace windows {

class QVRootWindowController : public ui::TCImageWindow, public QVSelectTypeDelegate, public QVSelectDiskDelegate {
  Q_OBJECT
 public:
  explicit QVRootWindowController(QWidget* parent = nullptr);
  ~QVRootWindowController() override;

  static constexpr int kWidth = 900;
  static constexpr int kContentHeight = 520;
  static constexpr int kTitleBarHeight = 50;
  static constexpr int kPageSlide = 916;

  // Page numbers of `whichPage`.
  enum Page { NoPage = 1, CategoryPage = 2, DiskPage = 3 };

  void windowDidLoad();
  void awakeFromNib();
  void buildTileBarView();
  void changeWindowTitle();
  // The band's close button: hides the window and posts "appWillTerminate".
  void closeWindow();
  // The about button: the about box, modal.
  void aboutAction();
  // The import button: asks for a saved scan result and loads it.
  void importButtonAction() override;
  // Loads a saved scan result into a new results window behind the
  // progress window; on success the results window takes this window's
  // place, on failure the user is told and this window stays. True on
  // success.
  bool loadSavedResult(const QString& path);
  // A saved result named at start: kept here and loaded by
  // importRsfPath() once the window is shown.
  void SetImportPath(const QString& path) { rsfPath_ = path; }
  void importRsfPath();
  const QString& importFilePath() const { return importFilePath_; }

  // The category page (page 2); replaces an earlier one.
  void InfoButtonClick();
  int whichPage() const { return whichPage_; }

  QLabel* titleLabel() const { return titleLabel_; }
  ui::TCImageButton* importButton() const { return importButton_; }
  ui::TCImageButton* aboutButton() const { return aboutButton_; }
  ui::TCImageButton* backHomeButton() const { return backHomeButton_; }
  ui::TCImageButton* continueButton() const { return continueButton_; }
  QLabel* backLabel() const { return backLabel_; }
  QLabel* continueLabel() const { return continueLabel_; }
  // The content view that holds the pages (twice the window's width).
  QWidget* pageHost() const { return pageHost_; }
  QWidget* categoryPage() const { return categoryPage_; }
  QVSelectTypeViewController* selectTypeVC() const;
  QVSelectDiskViewController* selectDiskVC() const { return selectDiskVC_; }

  // Navigation, from the pages and the buttons below them.
  void nextButtonActionWithAllTypeArr(const QStringList& values) override;
  void selectTypesContinouButtonClick();
  void getDiskData();
  void InitFinished();
  void changeSelectDiskViewContinueButtonEnabled(const DiskRow& row) override;
  void doubleClickedListToScan(int desktop) override;
  void isSelectOffice(int flag) override { isSelectOffice_ = flag; }
  void changeScanTypeWithNum(int type) override { selectScanType_ = type; }
  void backHome() override;
  void getDataForDeletailPage();
  // "Open Disk Image…" of the band's menu: on the disk page its own
  // button; elsewhere the image is opened and the disk page follows.
  void openImageFromMenu();
  void showDetailWindow();
  // The results window went back home: it goes, and a new main window is
  // asked for (homeRequested) shortly after.
  void resultsWentHome();

  int selectValues() const { return selectValues_; }
  const QStringList& allTypeArr() const { return allTypeArr_; }
  int selectDesktop() const { return selectDesktop_; }
  int isSelectOfficeFlag() const { return isSelectOffice_; }
  const DiskRow& selectVolumeData() const { return selectVolumeData_; }
  // The window the last scan opened in (null before the first).
  QWidget* deletailWC() const { return deletailWC_; }

  // The volumes counted for the single-volume shortcut; `only` gets the
  // first volume.
  static int countVolumes(const std::vector<DiskRow>& disks, DiskRow* only);
  // One volume that can be read: its scan starts without the disk page.
  // (One that cannot be read leads to the disk page, where an image can
  // still be opened.)
  static bool scanWithoutDiskPage(const std::vector<DiskRow>& disks, DiskRow* only);
  DialogFrame* frame() const { return frame_; }

 signals:
  // A saved scan result was chosen in the import panel.
  void importChosen(const QString& path);
  // A scan was handed to a new results window.
  void scanWindowOpened(QWidget* window);
  // A saved result was loaded into a new results window.
  void importWindowOpened(QWidget* window);
  // The user went back home from the results window: a new main window
  // takes the place of this one (the application delegate makes it).
  void homeRequested();

 protected:
  // The page shown first: the category page.
  virtual QWidget* makeCategoryPage(QWidget* host);
  // The window a scan opens in, and the start of its scan.
  virtual QWidget* makeResultsWindow(const DiskRow& row, int scanType, int desktop);
  virtual void startResultsScan(QWidget* window);

 private:
  void buildBottomButtons(QWidget* content);
  void createImportButton();
  void startScan();
  void showDiskPage(const std::vector<DiskRow>& disks, const DiskRow& first);
  void continueButtonClicked();
  void observeWindowNotifications();
  void followResultsWindow(QWidget* window);

  DialogFrame* frame_ = nullptr;
  QPointer<QLabel> titleLabel_;
  QPointer<ui::TCImageButton> importButton_;
  QPointer<ui::TCImageButton> aboutButton_;
  QPointer<ui::TCImageButton> backHomeButton_;
  QPointer<ui::TCImageButton> continueButton_;
  QPointer<QLabel> backLabel_;
  QPointer<QLabel> continueLabel_;
  QPointer<QWidget> pageHost_;
  QPointer<QWidget> categoryPage_;
  QString rsfPath_;
  QString importFilePath_;
  QPointer<QVSelectDiskViewController> selectDiskVC_;
  QPointer<QWidget> deletailWC_;
  QStringList allTypeArr_;
  DiskRow selectVolumeData_;
  int whichPage_ = NoPage;
  int selectScanType_ = 1;
  int selectValues_ = 0;
  int selectDesktop_ = 0;
  int isSelectOffice_ = 0;
};

}  // namespace windows
