#include "ui/bridge_qt/QtImages.h"

#include <memory>

namespace bridge_qt {

bridge::Image fromQImage(QImage image) {
  bridge::Image out;
  if (image.isNull()) return out;
  out.width = image.width();
  out.height = image.height();
  out.handle = std::make_shared<const QImage>(std::move(image));
  return out;
}

QImage toQImage(const bridge::Image& image) {
  if (!image.usable() || !image.handle) return {};
  return *std::static_pointer_cast<const QImage>(image.handle);
}

}  // namespace bridge_qt
