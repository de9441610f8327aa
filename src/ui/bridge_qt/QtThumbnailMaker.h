#pragma once
// Pictures for the bridge's previews: pictures decoded with QImageReader,
// camera raw files by the preview they carry (LibRaw), video stills
// through libffmpegthumbnailer, file icons by extension. Every
// image fits in the size asked for. Any thread may call it.

#include <QHash>
#include <QImage>

#include <mutex>

#include "bridge/QVThumbnail.h"
#include "ui/bridge_qt/MimeIcons.h"

namespace bridge_qt {

class QtThumbnailMaker final : public bridge::IThumbnailMaker {
 public:
  // Thumbnails and decoded pictures fit in side x side.
  explicit QtThumbnailMaker(int side = bridge::kThumbnailSide, QStringList themes = {});

  bridge::Image FromFile(const std::string& path, int maxSize) override;
  std::optional<bridge::Image> Decode(const char* bytes, std::size_t length) override;
  bridge::Image IconForExtension(const std::string& ext, int side) override;

 private:
  int side_;
  MimeIcons icons_;
  std::mutex lock_;
  QHash<QString, QImage> iconCache_;
};

}  // namespace bridge_qt
