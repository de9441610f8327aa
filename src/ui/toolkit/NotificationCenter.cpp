#include "ui/toolkit/NotificationCenter.h"

#include <QCoreApplication>
#include <QThread>

#include <algorithm>
#include <mutex>

#include "core/util/Assert.h"

namespace ui {

NotificationCenter::NotificationCenter(QObject* parent) : QObject(parent) {}

NotificationCenter& NotificationCenter::defaultCenter() {
  static NotificationCenter center;
  static std::once_flag placed;
  std::call_once(placed, [] {
    if (auto* app = QCoreApplication::instance(); app && center.thread() != app->thread())
      center.moveToThread(app->thread());
  });
  return center;
}

void NotificationCenter::addObserver(QObject* observer, const QString& name, Handler handler) {
  if (!observer || !handler) return;
  const bool known =
      std::any_of(entries_.begin(), entries_.end(), [observer](const Entry& e) { return e.key == observer; });
  entries_.push_back(Entry{nextId_++, observer, observer, name, std::move(handler)});
  if (!known) connect(observer, &QObject::destroyed, this, [this, observer] { forget(observer); });
}

void NotificationCenter::forget(const QObject* key) {
  std::erase_if(entries_, [key](const Entry& e) { return e.key == key; });
}

void NotificationCenter::removeObserver(QObject* observer) {
  if (!observer) return;
  forget(observer);
  disconnect(observer, &QObject::destroyed, this, nullptr);
}

void NotificationCenter::removeObserver(QObject* observer, const QString& name) {
  std::erase_if(entries_, [&](const Entry& e) { return e.key == observer && e.name == name; });
}

void NotificationCenter::post(const QString& name, const QVariant& object, const QVariantMap& userInfo) {
  QV_ASSERT(QThread::currentThread() == thread());  // off the main thread, postOnMain
  const Notification note{name, object, userInfo};
  // Snapshot of ids: observers may be added or removed during delivery.
  std::vector<quint64> ids;
  for (const Entry& e : entries_)
    if (e.name.isEmpty() || e.name == name) ids.push_back(e.id);
  for (quint64 id : ids) {
    auto it = std::find_if(entries_.begin(), entries_.end(), [id](const Entry& e) { return e.id == id; });
    if (it == entries_.end() || !it->observer) continue;
    Handler handler = it->handler;
    handler(note);
  }
}

void NotificationCenter::postOnMain(const QString& name, const QVariant& object, const QVariantMap& userInfo) {
  QMetaObject::invokeMethod(
      this, [this, name, object, userInfo] { post(name, object, userInfo); }, Qt::QueuedConnection);
}

int NotificationCenter::observerCount() const { return static_cast<int>(entries_.size()); }

}  // namespace ui
