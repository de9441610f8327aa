#pragma once
// Keeps the display awake while the program runs: the session's
// org.freedesktop.ScreenSaver.Inhibit, else logind's idle inhibitor on the
// system bus. Without either bus the program goes on (and says so).

#include <QDBusUnixFileDescriptor>
#include <QString>

namespace shell {

class SleepInhibitor {
 public:
  enum class Kind { None, ScreenSaver, Logind };

  explicit SleepInhibitor(QString reason = QStringLiteral("Quarnel is running"));
  ~SleepInhibitor();
  SleepInhibitor(const SleepInhibitor&) = delete;
  SleepInhibitor& operator=(const SleepInhibitor&) = delete;

  // Starts keeping the display awake; how it does.
  Kind PreventSleep();
  // Stops it (nothing when it was not started).
  void ReleasePreventObj();
  Kind kind() const { return kind_; }

 private:
  bool tryScreenSaver();
  bool tryLogind();

  QString reason_;
  Kind kind_ = Kind::None;
  uint cookie_ = 0;
  QDBusUnixFileDescriptor logindFd_;
};

}  // namespace shell
