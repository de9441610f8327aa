#pragma once
// Small pieces the windows and dialogs build their contents from: a white
// content view, labels in the dialogs' font, push buttons, and the
// underlined blue link of a folder path.

#include <QLabel>
#include <QPushButton>
#include <QRect>
#include <QString>

#include "ui/toolkit/TCImageWindow.h"

namespace windows {

// A white content view set on `window`.
QWidget* makeWhiteContent(ui::TCImageWindow* window, const QString& name);
// A label in "Helvetica Light" of `pixelSize`, word-wrapped, at `frame`.
QLabel* makeDialogLabel(QWidget* parent, const QString& name, const QString& text, int pixelSize, const QRect& frame);
QPushButton* makeDialogButton(QWidget* parent, const QString& name, const QString& text, const QRect& frame);
// The folder path as an underlined link in (24, 90, 166), system font 12,
// the path as its tool tip; an empty path shows nothing.
void setPathLink(QLabel* label, const QString& path);

}  // namespace windows
