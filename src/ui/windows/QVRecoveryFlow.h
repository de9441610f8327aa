#pragma once
// The recovery as the results window runs it: the recover button asks for
// a destination folder, checks it (write access, not on the scanned
// device, enough free space), asks the bridge to recover the ticked files,
// follows the bridge's "DoRecovery" posts with the progress window, and
// ends with the finished or the stopped window.
//
//   auto* flow = new QVRecoveryFlow(resultsWindow, recoverButton);
//   connect(resultsWindow, &...::recoveryRequested, flow, &QVRecoveryFlow::recoveryButtonClick);

#include <QAbstractButton>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <cstdint>

#include "ui/windows/QVScanEndSaveWindows.h"
#include "ui/windows/QVShowScanProgressWindowController.h"

namespace windows {

class QVRecoveryFlow : public QObject, public RecoveryProgressDelegate {
  Q_OBJECT
 public:
  // `window` is the results window (parent of this flow); `button` its
  // recover button (may be null).
  QVRecoveryFlow(QWidget* window, QAbstractButton* button);
  ~QVRecoveryFlow() override;

  // The results window shows a loaded result (the folder chooser then
  // opens in the user's home).
  void setIsImport(bool flag) { isImport_ = flag; }

  // The recover button.
  void recoveryButtonClick();
  // Each "DoRecovery" post.
  void recoveryAction();
  // From the progress window: 1 pause or resume, else stop.
  void stopButtonAction(int action) override;
  void showRecoveryEndWindow();
  void showRecoveryNotEndWindow();

  // Free space the check compares with (bytes a user may still write
  // at `folder`).
  static std::uint64_t freeSpaceAt(const QString& folder);

  QVShowScanProgressWindowController* recoveryProgressWindow() const { return recoveryProgressWindow_; }

 signals:
  // The recovery ended and its last window was shown (true: finished).
  void recoveryEnded(bool finished);

 private:
  void chooseDestination();
  void checkAndStart(const QString& folder);
  void startRecovery(const QString& folder);
  void reportStartFailure(unsigned long long code);
  bool alertNoCompetence(const QString& folder);
  bool alertOnSource();
  bool alertNoLeakOfSpace(std::uint64_t needed, std::uint64_t available);
  void closeProgressWindow();
  void centreOnWindow(QWidget* dialog) const;
  void enableButton(bool on);

  QPointer<QWidget> window_;
  QPointer<QAbstractButton> button_;
  QString recoverySavePathStr_;
  bool isImport_ = false;
  int isBeginRecovery_ = 0;
  int isFinishRecovery_ = 0;
  int isRecoveryEndSHowWindow_ = 0;
  // Stopped by the user: the stopped window waits for the recovery's end.
  bool stoppedWaiting_ = false;
  int chosenFiles_ = 0;
  QPointer<QVShowScanProgressWindowController> recoveryProgressWindow_;
  QPointer<QVScanEndSaveWindowController> scanEndSaveWC_;
  QPointer<QVScanNotEndSaveWindowController> scanNotEndSaceWC_;
};

}  // namespace windows
