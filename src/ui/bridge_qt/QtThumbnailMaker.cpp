#include "ui/bridge_qt/QtThumbnailMaker.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

#include <limits>

#include "ui/bridge_qt/QtImages.h"
#include "ui/bridge_qt/RawPreview.h"
#include "ui/bridge_qt/VideoStill.h"

namespace bridge_qt {

QtThumbnailMaker::QtThumbnailMaker(int side, QStringList themes) : side_(side), icons_(std::move(themes)) {}

bridge::Image QtThumbnailMaker::FromFile(const std::string& path, int maxSize) {
  const int side = maxSize > 0 ? std::min(maxSize, 4096) : side_;
  const QString file = QString::fromStdString(path);
  // A camera raw file shows the preview it carries, as the camera made it.
  QImage image = isCameraRawName(file) ? rawPreview(file, side) : QImage();
  if (image.isNull()) image = readScaled(file, side);
  if (image.isNull()) image = videoStill(file, side);
  return fromQImage(std::move(image));
}

std::optional<bridge::Image> QtThumbnailMaker::Decode(const char* bytes, std::size_t length) {
  if (bytes == nullptr || length == 0 || length > static_cast<std::size_t>(std::numeric_limits<int>::max()))
    return std::nullopt;
  QByteArray data = QByteArray::fromRawData(bytes, static_cast<qsizetype>(length));
  QBuffer buffer(&data);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  reader.setAutoTransform(true);
  // Not a picture format at all: nothing to decode.
  if (!reader.canRead()) return std::nullopt;
  const QSize size = reader.size();
  if (size.isValid() && (size.width() > side_ || size.height() > side_))
    reader.setScaledSize(size.scaled(side_, side_, Qt::KeepAspectRatio));
  QImage image = reader.read();
  // A picture that does not read whole (a cut preview) is an unusable
  // image, so the caller may try again with more data.
  if (image.isNull()) return bridge::Image{};
  if (image.width() > side_ || image.height() > side_)
    image = image.scaled(side_, side_, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  return fromQImage(std::move(image));
}

bridge::Image QtThumbnailMaker::IconForExtension(const std::string& ext, int side) {
  side = std::clamp(side, 1, 512);
  const QString key = QString::fromStdString(ext) + QLatin1Char('/') + QString::number(side);
  {
    std::lock_guard g(lock_);
    if (auto it = iconCache_.constFind(key); it != iconCache_.constEnd()) return fromQImage(*it);
  }
  QImage icon = icons_.iconForExtension(QString::fromStdString(ext).toLower(), side);
  std::lock_guard g(lock_);
  iconCache_.insert(key, icon);
  return fromQImage(std::move(icon));
}

}  // namespace bridge_qt
