// The main window's loading of a saved scan result: from the import button
// or from a file named at start.

#include <QFile>

#include "bridge/QVUIController.h"
#include "bridge/SaveRestoreResult.h"
#include "ui/toolkit/Modal.h"
#include "ui/toolkit/NotificationCenter.h"
#include "ui/windows/QVDeletailWindowController.h"
#include "ui/windows/QVProgressWindow.h"
#include "ui/windows/QVRootWindowController.h"

namespace windows {

void QVRootWindowController::importRsfPath() {
  if (rsfPath_.isEmpty()) return;
  const QString path = rsfPath_;
  rsfPath_.clear();
  loadSavedResult(path);
}

bool QVRootWindowController::loadSavedResult(const QString& path) {
  if (path.isEmpty()) return false;
  QVUIController::SetRecoveryType(127);
  importFilePath_ = path;
  delete deletailWC_;
  auto* results = new QVDeletailWindowController;
  results->move(pos().x(), pos().y() + 50);
  results->hide();
  deletailWC_ = results;
  auto& centre = ui::NotificationCenter::defaultCenter();
  if (whichPage_ == DiskPage)
    centre.addObserver(this, QStringLiteral("ShowDetailWindow"),
                       [this](const ui::Notification&) { showDetailWindow(); });

  QVProgressWindow progress;
  progress.setStrPostName(QStringLiteral("NormalScranValue"));
  progress.setBSave(false);
  progress.start();
  if (isVisible()) progress.move(frameGeometry().center() - progress.rect().center());
  if (selectDiskVC_) selectDiskVC_->disableRefreshDevice();
  const int started = QVUIController::beginSaveOrRestoreNode(0, QFile::encodeName(path).toStdString(), "");
  results->getImportData(path);
  if (started != 0)
    progress.failedToStart(started == -3 ? QStringLiteral("Another job is still running.")
                                         : QString::fromStdString(SaveRestoreResult::GetLastError(0)));
  ui::Modal().runModal(&progress);
  activateWindow();
  centre.removeObserver(this);
  observeWindowNotifications();

  if (deletailWC_ != results) return false;
  if (!progress.getResult()) {
    results->clearImportData();
    deletailWC_ = nullptr;
    results->hide();
    delete results;
    return false;
  }
  if (selectDiskVC_) selectDiskVC_->hide();
  hide();
  followResultsWindow(results);
  results->show();
  results->raise();
  results->activateWindow();
  emit importWindowOpened(results);
  return true;
}

}  // namespace windows
