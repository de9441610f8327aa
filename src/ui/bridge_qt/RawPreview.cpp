#include "ui/bridge_qt/RawPreview.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <limits>
#include <memory>

#ifdef QUARNEL_HAVE_LIBRAW
#include <libraw/libraw.h>
#endif

namespace bridge_qt {

bool isCameraRawName(const QString& path) {
  static const QStringList kinds = {
      QStringLiteral("cr2"), QStringLiteral("cr3"), QStringLiteral("crw"), QStringLiteral("nef"), QStringLiteral("nrw"),
      QStringLiteral("arw"), QStringLiteral("sr2"), QStringLiteral("srf"), QStringLiteral("rw2"), QStringLiteral("raf"),
      QStringLiteral("orf"), QStringLiteral("pef"), QStringLiteral("dng"), QStringLiteral("dcr"), QStringLiteral("kdc"),
      QStringLiteral("mrw"), QStringLiteral("x3f"), QStringLiteral("3fr"), QStringLiteral("erf"), QStringLiteral("mef"),
      QStringLiteral("mos"), QStringLiteral("srw"), QStringLiteral("rwl"), QStringLiteral("iiq")};
  return kinds.contains(QFileInfo(path).suffix().toLower());
}

#ifdef QUARNEL_HAVE_LIBRAW

namespace {

struct RawCloser {
  void operator()(libraw_data_t* raw) const { libraw_close(raw); }
};
struct ImageFreer {
  void operator()(libraw_processed_image_t* image) const { libraw_dcraw_clear_mem(image); }
};

QImage fitted(QImage image, int side) {
  if (!image.isNull() && (image.width() > side || image.height() > side))
    image = image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  return image;
}

QImage decodeJpeg(const unsigned char* bytes, unsigned length, int side) {
  if (length == 0 || length > static_cast<unsigned>(std::numeric_limits<int>::max())) return {};
  QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(length));
  QBuffer buffer(&data);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, "jpeg");
  reader.setAutoTransform(true);
  const QSize size = reader.size();
  if (size.isValid() && (size.width() > side || size.height() > side))
    reader.setScaledSize(size.scaled(side, side, Qt::KeepAspectRatio));
  return fitted(reader.read(), side);
}

// An 8-bit grey or RGB bitmap whose size matches its declared dimensions.
QImage copyBitmap(const libraw_processed_image_t& image, int side) {
  const qint64 w = image.width;
  const qint64 h = image.height;
  const qint64 colors = image.colors;
  if (image.bits != 8 || (colors != 1 && colors != 3) || w < 1 || h < 1 || w > 65535 || h > 65535) return {};
  if (static_cast<qint64>(image.data_size) != w * h * colors) return {};
  const QImage::Format format = colors == 3 ? QImage::Format_RGB888 : QImage::Format_Grayscale8;
  const QImage view(image.data, static_cast<int>(w), static_cast<int>(h), static_cast<qsizetype>(w * colors), format);
  return fitted(view.copy(), side);
}

}  // namespace

bool rawPreviewsAvailable() { return true; }

QImage rawPreview(const QString& path, int side) {
  std::unique_ptr<libraw_data_t, RawCloser> raw(libraw_init(0));
  if (!raw) return {};
  const QByteArray file = QFile::encodeName(path);
  if (libraw_open_file(raw.get(), file.constData()) != LIBRAW_SUCCESS) return {};
  if (libraw_unpack_thumb(raw.get()) != LIBRAW_SUCCESS) return {};
  int error = 0;
  std::unique_ptr<libraw_processed_image_t, ImageFreer> image(libraw_dcraw_make_mem_thumb(raw.get(), &error));
  if (!image || error != LIBRAW_SUCCESS) return {};
  if (image->type == LIBRAW_IMAGE_JPEG) return decodeJpeg(image->data, image->data_size, side);
  if (image->type == LIBRAW_IMAGE_BITMAP) return copyBitmap(*image, side);
  return {};
}

#else

bool rawPreviewsAvailable() { return false; }

QImage rawPreview(const QString&, int) { return {}; }

#endif

}  // namespace bridge_qt
