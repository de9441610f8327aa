#pragma once
// The modal window with a progress bar shown while a scan result is saved
// to a file or loaded from one. It follows the bridge's save-or-load
// progress on each post of its notification, and when the bridge reports
// the end ("QueryProgressFinish") it closes itself on its next timer tick,
// tells the user when the job failed, and after a successful load posts
// "ShowDetailWindow".
//
//   QVProgressWindow w;  w.setStrPostName("QueryProgressInfo");  w.setBSave(true);
//   w.start();  ui::Modal().runModal(&w);  bool ok = w.getResult();

#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QTimer>

#include "ui/toolkit/TCImageWindow.h"
#include "ui/windows/DialogFrame.h"

namespace windows {

class QVProgressWindow : public ui::TCImageWindow {
  Q_OBJECT
 public:
  static constexpr int kWidth = 440;
  static constexpr int kHeight = 170;
  // Error code of a job that could not be started at all.
  static constexpr long long kNotStarted = -1;

  explicit QVProgressWindow(QWidget* parent = nullptr);
  ~QVProgressWindow() override;

  // Set before start().
  void setStrPostName(const QString& name) { strPostName_ = name; }
  void setBSave(bool save) { bSave_ = save; }
  // Texts, observations and the fade-in.
  void start();
  // The job could not be started (the bridge refused it): the window
  // ends as after a failure with `detail` in the alert.
  void failedToStart(const QString& detail);

  bool getResult() const { return bSucess_; }
  bool finished() const { return bFinish_; }

  void changeProgressValue();
  void ProgressFinish();
  void onTimer();
  void closeWindow();

  QProgressBar* progress() const { return progress_; }
  QLabel* title() const { return title_; }
  QLabel* description() const { return Description_; }
  DialogFrame* frame() const { return frame_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void buildContent();
  void stopObserving();

  DialogFrame* frame_ = nullptr;
  QPointer<QProgressBar> progress_;
  QPointer<QLabel> title_;
  QPointer<QLabel> Description_;
  QString strPostName_;
  bool bSave_ = false;
  bool bSucess_ = false;
  bool bFinish_ = false;
  long long iErrorCode_ = 0;
  QString detail_;
  QTimer timer_;
};

}  // namespace windows
