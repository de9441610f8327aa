#include "ui/windows/SpacePreviewWindow.h"

#include <QFont>
#include <QPalette>

#include "ui/toolkit/Modal.h"
#include "ui/toolkit/Strings.h"
#include "ui/windows/DialogWidgets.h"

namespace windows {

SpacePreviewWindow::SpacePreviewWindow(QWidget* parent) : ui::TCImageWindow(parent, Qt::Window) {
  setObjectName(QStringLiteral("spacePreviewWindow"));
  setWindowTitle(ui::Strings::text(QStringLiteral("WINDOW_TOP_TITLE")));
  setAttribute(Qt::WA_DeleteOnClose, false);
  frame_ = new DialogFrame(this, DialogFrame::kFilePreview);
  QWidget* content = makeWhiteContent(this, QStringLiteral("previewContent"));
  imageView_ = new QLabel(content);
  imageView_->setObjectName(QStringLiteral("imageView"));
  imageView_->setAlignment(Qt::AlignCenter);
  textView_ = new QPlainTextEdit(content);
  textView_->setObjectName(QStringLiteral("textView"));
  textView_->setReadOnly(true);
  textView_->setFrameShape(QFrame::NoFrame);
  textView_->hide();
  resize(kWidth, kHeight);
  windowDidLoad();
}

void SpacePreviewWindow::windowDidLoad() {
  frame_->windowDidLoad();
  bClose_ = false;
  ui::TCWindowButton* close = standardWindowButton(ui::TCWindowButton::Close);
  if (close != nullptr) {
    close->disconnect(this);
    connect(close, &QAbstractButton::clicked, this, &SpacePreviewWindow::closeWindow);
  }
}

void SpacePreviewWindow::setStrName(const QString& name) {
  strName_ = name;
  if (QLabel* label = frame_->titleLabel()) label->setText(name);
}

void SpacePreviewWindow::setShowImage(const QImage& image) {
  showImage_ = image;
  showText_.clear();
  textView_->hide();
  imageView_->show();
  showPicture();
}

void SpacePreviewWindow::setShowText(const QString& text) {
  showText_ = text;
  textView_->setPlainText(text);
  imageView_->hide();
  textView_->show();
}

void SpacePreviewWindow::showPicture() {
  if (showImage_.isNull()) {
    imageView_->clear();
    return;
  }
  const QSize room = imageView_->size() - QSize(16, 16);
  QImage shown = showImage_;
  // A picture larger than the window is scaled down; a small one stays as it is.
  if (shown.width() > room.width() || shown.height() > room.height())
    shown = shown.scaled(room.expandedTo(QSize(1, 1)), Qt::KeepAspectRatio, Qt::SmoothTransformation);
  imageView_->setPixmap(QPixmap::fromImage(shown));
}

void SpacePreviewWindow::resizeEvent(QResizeEvent* event) {
  ui::TCImageWindow::resizeEvent(event);
  if (QWidget* content = contentView()) {
    imageView_->setGeometry(content->rect());
    textView_->setGeometry(content->rect().adjusted(8, 8, -8, -8));
    showPicture();
  }
}

void SpacePreviewWindow::closeWindow() {
  bClose_ = true;
  ui::Modal().stopModal(this, 0);
  hide();
}

}  // namespace windows
