// The results window: recovering the ticked files, saving the result, and
// showing a saved result that the main window loads.

#include <initializer_list>

#include "bridge/QVUIController.h"
#include "ui/toolkit/NotificationCenter.h"
#include "ui/toolkit/Strings.h"
#include "ui/toolkit/UiGeometry.h"
#include "ui/windows/QVDeletailWindowController.h"
#include "ui/windows/QVSaveResultFlow.h"

namespace windows {

void QVDeletailWindowController::buildRecoveryAndSave() {
  recoveryFlow_ = new QVRecoveryFlow(this, recovertyButton_);
  connect(this, &QVDeletailWindowController::recoveryRequested, recoveryFlow_, &QVRecoveryFlow::recoveryButtonClick);
  if (exportButton_ != nullptr || blowView_ == nullptr) return;
  exportButton_ = new ui::TCImageButton(ui::fromBottomLeft(kBottomHeight, 80, 15, 60, 60), blowView_);
  exportButton_->setObjectName(QStringLiteral("exportButton"));
  exportButton_->setImageFromFileNormalName(QStringLiteral("icon_export_normal"), QStringLiteral("icon_export_press"),
                                            QStringLiteral("icon_export_hover"), QStringLiteral("icon_export_disable"));
  exportButton_->setToolTip(ui::Strings::text(QStringLiteral("NQT_FOUR_SAVE_BUTTON_TIP")));
  exportButton_->setEnabled(false);
  exportButton_->show();
  connect(exportButton_, &QAbstractButton::clicked, this, &QVDeletailWindowController::exportButtonAction);
}

void QVDeletailWindowController::showExportButtonAtEnd() {
  if (exportButton_ == nullptr) return;
  // A loaded result is not saved again.
  exportButton_->setVisible(isImport_ == 0);
  exportButton_->setEnabled(isImport_ == 0);
}

void QVDeletailWindowController::exportButtonAction() {
  if (isImport_ != 0 || QVUIController::IsScanRunning()) return;
  if (exportScanResult(this)) bSave_ = 1;
}

void QVDeletailWindowController::getImportData(const QString&) {
  isImport_ = 1;
  scanEnded_ = false;
  recoveryFlow_->setIsImport(true);
  for (QWidget* w : std::initializer_list<QWidget*>{findFilesLabel_, remainTimeLabel_, pauseButton_, stopButton_,
                                                    progressView_, continueScanButton_, exportButton_, advButton_})
    if (w != nullptr) w->hide();
  applyDeepScanLayout();
  backHomeButton_->setEnabled(true);
  QVUIController::RestorPostUIUpdate("NormalScranValue", 0);
  setNotification();
}

void QVDeletailWindowController::clearImportData() { ui::NotificationCenter::defaultCenter().removeObserver(this); }

}  // namespace windows
