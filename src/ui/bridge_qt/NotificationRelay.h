#pragma once
// Carries the bridge's notifications ("NormalScranValue", "DoRecovery",
// "aInitFinished", ...) into the toolkit's notification centre, so windows
// observe one centre only. Delivery is always on the GUI thread.

#include <QObject>

#include "bridge/NotificationCenter.h"

namespace bridge_qt {

class NotificationRelay final : public QObject {
  Q_OBJECT
 public:
  // Starts relaying every bridge notification; stops when destroyed.
  explicit NotificationRelay(QObject* parent = nullptr);
  ~NotificationRelay() override;
  NotificationRelay(const NotificationRelay&) = delete;
  NotificationRelay& operator=(const NotificationRelay&) = delete;

 private:
  bridge::NotificationCenter::Token token_ = 0;
};

}  // namespace bridge_qt
