#include "platform/SysfsBlockDevices.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace platform {
namespace fs = std::filesystem;
namespace {

std::string ReadLine(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  if (!in || !std::getline(in, line)) return {};
  while (!line.empty() && (line.back() == ' ' || line.back() == '\n' || line.back() == '\r' || line.back() == '\t')) {
    line.pop_back();
  }
  return line;
}

bool ReadU64(const fs::path& file, std::uint64_t& out) {
  const std::string text = ReadLine(file);
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const unsigned long long v = std::strtoull(text.c_str(), &end, 10);
  if (errno != 0 || end == nullptr || *end != '\0') return false;
  out = v;
  return true;
}

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

int BusFromDevicePath(const fs::path& devLink, const fs::path& sysfsRoot) {
  std::error_code ec;
  const fs::path resolved = fs::canonical(devLink, ec);
  const std::string p = ec ? fs::read_symlink(devLink, ec).string() : resolved.string();
  if (p.empty() || p.find("/devices/virtual/") != std::string::npos) return kBusVirtual;
  if (p.find("/usb") != std::string::npos) return kBusUsb;
  const auto ata = p.find("/ata");
  if (ata != std::string::npos) {
    // libata: SATA when the link reports a SATA speed.
    const auto slash = p.find('/', ata + 1);
    const std::string port = p.substr(ata + 1, slash == std::string::npos ? std::string::npos : slash - ata - 1);
    const std::string spd =
        ReadLine(sysfsRoot / "class/ata_link" / (port.empty() ? "" : "link" + port.substr(3)) / "sata_spd");
    return spd.empty() || spd == "<unknown>" ? kBusAta : kBusSata;
  }
  if (p.find("/nvme") != std::string::npos || p.find("/mmc") != std::string::npos ||
      p.find("/virtio") != std::string::npos) {
    return kBusUnknown;
  }
  if (p.find("/host") != std::string::npos || p.find("/target") != std::string::npos) return kBusScsi;
  return kBusUnknown;
}

void ReadCommon(const fs::path& dir, BlockDeviceInfo& info) {
  ReadU64(dir / "size", info.size512);
  std::uint64_t v = 0;
  if (ReadU64(dir / "ro", v)) info.readOnly = v != 0;
  const std::string dev = ReadLine(dir / "dev");
  const auto colon = dev.find(':');
  if (colon != std::string::npos) {
    info.major = static_cast<std::uint32_t>(std::strtoul(dev.substr(0, colon).c_str(), nullptr, 10));
    info.minor = static_cast<std::uint32_t>(std::strtoul(dev.substr(colon + 1).c_str(), nullptr, 10));
  }
}

bool IsLeftOut(const std::string& name, const fs::path& dir) {
  if (StartsWith(name, "sr") || StartsWith(name, "ram") || StartsWith(name, "zram")) return true;
  if (ReadLine(dir / "device/type") == "5") return true;  // optical drive
  if (StartsWith(name, "loop") && ReadLine(dir / "loop/backing_file").empty()) return true;
  return false;
}

}  // namespace

std::string DevicePath(const std::string& kernelName) { return "/dev/" + kernelName; }

std::vector<BlockDeviceInfo> ListWholeDisks(const std::string& sysfsRoot) {
  std::vector<BlockDeviceInfo> disks;
  const fs::path root(sysfsRoot);
  std::error_code ec;
  for (fs::directory_iterator it(root / "class/block", ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    const fs::path dir = it->path();
    if (fs::exists(dir / "partition", ec)) continue;
    if (IsLeftOut(name, dir)) continue;
    BlockDeviceInfo info;
    info.name = name;
    ReadCommon(dir, info);
    std::uint64_t v = 0;
    if (ReadU64(dir / "queue/logical_block_size", v) && v != 0 && v <= 65536)
      info.logicalBlockSize = static_cast<std::uint32_t>(v);
    if (ReadU64(dir / "removable", v)) info.removable = v != 0;
    info.vendor = ReadLine(dir / "device/vendor");
    info.model = ReadLine(dir / "device/model");
    info.loopBackingFile = ReadLine(dir / "loop/backing_file");
    info.bus = BusFromDevicePath(dir, root);
    disks.push_back(std::move(info));
  }
  return disks;
}

std::vector<BlockDeviceInfo> ListPartitions(const std::string& diskName, const std::string& sysfsRoot) {
  std::vector<BlockDeviceInfo> parts;
  const fs::path root(sysfsRoot);
  const fs::path diskDir = root / "class/block" / diskName;
  std::uint32_t lbs = 512;
  std::uint64_t v = 0;
  if (ReadU64(diskDir / "queue/logical_block_size", v) && v != 0 && v <= 65536) lbs = static_cast<std::uint32_t>(v);
  std::error_code ec;
  // Partitions are sub-folders of the disk's folder that hold a "partition" file.
  for (fs::directory_iterator it(diskDir, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path dir = it->path();
    std::error_code e2;
    if (!fs::is_directory(dir, e2) || !fs::exists(dir / "partition", e2)) continue;
    BlockDeviceInfo info;
    info.name = dir.filename().string();
    info.parentDisk = diskName;
    info.isPartition = true;
    info.logicalBlockSize = lbs;
    ReadCommon(dir, info);
    if (ReadU64(dir / "partition", v)) info.partitionNumber = static_cast<int>(std::min<std::uint64_t>(v, 1u << 20));
    ReadU64(dir / "start", info.start512);
    parts.push_back(std::move(info));
  }
  std::sort(parts.begin(), parts.end(),
            [](const BlockDeviceInfo& a, const BlockDeviceInfo& b) { return a.partitionNumber < b.partitionNumber; });
  return parts;
}

}  // namespace platform
