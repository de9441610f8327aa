#include "ui/toolkit/ImageStore.h"

#include <QFile>
#include <QHash>
#include <QMutex>
#include <QPainter>
#include <QSvgRenderer>

#include <mutex>

static void initToolkitResources() { Q_INIT_RESOURCE(quarnel_ui); }

namespace ui {
namespace {

QString pathFor(const QString& name) {
  static std::once_flag ready;
  std::call_once(ready, initToolkitResources);
  if (name.isEmpty()) return {};
  for (const char* suffix : {"", ".png", ".svg"}) {
    const QString path = QStringLiteral(":/img/") + name + QLatin1String(suffix);
    if (QFile::exists(path) && !path.endsWith(QLatin1String("/"))) return path;
  }
  return {};
}

QImage load(const QString& path) {
  if (path.endsWith(QLatin1String(".svg"))) {
    QSvgRenderer renderer(path);
    if (!renderer.isValid()) return {};
    QImage img(renderer.defaultSize(), QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    renderer.render(&p);
    return img;
  }
  return QImage(path);
}

}  // namespace

QImage ImageStore::image(const QString& name) {
  static QMutex mutex;
  static QHash<QString, QImage> cache;
  QMutexLocker lock(&mutex);
  if (auto it = cache.constFind(name); it != cache.constEnd()) return *it;
  const QString path = pathFor(name);
  QImage img = path.isEmpty() ? QImage() : load(path);
  cache.insert(name, img);
  return img;
}

QPixmap ImageStore::pixmap(const QString& name) {
  static QHash<QString, QPixmap> cache;
  if (auto it = cache.constFind(name); it != cache.constEnd()) return *it;
  const QImage img = image(name);
  QPixmap pm = img.isNull() ? QPixmap() : QPixmap::fromImage(img);
  cache.insert(name, pm);
  return pm;
}

bool ImageStore::contains(const QString& name) { return !image(name).isNull(); }

}  // namespace ui
