#pragma once
// SIGTERM, SIGINT and SIGHUP end the run loop like a quit, so the display
// inhibitor and the jobs are let go of as on a normal end.

#include <QObject>

class QSocketNotifier;

namespace shell {

class QuitOnSignals : public QObject {
  Q_OBJECT
 public:
  explicit QuitOnSignals(QObject* parent = nullptr);
  ~QuitOnSignals() override;

 private:
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace shell
