#include "app/shell/QVMediaMonitor.h"

#include <QDir>
#include <QFile>
#include <QVariantList>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <linux/netlink.h>
#include <sys/socket.h>
#include <unistd.h>

#ifdef QUARNEL_HAVE_LIBUDEV
#include <libudev.h>
#endif

#include "ui/toolkit/NotificationCenter.h"

namespace shell {

struct QVMediaMonitor::UdevHandles {
#ifdef QUARNEL_HAVE_LIBUDEV
  udev* context = nullptr;
  udev_monitor* monitor = nullptr;
  ~UdevHandles() {
    if (monitor != nullptr) udev_monitor_unref(monitor);
    if (context != nullptr) udev_unref(context);
  }
#endif
};

QVMediaMonitor::QVMediaMonitor() : QVMediaMonitor(Options{}) {}

QVMediaMonitor::QVMediaMonitor(const Options& options) : options_(options) {
  batch_.setSingleShot(true);
  connect(&batch_, &QTimer::timeout, this, &QVMediaMonitor::flush);
}

QVMediaMonitor::~QVMediaMonitor() {
  notifier_.reset();
  udev_.reset();
  if (source_ == Source::Kernel && fd_ >= 0) ::close(fd_);
}

bool QVMediaMonitor::start() {
  if (source_ != Source::None) return true;
  prime();
  // udevd's events come once the device nodes exist; without udevd only
  // the kernel's own messages are there.
  const bool udevd = QFile::exists(QStringLiteral("/run/udev/control"));
  if (options_.preferUdev && udevd && openUdev())
    source_ = Source::Udev;
  else if (openKernel())
    source_ = Source::Kernel;
  else {
    std::fprintf(stderr, "matching notification registration failed: %d\n", errno);
    return false;
  }
  notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
    if (source_ == Source::Udev)
      readUdev();
    else
      readKernel();
  });
  return true;
}

void QVMediaMonitor::prime() {
  const QDir dir(options_.sysfsRoot + QStringLiteral("/class/block"));
  for (const QString& name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System)) {
    const std::string n = name.toStdString();
    if (auto size = sizeOf(n)) known_[n] = *size;
  }
}

std::optional<long long> QVMediaMonitor::sizeOf(const std::string& name) const {
  QFile file(options_.sysfsRoot + QStringLiteral("/class/block/") + QString::fromStdString(name) +
             QStringLiteral("/size"));
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  bool ok = false;
  const long long sectors = file.read(32).trimmed().toLongLong(&ok);
  if (!ok || sectors < 0 || sectors > (1LL << 53)) return std::nullopt;
  return sectors * 512;
}

bool QVMediaMonitor::openKernel() {
  const int fd = ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_KOBJECT_UEVENT);
  if (fd < 0) return false;
  sockaddr_nl addr{};
  addr.nl_family = AF_NETLINK;
  addr.nl_groups = 1;  // the kernel's own group
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return false;
  }
  fd_ = fd;
  return true;
}

void QVMediaMonitor::readKernel() {
  char buffer[8192];
  for (int i = 0; i < 256; ++i) {
    sockaddr_nl from{};
    iovec iov{buffer, sizeof buffer};
    msghdr msg{};
    msg.msg_name = &from;
    msg.msg_namelen = sizeof from;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    const ssize_t n = ::recvmsg(fd_, &msg, MSG_DONTWAIT);
    if (n <= 0) return;
    // Only the kernel (port 0) speaks here; a truncated message is dropped.
    if (from.nl_pid != 0 || (msg.msg_flags & MSG_TRUNC) != 0) continue;
    takeEvent(ParseKernelUevent(buffer, static_cast<std::size_t>(n)));
  }
}

bool QVMediaMonitor::openUdev() {
#ifdef QUARNEL_HAVE_LIBUDEV
  auto handles = std::make_unique<UdevHandles>();
  handles->context = udev_new();
  if (handles->context == nullptr) return false;
  handles->monitor = udev_monitor_new_from_netlink(handles->context, "udev");
  if (handles->monitor == nullptr ||
      udev_monitor_filter_add_match_subsystem_devtype(handles->monitor, "block", nullptr) < 0 ||
      udev_monitor_enable_receiving(handles->monitor) < 0)
    return false;
  fd_ = udev_monitor_get_fd(handles->monitor);
  if (fd_ < 0) return false;
  udev_ = std::move(handles);
  return true;
#else
  return false;
#endif
}

void QVMediaMonitor::readUdev() {
#ifdef QUARNEL_HAVE_LIBUDEV
  for (int i = 0; i < 256 && udev_; ++i) {
    udev_device* device = udev_monitor_receive_device(udev_->monitor);
    if (device == nullptr) return;
    UeventProps props;
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_device_get_properties_list_entry(device)) {
      const char* name = udev_list_entry_get_name(entry);
      const char* value = udev_list_entry_get_value(entry);
      if (name != nullptr && value != nullptr) props.emplace(name, value);
    }
    udev_device_unref(device);
    takeEvent(props);
  }
#endif
}

void QVMediaMonitor::takeEvent(const UeventProps& props) {
  auto it = props.find("SUBSYSTEM");
  if (it == props.end() || it->second != "block") return;
  const std::string name = KernelName(props);
  if (name.empty()) return;
  // The last event of a device in a batch says what happened to it.
  pending_[name] = props;
  if (!batch_.isActive()) batch_.start(options_.batchMs);
}

void QVMediaMonitor::flush() {
  batch_.stop();
  QVariantList arrivals;
  std::vector<QVariantMap> removals;
  for (const auto& [name, props] : pending_) {
    const auto known = known_.find(name);
    const std::optional<long long> before =
        known == known_.end() ? std::nullopt : std::optional<long long>(known->second);
    const bool removed = props.count("ACTION") != 0 && props.at("ACTION") == "remove";
    const long long now = removed ? 0 : sizeOf(name).value_or(0);
    switch (ClassifyMediaEvent(props, before, now)) {
      case MediaChange::Arrived:
        arrivals << BuildArrivalRecord(props, now);
        std::printf("CIOKitFunc::BSDName2DevPath = /dev/%s\n", name.c_str());
        break;
      case MediaChange::Removed:
        removals.push_back(BuildRemovalRecord(props));
        std::printf("usb detatch name = %s\n", name.c_str());
        break;
      case MediaChange::None:
        break;
    }
    if (removed)
      known_.erase(name);
    else
      known_[name] = now;
  }
  pending_.clear();
  std::fflush(stdout);
  auto& centre = ui::NotificationCenter::defaultCenter();
  if (!arrivals.isEmpty()) {
    std::printf("USB Device Added Notification.\n");
    centre.post(QStringLiteral("RefreshAttachDevice"), arrivals);
  }
  for (const QVariantMap& record : removals) centre.post(QStringLiteral("RefreshDetachDevice"), record);
}

}  // namespace shell
