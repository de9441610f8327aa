#pragma once
// The update window: looks up the remote version list once, when it is
// made, and shows one of four states: checking, no network, up to date, or
// a newer release with its new features and a download button. The list's
// address is the link "IniURL"; the fetch has a 5 s limit and never blocks
// the window.

#include <QLabel>
#include <QNetworkAccessManager>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>

#include <functional>
#include <optional>

#include "ui/toolkit/TCImageWindow.h"
#include "ui/windows/DialogFrame.h"
#include "ui/windows/UpdateList.h"

class QNetworkReply;

namespace windows {

class QVCheckUpdateWindowController : public ui::TCImageWindow {
  Q_OBJECT
 public:
  enum class State { Checking, NoNetwork, UpToDate, HaveUpdate };
  static constexpr int kWidth = 460;
  static constexpr int kHeight = 300;
  static constexpr int kFetchLimitMs = 5000;

  explicit QVCheckUpdateWindowController(QWidget* parent = nullptr);
  ~QVCheckUpdateWindowController() override;

  // Told when the window is closed by its buttons (the launch check lets
  // the main window open then).
  void setDelegate(std::function<void()> runRootWindow) { delegate_ = std::move(runRootWindow); }

  void windowDidLoad();
  void getVersionChange();
  // Compares the remote list (none: a failed fetch) with the local
  // "VersionCheck" and fills the window.
  void whatIsNewVersionDiff(const std::optional<UpdateList>& remote);
  // The laid-out height of a text at a width.
  static double heightForStringDrawing(const QString& text, const QFont& font, double width);

  void closeWindow();
  void closeWindowAction() { closeWindow(); }
  void updateClickHereAction();

  State state() const { return state_; }
  bool checked() const { return state_ != State::Checking; }
  QLabel* titleLable() const { return titleLable_; }
  QLabel* versionLabel() const { return versionLabel_; }
  QWidget* showVersionScrollView() const { return showVersionScrollView_; }
  QWidget* stateView(State state) const;
  QPushButton* downloadButton() const { return downloadButton_; }
  QPushButton* closeButton() const { return closeButton_; }
  DialogFrame* frame() const { return frame_; }

 signals:
  void checkFinished();

 private:
  void buildContent();
  QWidget* makeStateView(const QString& name, const QString& text);
  void showState(State state);
  void fetchFinished(QNetworkReply* reply);

  DialogFrame* frame_ = nullptr;
  std::function<void()> delegate_;
  State state_ = State::Checking;
  QNetworkAccessManager network_;
  QPointer<QNetworkReply> reply_;
  QPointer<QLabel> titleLabel_;
  QPointer<QWidget> checkProgressView_;
  QPointer<QWidget> noNetworkView_;
  QPointer<QWidget> noUpdateView_;
  QPointer<QWidget> haveUpdateView_;
  QPointer<QLabel> titleLable_;
  QPointer<QLabel> versionLabel_;
  QPointer<QScrollArea> changeValueScrollView_;
  QPointer<QWidget> showVersionScrollView_;
  QPointer<QProgressBar> progressBar_;
  QPointer<QPushButton> downloadButton_;
  QPointer<QPushButton> closeButton_;
};

}  // namespace windows
