#include "ui/bridge_qt/QtMainThreadDispatcher.h"

#include <QMetaObject>
#include <QThread>

namespace bridge_qt {

QtMainThreadDispatcher::QtMainThreadDispatcher(QObject* parent) : QObject(parent) {}

void QtMainThreadDispatcher::Post(std::function<void()> fn) {
  if (!fn) return;
  // Always queued, also from the GUI thread itself: a post never runs
  // inside its poster.
  QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
}

bool QtMainThreadDispatcher::IsMainThread() const { return QThread::currentThread() == thread(); }

}  // namespace bridge_qt
