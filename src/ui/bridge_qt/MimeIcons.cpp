#include "ui/bridge_qt/MimeIcons.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QMimeDatabase>
#include <QStandardPaths>

#include "ui/toolkit/ImageStore.h"

namespace bridge_qt {
namespace {

const int kSizes[] = {16, 22, 24, 32, 48, 64, 96, 128, 256, 512};

// Folders of one theme to look in for a side, best first.
QStringList sizeFolders(int side) {
  QStringList out;
  for (int s : kSizes)
    if (s >= side) out << QStringLiteral("%1x%1").arg(s);
  out << QStringLiteral("scalable");
  for (int i = static_cast<int>(std::size(kSizes)) - 1; i >= 0; --i)
    if (kSizes[i] < side) out << QStringLiteral("%1x%1").arg(kSizes[i]);
  return out;
}

}  // namespace

QImage readScaled(const QString& path, int side) {
  QImageReader reader(path);
  reader.setAutoTransform(true);
  QSize size = reader.size();
  if (size.isValid() && (size.width() > side || size.height() > side || reader.format() == "svg"))
    reader.setScaledSize(size.scaled(side, side, Qt::KeepAspectRatio));
  QImage image = reader.read();
  if (!image.isNull() && (image.width() > side || image.height() > side))
    image = image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  return image;
}

MimeIcons::MimeIcons(QStringList themes) : themes_(std::move(themes)) {
  for (const QString& t : {QStringLiteral("Adwaita"), QStringLiteral("hicolor")})
    if (!themes_.contains(t)) themes_ << t;
  QStringList data = QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
  if (!data.contains(QStringLiteral("/usr/share"))) data << QStringLiteral("/usr/share");
  for (const QString& d : data)
    if (QFileInfo(d + QStringLiteral("/icons")).isDir()) roots_ << d + QStringLiteral("/icons");
}

QString MimeIcons::themeFile(const QString& iconName, int side) const {
  if (iconName.isEmpty()) return {};
  const QStringList folders = sizeFolders(side);
  for (const QString& theme : themes_) {
    for (const QString& root : roots_) {
      const QString base = root + QLatin1Char('/') + theme + QLatin1Char('/');
      if (!QFileInfo(base).isDir()) continue;
      for (const QString& folder : folders) {
        for (const char* sub : {"/mimetypes/", "/places/"}) {
          for (const char* ext : {".png", ".svg"}) {
            const QString file = base + folder + QLatin1String(sub) + iconName + QLatin1String(ext);
            if (QFileInfo::exists(file)) return file;
          }
        }
      }
    }
  }
  return {};
}

QString MimeIcons::fallbackResource(const QString& mimeName) {
  QString kind = QStringLiteral("generic");
  if (mimeName.startsWith(QLatin1String("image/")))
    kind = QStringLiteral("image");
  else if (mimeName.startsWith(QLatin1String("video/")))
    kind = QStringLiteral("video");
  else if (mimeName.startsWith(QLatin1String("audio/")))
    kind = QStringLiteral("audio");
  else if (mimeName.startsWith(QLatin1String("text/")))
    kind = QStringLiteral("text");
  else if (mimeName.contains(QLatin1String("zip")) || mimeName.contains(QLatin1String("compressed")) ||
           mimeName.contains(QLatin1String("archive")) || mimeName.contains(QLatin1String("tar")))
    kind = QStringLiteral("archive");
  else if (mimeName.contains(QLatin1String("document")) || mimeName.contains(QLatin1String("pdf")) ||
           mimeName.contains(QLatin1String("msword")) || mimeName.contains(QLatin1String("officedocument")))
    kind = QStringLiteral("document");
  return QStringLiteral(":/img/filetype_") + kind + QStringLiteral(".svg");
}

QImage MimeIcons::iconForExtension(const QString& ext, int side) const {
  side = std::clamp(side, 1, 512);
  static const QMimeDatabase db;
  const QMimeType mime = ext.isEmpty() ? db.mimeTypeForName(QStringLiteral("application/octet-stream"))
                                       : db.mimeTypeForFile(QStringLiteral("x.") + ext, QMimeDatabase::MatchExtension);
  QString file = themeFile(mime.iconName(), side);
  if (file.isEmpty()) file = themeFile(mime.genericIconName(), side);
  QImage image;
  if (!file.isEmpty()) image = readScaled(file, side);
  if (image.isNull()) {
    ui::ImageStore::contains(QString());  // registers the resources
    image = readScaled(fallbackResource(mime.name()), side);
  }
  if (image.isNull()) {
    image = QImage(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
  }
  return image;
}

}  // namespace bridge_qt
