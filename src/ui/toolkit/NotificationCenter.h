#pragma once
// Notifications by name between the windows and the parts that feed them,
// delivered on the main thread.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <functional>
#include <vector>

namespace ui {

struct Notification {
  QString name;
  QVariant object;
  QVariantMap userInfo;
};

// Process-wide notifications by name, delivered synchronously on the main
// thread. Other threads use postOnMain(). Observers are dropped when destroyed.
class NotificationCenter : public QObject {
  Q_OBJECT
 public:
  using Handler = std::function<void(const Notification&)>;

  static NotificationCenter& defaultCenter();

  // An empty name observes every notification.
  void addObserver(QObject* observer, const QString& name, Handler handler);
  void removeObserver(QObject* observer);
  void removeObserver(QObject* observer, const QString& name);

  void post(const QString& name, const QVariant& object = {}, const QVariantMap& userInfo = {});
  // Thread-safe: queues the post to the main thread.
  void postOnMain(const QString& name, const QVariant& object = {}, const QVariantMap& userInfo = {});

  int observerCount() const;

 private:
  struct Entry {
    quint64 id;
    QPointer<QObject> observer;
    const QObject* key;
    QString name;
    Handler handler;
  };
  explicit NotificationCenter(QObject* parent = nullptr);
  void forget(const QObject* key);

  std::vector<Entry> entries_;
  quint64 nextId_ = 1;
};

}  // namespace ui
