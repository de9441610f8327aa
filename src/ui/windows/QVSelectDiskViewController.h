#pragma once
// The disk page: an outline of the machine's disks with their volumes,
// headed by the "Desktop" pseudo row (the volume that holds the user's
// desktop folder), an "Open image…" button for raw, QDI and Apple disk
// images, and the back and scan buttons. The list follows disks that come
// and go while the page is shown.

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QStandardItemModel>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

#include "ui/toolkit/QVCustomOutlineView.h"
#include "ui/toolkit/TCImageButton.h"
#include "ui/windows/DiskVolumeNodeData.h"

namespace windows {

// What the page tells its owner (the main window).
class QVSelectDiskDelegate {
 public:
  virtual ~QVSelectDiskDelegate() = default;
  virtual void changeSelectDiskViewContinueButtonEnabled(const DiskRow& row) = 0;
  virtual void doubleClickedListToScan(int desktop) = 0;
  virtual void backHome() = 0;
};

class QVSelectDiskViewController : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kWidth = 900;
  static constexpr int kHeight = 520;
  // Column identifiers, in display order.
  enum Column { ColSelect = 0, ColName, ColSsd, ColFileSystem, ColSize, ColumnCount };

  explicit QVSelectDiskViewController(QWidget* parent = nullptr);
  ~QVSelectDiskViewController() override;

  void setDelegate(QVSelectDiskDelegate* delegate) { delegate_ = delegate; }
  void setAllDiskArr(std::vector<DiskRow> rows) { allDiskArr_ = std::move(rows); }
  const std::vector<DiskRow>& allDiskArr() const { return allDiskArr_; }
  void setSelectDiskVolume(const DiskRow& row) { selectDiskVolume_ = row; }
  const DiskRow& desktopVolume() const { return desktopVolume_; }

  // The list is in allDiskArr: drop disks without volumes, mark the
  // desktop volume, put the pseudo row first, show and select.
  void InitFinished();
  // A disk came or went, or an image was opened: enumerate again (when
  // no job runs) and re-read the list; InitFinished follows 0.1 s later.
  void RefreshDevice();
  void getDiskValue();
  void disableRefreshDevice();
  void removeNotification();

  // Chooses the row shown at `row` (as a click would); -1 empties the choice.
  void chooseRow(int row);
  void scanButtonAction();
  void doubleToScan(int row);
  // The "Open image…" button: asks for an image file and opens it.
  void openImageAction();
  // Opens an image file; false (with the reason) when the bridge refused it.
  bool openImage(const QString& path, QString* error);

  int selectedRow() const { return selectedRow_; }
  int isSelectDesktop() const { return isSelectDesktop_; }
  bool clickedHeader() const { return bClickHead_; }
  const QStringList& rootArr() const { return rootArr_; }
  ui::QVCustomOutlineView* outlineView() const { return outlineView_; }
  QStandardItemModel* model() const { return model_; }
  ui::TCImageButton* scanButton() const { return scanButton_; }
  ui::TCImageButton* backButton() const { return backButton_; }
  QPushButton* openImageButton() const { return openImageButton_; }
  QLabel* middleLabel() const { return middleLabel_; }
  // The row object shown at a row number (null for none).
  DiskRow itemAtRow(int row) const;
  int rowForItem(const DiskRow& item) const;
  // The text of a cell, as shown.
  QString cellText(int row, Column column) const;
  // The image of a row's name cell and of its selection cell ("" none).
  QString nameImage(int row) const;
  QString selectImage(int row) const;

  // Whether an enumeration waits to be tried again (a job was running).
  bool refreshPending() const { return retryTimer_.isActive(); }
  // How long a refused enumeration waits before it is tried again.
  static void setRefreshRetryMs(int ms);
  // Where the desktop folder's device number comes from (null: the
  // user's desktop folder).
  static void setDesktopDeviceSource(std::function<std::optional<dev_t>()> source);

 signals:
  // The list was shown again (after InitFinished).
  void listShown();

 private:
  void awakeFromNib();
  void observeDevices();
  void reloadData();
  void appendRow(QStandardItem* parent, const DiskRow& row);
  void reloadCellBackgroundColor();
  void applyRowColours();
  void shouldSelectItem(int row);
  void selectionDidChange();
  int diskIndexToSelect() const;

  QVSelectDiskDelegate* delegate_ = nullptr;
  std::vector<DiskRow> allDiskArr_;
  std::vector<DiskRow> shown_;  // row objects by model id
  DiskRow desktopVolume_;
  DiskRow selectDiskVolume_;
  DiskRow oldSelectDiskVolume_;
  int selectedRow_ = -1;
  QStringList rootArr_;
  bool bClickHead_ = false;
  int isSelectDesktop_ = 0;
  bool following_ = false;
  std::optional<int> openedDisk_;
  int refreshRetries_ = 0;
  QPointer<ui::QVCustomOutlineView> outlineView_;
  QStandardItemModel* model_ = nullptr;
  QPointer<QLabel> middleLabel_;
  QPointer<ui::TCImageButton> backButton_;
  QPointer<ui::TCImageButton> scanButton_;
  QPointer<QPushButton> openImageButton_;
  QTimer retryTimer_;
};

}  // namespace windows
