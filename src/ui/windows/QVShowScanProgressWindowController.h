#pragma once
// The recovery's progress window: a bar with the name of the file being
// written and a stop button; a confirmation view when stop is pressed; a
// view that says the destination is full, with continue and stop. It only
// shows what it is told and hands the user's decisions to its delegate
// (the results window), which talks to the bridge.

#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>

#include "ui/toolkit/TCImageWindow.h"
#include "ui/windows/DialogFrame.h"

namespace windows {

class RecoveryProgressDelegate {
 public:
  virtual ~RecoveryProgressDelegate() = default;
  // 1: pause or resume the recovery; 2: stop it.
  virtual void stopButtonAction(int action) = 0;
};

class QVShowScanProgressWindowController : public ui::TCImageWindow {
  Q_OBJECT
 public:
  static constexpr int kWidth = 480;
  static constexpr int kHeight = 210;

  explicit QVShowScanProgressWindowController(QWidget* parent = nullptr);

  void setDelegate(RecoveryProgressDelegate* delegate) { delegate_ = delegate; }
  RecoveryProgressDelegate* delegate() const { return delegate_; }

  void awakeFromNib();
  void windowDidLoad();
  // The bar (0..100) and, when given, the name of the file being written.
  void changeProgressValue(double value, const QString& fileName = QString());
  // The destination is full: the no-space view replaces the others.
  void setNoMemeryViewHidden();

  // Buttons.
  void stopProgressButtonAction();
  void yesButtonAction();
  void noButtonAction();
  void continueButtonAction();
  void cancelButtonAction();

  QProgressBar* progressBar() const { return progressBar_; }
  QLabel* scaningFileName() const { return scaningFileName_; }
  QLabel* titleLabel() const { return titleLabel_; }
  QPushButton* stopButton() const { return stopButton_; }
  QWidget* recoveryProgressView() const { return recoveryProgressView_; }
  QWidget* warningView() const { return warningView_; }
  QLabel* warningNode() const { return warningNode_; }
  QPushButton* yesButton() const { return yesButton_; }
  QPushButton* noButton() const { return noButton_; }
  QWidget* noMemeryView() const { return noMemeryView_; }
  QPushButton* noMemeryContinueButton() const { return noMemeryContinueButton_; }
  QPushButton* noMemeryCancelButton() const { return noMemeryCancelButton_; }
  DialogFrame* frame() const { return frame_; }

 private:
  void buildContent();
  void tell(int action);

  DialogFrame* frame_ = nullptr;
  RecoveryProgressDelegate* delegate_ = nullptr;
  QPointer<QLabel> scaningFileName_;
  QPointer<QProgressBar> progressBar_;
  QPointer<QLabel> titleLabel_;
  QPointer<QPushButton> stopButton_;
  QPointer<QWidget> recoveryProgressView_;
  QPointer<QWidget> warningView_;
  QPointer<QLabel> warningTitle_;
  QPointer<QLabel> warningNode_;
  QPointer<QPushButton> yesButton_;
  QPointer<QPushButton> noButton_;
  QPointer<QWidget> noMemeryView_;
  QPointer<QLabel> noMemeryTitle_;
  QPointer<QLabel> noMemeryNode_;
  QPointer<QPushButton> noMemeryContinueButton_;
  QPointer<QPushButton> noMemeryCancelButton_;
};

}  // namespace windows
