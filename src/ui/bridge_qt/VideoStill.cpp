#include "ui/bridge_qt/VideoStill.h"

#include <QFile>

#ifdef QUARNEL_HAVE_FFMPEGTHUMBNAILER
#include <libffmpegthumbnailer/videothumbnailerc.h>
#endif

namespace bridge_qt {

#ifdef QUARNEL_HAVE_FFMPEGTHUMBNAILER

bool videoStillsAvailable() { return true; }

QImage videoStill(const QString& path, int side) {
  video_thumbnailer* thumbnailer = video_thumbnailer_create();
  if (thumbnailer == nullptr) return {};
  image_data* data = video_thumbnailer_create_image_data();
  if (data == nullptr) {
    video_thumbnailer_destroy(thumbnailer);
    return {};
  }
  video_thumbnailer_set_size(thumbnailer, side, 0);
  thumbnailer->thumbnail_image_type = Png;
  thumbnailer->maintain_aspect_ratio = 1;
  QImage image;
  const QByteArray file = QFile::encodeName(path);
  if (video_thumbnailer_generate_thumbnail_to_buffer(thumbnailer, file.constData(), data) == 0 &&
      data->image_data_ptr != nullptr && data->image_data_size > 0) {
    image.loadFromData(data->image_data_ptr, data->image_data_size);
  }
  video_thumbnailer_destroy_image_data(data);
  video_thumbnailer_destroy(thumbnailer);
  if (!image.isNull() && (image.width() > side || image.height() > side))
    image = image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  return image;
}

#else

bool videoStillsAvailable() { return false; }

QImage videoStill(const QString&, int) { return {}; }

#endif

}  // namespace bridge_qt
