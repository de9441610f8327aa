#pragma once
// The quick preview of one found file: its name in the title band and its
// picture (or its icon), or the start of its text for text files. Opened
// and closed again by the space bar in the results window; not modal.

#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QString>

#include "ui/toolkit/TCImageWindow.h"
#include "ui/windows/DialogFrame.h"

namespace windows {

class SpacePreviewWindow : public ui::TCImageWindow {
  Q_OBJECT
 public:
  explicit SpacePreviewWindow(QWidget* parent = nullptr);

  static constexpr int kWidth = 520;
  static constexpr int kHeight = 420;

  void setStrName(const QString& name);
  const QString& strName() const { return strName_; }
  // The picture to show (also after the window is shown: it may arrive late).
  void setShowImage(const QImage& image);
  const QImage& showImage() const { return showImage_; }
  // Text to show instead of a picture.
  void setShowText(const QString& text);
  const QString& showText() const { return showText_; }
  bool isClosed() const { return bClose_; }
  // The close button: marks the preview closed and closes it.
  void closeWindow();

  QLabel* imageView() const { return imageView_; }
  QPlainTextEdit* textView() const { return textView_; }
  QLabel* titleLabel() const { return frame_->titleLabel(); }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void windowDidLoad();
  void showPicture();

  DialogFrame* frame_;
  QLabel* imageView_;
  QPlainTextEdit* textView_;
  QString strName_;
  QImage showImage_;
  QString showText_;
  bool bClose_ = false;
};

}  // namespace windows
