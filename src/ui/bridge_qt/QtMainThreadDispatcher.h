#pragma once
// The bridge's "main thread" is the Qt GUI thread: closures posted by the
// bridge's worker threads run there as queued calls.

#include <QObject>

#include "bridge/MainThreadDispatcher.h"

namespace bridge_qt {

class QtMainThreadDispatcher final : public QObject, public bridge::IMainThreadDispatcher {
  Q_OBJECT
 public:
  // Lives on (and dispatches to) the thread that makes it: the GUI thread.
  explicit QtMainThreadDispatcher(QObject* parent = nullptr);

  void Post(std::function<void()> fn) override;
  bool IsMainThread() const override;
};

}  // namespace bridge_qt
