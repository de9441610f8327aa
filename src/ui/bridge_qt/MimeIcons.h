#pragma once
// File icons by extension: the MIME type from the shared MIME database, its
// icon from the icon theme's files, else one of the program's own file
// icons. Made with QImage only, so any thread may ask.

#include <QImage>
#include <QString>
#include <QStringList>

namespace bridge_qt {

class MimeIcons {
 public:
  // Themes searched in order (the desktop's theme first when known).
  explicit MimeIcons(QStringList themes = {});

  // The icon of a lower-case extension without the dot ("" for none),
  // side x side; never null.
  QImage iconForExtension(const QString& ext, int side) const;
  // The theme file of an icon name, or "" when no theme has it.
  QString themeFile(const QString& iconName, int side) const;
  // The program's own icon for a MIME type name ("image/jpeg").
  static QString fallbackResource(const QString& mimeName);

 private:
  QStringList themes_;
  QStringList roots_;
};

// Reads an image file scaled to fit side x side (never enlarged).
QImage readScaled(const QString& path, int side);

}  // namespace bridge_qt
