#pragma once
// Follows block devices that come and go while the program runs and posts
// "RefreshAttachDevice" (object: the list of arrival records of one batch)
// and "RefreshDetachDevice" (object: one removal record per medium) in
// ui::NotificationCenter. Events come from udevd's monitor where udevd
// runs, else straight from the kernel (NETLINK_KOBJECT_UEVENT); the socket
// is watched on the GUI thread. Events that arrive together (a loop device
// attached gives several) make one batch, and a medium whose size did not
// change posts nothing. Media present at start are not reported.

#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "app/shell/MediaRecords.h"

namespace shell {

class QVMediaMonitor : public QObject {
  Q_OBJECT
 public:
  enum class Source { None, Udev, Kernel };

  struct Options {
    // Where device sizes are read ("<root>/class/block/NAME/size").
    QString sysfsRoot = QStringLiteral("/sys");
    // How long the monitor gathers events before it posts.
    int batchMs = 250;
    // Prefer udevd's monitor when udevd runs.
    bool preferUdev = true;
  };

  QVMediaMonitor();
  explicit QVMediaMonitor(const Options& options);
  ~QVMediaMonitor() override;

  // Opens the event source and notes the media present now; false (and
  // a log line) when no source could be opened.
  bool start();
  Source source() const { return source_; }

  // Takes one event's properties (the sources call it; tests too).
  void takeEvent(const UeventProps& props);
  // Posts what was gathered now.
  void flush();

 private:
  void prime();
  bool openUdev();
  bool openKernel();
  void readKernel();
  void readUdev();
  std::optional<long long> sizeOf(const std::string& name) const;

  Options options_;
  Source source_ = Source::None;
  int fd_ = -1;
  std::unique_ptr<QSocketNotifier> notifier_;
  struct UdevHandles;
  std::unique_ptr<UdevHandles> udev_;
  std::map<std::string, long long> known_;
  std::map<std::string, UeventProps> pending_;
  QTimer batch_;
};

}  // namespace shell
