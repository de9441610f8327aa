#pragma once
// The about box: product name, version, a short description and the web
// link, in a custom title-bar window run modally. A new window is made for
// each opening.

#include <QLabel>
#include <QPointer>
#include <QPushButton>

#include "ui/toolkit/TCImageWindow.h"
#include "ui/windows/DialogFrame.h"

namespace windows {

class QVAboutWindowController : public ui::TCImageWindow {
  Q_OBJECT
 public:
  explicit QVAboutWindowController(QWidget* parent = nullptr);

  // Makes one, centres it on `over` (or the screen), runs it modally
  // through ui::Modal() and deletes it; the code of the session.
  static int runAbout(QWidget* over);

  void windowDidLoad();
  // The band's close button: leaves the modal session and closes at once.
  void closeWindow();
  // The link button: opens the link "AboutURL".
  void linkButtonAction();

  QLabel* titleLabel() const { return titleLabel_; }
  QPushButton* aboutlink() const { return aboutlink_; }
  QWidget* aboutlinkLine() const { return aboutlinkLine_; }
  DialogFrame* frame() const { return frame_; }

  static constexpr int kWidth = 460;
  static constexpr int kHeight = 300;
  // Where the layout puts the link and its underline (x, y, w, h from the
  // content's bottom left).
  static constexpr QRect kLinkFrame{130, 40, 200, 20};
  static constexpr QRect kLinkLineFrame{130, 38, 200, 1};

 private:
  void buildContent();

  DialogFrame* frame_ = nullptr;
  QPointer<QLabel> titleLabel_;
  QPointer<QPushButton> aboutlink_;
  QPointer<QWidget> aboutlinkLine_;
};

}  // namespace windows
