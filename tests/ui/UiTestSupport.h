#pragma once

#include "ui/toolkit/NotificationCenter.h"

#include <QDir>
#include <QObject>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

#include <vector>

namespace uitest {

// Records every notification while it lives.
struct NoteRecorder {
  QObject observer;
  std::vector<ui::Notification> notes;

  explicit NoteRecorder(const QString& name = QString()) {
    ui::NotificationCenter::defaultCenter().addObserver(&observer, name,
                                                        [this](const ui::Notification& n) { notes.push_back(n); });
  }
  std::vector<QString> names() const {
    std::vector<QString> out;
    for (const auto& n : notes) out.push_back(n.name);
    return out;
  }
  // Names that start with a prefix, in order.
  std::vector<QString> namesWithPrefix(const QString& prefix) const {
    std::vector<QString> out;
    for (const auto& n : notes)
      if (n.name.startsWith(prefix)) out.push_back(n.name);
    return out;
  }
};

// Renders a widget to a PNG in this program's own temporary folder (removed
// when the program ends); the file must be written.
inline void renderToPng(QWidget& w, const QString& name) {
  static QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/quarnel-ui-tests-XXXXXX"));
  ASSERT_TRUE(folder.isValid()) << folder.errorString().toStdString();
  const QString dir = folder.path();
  const QPixmap pm = w.grab();
  ASSERT_FALSE(pm.isNull()) << name.toStdString();
  ASSERT_TRUE(pm.save(dir + QLatin1Char('/') + name + QStringLiteral(".png"))) << name.toStdString();
}

}  // namespace uitest

inline std::ostream& operator<<(std::ostream& os, const QString& s) { return os << s.toStdString(); }
inline std::ostream& operator<<(std::ostream& os, const QRect& r) {
  return os << "QRect(" << r.x() << ", " << r.y() << ", " << r.width() << ", " << r.height() << ")";
}
inline std::ostream& operator<<(std::ostream& os, const QRectF& r) {
  return os << "QRectF(" << r.x() << ", " << r.y() << ", " << r.width() << ", " << r.height() << ")";
}
inline std::ostream& operator<<(std::ostream& os, const QPointF& p) {
  return os << "QPointF(" << p.x() << ", " << p.y() << ")";
}
