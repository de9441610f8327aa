#pragma once
// The notice shown instead of a scan when the chosen row cannot be opened:
// what to do instead, a link to the help page, and OK.

#include <QLabel>
#include <QPointer>
#include <QPushButton>

#include "ui/toolkit/TCImageWindow.h"
#include "ui/windows/DialogFrame.h"

namespace windows {

class APFSScanWindowController : public ui::TCImageWindow {
  Q_OBJECT
 public:
  static constexpr int kWidth = 460;
  static constexpr int kHeight = 240;

  explicit APFSScanWindowController(QWidget* parent = nullptr);

  // Makes one, centres it on `over` (or the screen), runs it modally
  // through ui::Modal() and deletes it; the code of the session.
  static int runNotice(QWidget* over);

  void awakeFromNib();
  void windowDidLoad();
  // OK and the band's close button: leave the modal session, close.
  void okButtonAction();
  void closeWindow();
  // Opens the help link "APFS_HELP_URL".
  void linkButtonAction();

  int iClickCount() const { return iClickCount_; }
  DialogFrame* frame() const { return frame_; }
  QPushButton* okButton() const { return okButton_; }
  QPushButton* linkButton() const { return linkButton_; }
  QLabel* textField() const { return textField_; }

 private:
  void buildContent();

  DialogFrame* frame_ = nullptr;
  int iClickCount_ = 0;
  QPointer<QPushButton> okButton_;
  QPointer<QPushButton> linkButton_;
  QPointer<QLabel> textField_;
};

}  // namespace windows
