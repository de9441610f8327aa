#include "app/shell/MediaRecords.h"

#include <cstring>

namespace shell {

UeventProps ParseKernelUevent(const char* data, std::size_t length) {
  UeventProps props;
  if (data == nullptr || length == 0) return props;
  std::size_t pos = 0;
  bool first = true;
  while (pos < length) {
    const void* end = std::memchr(data + pos, '\0', length - pos);
    const std::size_t n =
        end != nullptr ? static_cast<std::size_t>(static_cast<const char*>(end) - (data + pos)) : length - pos;
    const std::string field(data + pos, n);
    pos += n + 1;
    if (first) {
      first = false;
      // The header of a kernel message; udevd's own messages begin
      // with "libudev" and are not read here.
      if (field.find('@') == std::string::npos) return {};
      continue;
    }
    const std::size_t eq = field.find('=');
    if (eq == std::string::npos || eq == 0) continue;
    props.emplace(field.substr(0, eq), field.substr(eq + 1));
  }
  if (props.find("ACTION") == props.end()) return {};
  return props;
}

std::string KernelName(const UeventProps& props) {
  auto it = props.find("DEVNAME");
  if (it == props.end()) return {};
  std::string name = it->second;
  if (name.rfind("/dev/", 0) == 0) name = name.substr(5);
  if (name.empty() || name.size() > 255 || name == "." || name == ".." || name.find('/') != std::string::npos)
    return {};
  for (unsigned char c : name)
    if (c < 0x20 || c == 0x7f) return {};
  return name;
}

namespace {

std::string value(const UeventProps& props, const char* key) {
  auto it = props.find(key);
  return it == props.end() ? std::string() : it->second;
}

}  // namespace

MediaChange ClassifyMediaEvent(const UeventProps& props, std::optional<long long> before, long long now) {
  if (value(props, "SUBSYSTEM") != "block" || KernelName(props).empty()) return MediaChange::None;
  const std::string action = value(props, "ACTION");
  if (action == "remove") return MediaChange::Removed;
  if (action != "add" && action != "change") return MediaChange::None;
  const long long was = before.value_or(0);
  if (now > 0) return now != was || !before ? MediaChange::Arrived : MediaChange::None;
  return was > 0 ? MediaChange::Removed : MediaChange::None;
}

QVariantMap BuildArrivalRecord(const UeventProps& props, long long sizeBytes) {
  QVariantMap record;
  record.insert(QStringLiteral("VolumePath"), QStringLiteral("/dev/") + QString::fromStdString(KernelName(props)));
  record.insert(QStringLiteral("VolumeSize"), static_cast<qlonglong>(sizeBytes));
  record.insert(QStringLiteral("isDisk"), value(props, "DEVTYPE") == "disk");
  return record;
}

QVariantMap BuildRemovalRecord(const UeventProps& props) {
  QVariantMap record;
  record.insert(QStringLiteral("USBPath"), QStringLiteral("/dev/") + QString::fromStdString(KernelName(props)));
  return record;
}

}  // namespace shell
