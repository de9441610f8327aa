#pragma once
// bridge::Image values made by the Qt side hold a QImage.

#include <QImage>

#include "bridge/QVThumbnail.h"

namespace bridge_qt {

bridge::Image fromQImage(QImage image);
// The QImage of an image made by fromQImage; a null image otherwise.
QImage toQImage(const bridge::Image& image);

}  // namespace bridge_qt
