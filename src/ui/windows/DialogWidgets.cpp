#include "ui/windows/DialogWidgets.h"

#include <QFont>
#include <QPalette>

namespace windows {

QWidget* makeWhiteContent(ui::TCImageWindow* window, const QString& name) {
  auto* content = new QWidget;
  content->setObjectName(name);
  content->setAutoFillBackground(true);
  QPalette pal = content->palette();
  pal.setColor(QPalette::Window, Qt::white);
  content->setPalette(pal);
  window->setContentView(content);
  return content;
}

QLabel* makeDialogLabel(QWidget* parent, const QString& name, const QString& text, int pixelSize, const QRect& frame) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  QFont font(QStringLiteral("Helvetica Light"));
  font.setPixelSize(pixelSize);
  label->setFont(font);
  label->setWordWrap(true);
  label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  label->setGeometry(frame);
  return label;
}

QPushButton* makeDialogButton(QWidget* parent, const QString& name, const QString& text, const QRect& frame) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(name);
  button->setGeometry(frame);
  return button;
}

void setPathLink(QLabel* label, const QString& path) {
  if (label == nullptr) return;
  label->setTextFormat(Qt::RichText);
  label->setToolTip(path);
  if (path.isEmpty()) {
    label->clear();
    return;
  }
  label->setText(
      QStringLiteral("<span style=\"font-size:12px; color:rgb(24,90,166); text-decoration:underline;\">%1</span>")
          .arg(path.toHtmlEscaped()));
  label->setCursor(Qt::PointingHandCursor);
}

}  // namespace windows
