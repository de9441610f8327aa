#pragma once
// A plain window that runs the scan chosen on the main window and shows
// its progress and the number of files found, for use until the results
// window takes its place.

#include <QLabel>
#include <QPointer>
#include <QTimer>

#include "ui/toolkit/TCImageWindow.h"
#include "ui/windows/DiskVolumeNodeData.h"

namespace windows {

class QVScanStandInWindow : public ui::TCImageWindow {
  Q_OBJECT
 public:
  // scanType 1 quick, 2 deep.
  QVScanStandInWindow(const DiskRow& row, int scanType, QWidget* parent = nullptr);
  ~QVScanStandInWindow() override;

  // Starts the scan; false when the bridge refused it.
  bool getData();
  bool started() const { return started_; }
  bool finished() const { return finished_; }

 private:
  void refresh();

  DiskRow row_;
  int scanType_;
  bool started_ = false;
  bool finished_ = false;
  QPointer<QLabel> status_;
  QTimer poll_;
};

}  // namespace windows
