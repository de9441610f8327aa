#pragma once
// The frame the workflow dialogs share: fade in when first shown, fade out
// instead of closing, and at the end of the fade-out leave the modal
// session (ui::Modal()) and close; a fade started because the program is
// quitting quits it at its end. Optionally the title label in the band.
//
//   auto* frame = new DialogFrame(window, DialogFrame::kRecoveryProgress);

#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QPropertyAnimation>
#include <QRect>

#include "ui/toolkit/TCImageWindow.h"

namespace windows {

class DialogFrame : public QObject {
  Q_OBJECT
 public:
  // Band height, window-button margin, title label (x, y, w, h from the
  // band's bottom left) and its font size; a label width of 0 means no label.
  struct Look {
    qreal titleBarHeight;
    qreal trafficLightLeftMargin;
    QRect labelFrame;
    int fontSize;
  };
  static const Look kRecoveryProgress;
  static const Look kRecoveryFinished;
  static const Look kRecoveryStopped;
  static const Look kApfsNotice;
  static const Look kFilePreview;
  // Steps 1 to 4 only (the progress window of saving and loading).
  static const Look kNoTitle;

  // Frames `window` (a child of it, gone with it).
  DialogFrame(ui::TCImageWindow* window, const Look& look);

  // windowDidLoad: band, margin, title label (once).
  void windowDidLoad();
  // awakeFromNib: fades the window in when it is not visible yet.
  void awakeFromNib();
  // windowShouldClose: starts the fade-out; always false.
  bool windowShouldClose();
  // applicationShouldTerminate: true (terminate now) once shutting down;
  // else fades out, remembers it and answers false.
  bool applicationShouldTerminate();

  // Closes at once, without the fade (leaving the modal session first).
  void closeNow();

  bool shuttingDown() const { return shuttingDown_; }
  QLabel* titleLabel() const { return titleLabel_; }
  ui::TCImageWindow* window() const { return guard_ ? window_ : nullptr; }

  // Fade length for every frame; tests set 0.
  static void setFadeDuration(int ms);
  static int fadeDuration();

 signals:
  // The fade-out ended and the window was closed.
  void closedByFade();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void fadeTo(qreal opacity);
  void animationDidStop();

  // The window; guard_ says whether it still exists (a QPointer of the
  // base class, which stays valid to test while the window is destroyed).
  ui::TCImageWindow* window_;
  QPointer<QWidget> guard_;
  Look look_;
  QPointer<QLabel> titleLabel_;
  QPropertyAnimation* animation_ = nullptr;
  bool shuttingDown_ = false;
  bool closing_ = false;
};

}  // namespace windows
