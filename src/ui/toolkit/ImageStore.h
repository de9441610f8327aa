#pragma once
// The program's named pictures, read from its resources: pixmaps for the
// GUI thread, images for worker threads.

#include <QImage>
#include <QPixmap>
#include <QString>

namespace ui {

// Named images of the application's resources (":/img/<name>.png" or
// ".svg"). A name without an image gives a null pixmap, which callers leave
// undrawn.
class ImageStore {
 public:
  static QPixmap pixmap(const QString& name);
  // For threads other than the main one.
  static QImage image(const QString& name);
  static bool contains(const QString& name);
};

}  // namespace ui
