#include "platform/SourceIdentity.h"

#include <fcntl.h>
#include <linux/loop.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

#include "platform/MountInfo.h"

namespace fs = std::filesystem;

namespace platform {

namespace {

std::uint64_t DevOf(unsigned major, unsigned minor) { return static_cast<std::uint64_t>(makedev(major, minor)); }

bool ReadDevFile(const fs::path& file, std::uint64_t& dev) {
  std::ifstream in(file);
  unsigned major = 0;
  unsigned minor = 0;
  char colon = 0;
  if (!(in >> major >> colon >> minor) || colon != ':') return false;
  dev = DevOf(major, minor);
  return true;
}

// The sysfs folder of a block device number, resolved through /sys/dev/block.
fs::path SysfsFolderOf(std::uint64_t dev, const std::string& sysfsRoot) {
  const fs::path link =
      fs::path(sysfsRoot) / "dev" / "block" /
      (std::to_string(major(static_cast<dev_t>(dev))) + ":" + std::to_string(minor(static_cast<dev_t>(dev))));
  std::error_code ec;
  fs::path folder = fs::canonical(link, ec);
  return ec ? fs::path() : folder;
}

// Adds the device of `folder` and, recursively, every holder stacked on it.
void AddWithHolders(const fs::path& folder, const std::string& sysfsRoot, std::set<std::uint64_t>& out, int depth) {
  if (depth > 16) return;
  std::uint64_t dev = 0;
  if (!ReadDevFile(folder / "dev", dev) || !out.insert(dev).second) return;
  std::error_code ec;
  for (const auto& holder : fs::directory_iterator(folder / "holders", ec)) {
    std::error_code ec2;
    const fs::path target = fs::canonical(holder.path(), ec2);
    if (!ec2) AddWithHolders(target, sysfsRoot, out, depth + 1);
  }
}

// The disk of a block device, each of its partitions, and their holders.
void AddDiskFamily(std::uint64_t dev, const std::string& sysfsRoot, std::set<std::uint64_t>& out) {
  out.insert(dev);
  fs::path folder = SysfsFolderOf(dev, sysfsRoot);
  if (folder.empty()) return;
  std::error_code ec;
  if (fs::exists(folder / "partition", ec)) folder = folder.parent_path();
  AddWithHolders(folder, sysfsRoot, out, 0);
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    std::error_code ec2;
    if (entry.is_directory(ec2) && fs::exists(entry.path() / "partition", ec2)) {
      AddWithHolders(entry.path(), sysfsRoot, out, 0);
    }
  }
}

// Loop devices whose backing file is the image.
void AddLoopDevicesOf(const struct stat& image, const std::string& sysfsRoot, std::set<std::uint64_t>& out) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(fs::path(sysfsRoot) / "block", ec)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("loop", 0) != 0) continue;
    std::ifstream in(entry.path() / "loop" / "backing_file");
    std::string backing;
    if (!std::getline(in, backing) || backing.empty()) continue;
    struct stat st {};
    if (::stat(backing.c_str(), &st) != 0) continue;
    if (st.st_dev != image.st_dev || st.st_ino != image.st_ino) continue;
    std::uint64_t dev = 0;
    if (ReadDevFile(entry.path() / "dev", dev)) AddDiskFamily(dev, sysfsRoot, out);
  }
}

using FileId = std::pair<std::uint64_t, std::uint64_t>;

// The backing file of a loop device: from its sysfs entry, or from the loop
// driver itself when the path there is gone (renamed, deleted, another mount
// namespace).
bool LoopBackingFile(const fs::path& folder, const std::string& kernelName, FileId& out) {
  std::ifstream in(folder / "loop" / "backing_file");
  std::string backing;
  if (std::getline(in, backing) && !backing.empty()) {
    struct stat st {};
    if (::stat(backing.c_str(), &st) == 0) {
      out = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
      return true;
    }
  }
  if (kernelName.rfind("loop", 0) != 0) return false;
  const int fd = ::open(("/dev/" + kernelName).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  loop_info64 info{};
  const bool ok = ::ioctl(fd, LOOP_GET_STATUS64, &info) == 0;
  ::close(fd);
  if (!ok) return false;
  out = {static_cast<std::uint64_t>(info.lo_device), static_cast<std::uint64_t>(info.lo_inode)};
  return true;
}

// Adds every device below `folder` (its slaves, recursively): the storage a
// device-mapper or RAID device is made of.
void AddSlaves(const fs::path& folder, std::set<std::uint64_t>& out, int depth) {
  if (depth > 16) return;
  std::error_code ec;
  for (const auto& slave : fs::directory_iterator(folder / "slaves", ec)) {
    std::error_code ec2;
    const fs::path target = fs::canonical(slave.path(), ec2);
    std::uint64_t dev = 0;
    if (ec2 || !ReadDevFile(target / "dev", dev) || !out.insert(dev).second) continue;
    AddSlaves(target, out, depth + 1);
  }
}

// Files behind the loop devices among `devices`, and every other loop device
// of those files with its family: one image reached by two loop devices is
// one source.
void AddLoopBackings(SourceIdentity& id, const std::string& sysfsRoot) {
  for (int round = 0; round < 4; ++round) {
    const std::size_t before = id.devices.size() + id.files.size();
    const std::set<std::uint64_t> devices = id.devices;
    for (const std::uint64_t dev : devices) {
      const fs::path folder = SysfsFolderOf(dev, sysfsRoot);
      FileId file;
      if (folder.empty() || !LoopBackingFile(folder, folder.filename().string(), file)) continue;
      if (!id.files.insert(file).second) continue;
      struct stat st {};
      st.st_dev = static_cast<dev_t>(file.first);
      st.st_ino = static_cast<ino_t>(file.second);
      AddLoopDevicesOf(st, sysfsRoot, id.devices);
    }
    if (id.devices.size() + id.files.size() == before) break;
  }
}

// The devices of the btrfs file system that has `dev` among its devices.
std::set<std::uint64_t> BtrfsDevicesWith(std::uint64_t dev, const std::string& sysfsRoot) {
  std::error_code ec;
  for (const auto& fsFolder : fs::directory_iterator(fs::path(sysfsRoot) / "fs" / "btrfs", ec)) {
    std::set<std::uint64_t> members;
    std::error_code ec2;
    for (const auto& member : fs::directory_iterator(fsFolder.path() / "devices", ec2)) {
      std::error_code ec3;
      std::uint64_t d = 0;
      const fs::path target = fs::canonical(member.path(), ec3);
      if (!ec3 && ReadDevFile(target / "dev", d)) members.insert(d);
    }
    if (members.count(dev) != 0) return members;
  }
  return {};
}

bool Shares(const SourceIdentity& a, const SourceIdentity& b) {
  for (const std::uint64_t d : b.devices) {
    if (a.devices.count(d) != 0) return true;
  }
  for (const FileId& f : b.files) {
    if (a.files.count(f) != 0) return true;
  }
  return false;
}

}  // namespace

SourceIdentity IdentifySource(const std::string& path, const std::string& sysfsRoot) {
  SourceIdentity id;
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return id;
  if (S_ISBLK(st.st_mode)) {
    AddDiskFamily(static_cast<std::uint64_t>(st.st_rdev), sysfsRoot, id.devices);
    const fs::path folder = SysfsFolderOf(static_cast<std::uint64_t>(st.st_rdev), sysfsRoot);
    if (!folder.empty()) AddSlaves(folder, id.devices, 0);
  } else if (S_ISREG(st.st_mode)) {
    id.files.insert({static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)});
    AddLoopDevicesOf(st, sysfsRoot, id.devices);
  }
  AddLoopBackings(id, sysfsRoot);
  return id;
}

std::string NearestExistingPath(const std::string& path) {
  if (path.empty()) return "";
  std::error_code ec;
  fs::path p = fs::absolute(fs::path(path), ec);
  if (ec) return "";
  p = p.lexically_normal();
  while (true) {
    struct stat st {};
    if (::stat(p.c_str(), &st) == 0) return p.string();
    if (!p.has_relative_path()) return "";
    fs::path parent = p.parent_path();
    if (parent == p) return "";
    p = parent;
  }
}

bool DestinationOnSource(const SourceIdentity& source, const std::string& destination, const std::string& mountInfoPath,
                         const std::string& sysfsRoot) {
  const std::string existing = NearestExistingPath(destination);
  if (existing.empty()) return false;
  struct stat st {};
  if (::stat(existing.c_str(), &st) != 0) return false;
  if (source.files.count({static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)}) != 0) {
    return true;
  }
  if (source.devices.count(static_cast<std::uint64_t>(st.st_dev)) != 0) return true;

  // File systems that report an anonymous device number (btrfs, FUSE): the
  // mount's source device decides.
  std::error_code ec;
  const std::string real = fs::canonical(existing, ec).string();
  if (ec) return false;
  const MountEntry* best = nullptr;
  const std::vector<MountEntry> mounts = ReadMountInfo(mountInfoPath);
  for (const MountEntry& m : mounts) {
    const std::string& mp = m.mountPoint;
    const bool under = real == mp || mp == "/" ||
                       (real.size() > mp.size() && real.compare(0, mp.size(), mp) == 0 && real[mp.size()] == '/');
    if (under && (best == nullptr || mp.size() >= best->mountPoint.size())) best = &m;
  }
  if (best == nullptr) return false;
  if (source.devices.count(DevOf(best->major, best->minor)) != 0) return true;
  // What backs the mount (a device, an image file, the loop devices of
  // either, the other devices of a btrfs volume) against what backs the source.
  if (best->source.empty() || best->source[0] != '/') return false;
  SourceIdentity mounted = IdentifySource(best->source, sysfsRoot);
  struct stat src {};
  if (best->fsType == "btrfs" && ::stat(best->source.c_str(), &src) == 0 && S_ISBLK(src.st_mode)) {
    for (const std::uint64_t d : BtrfsDevicesWith(static_cast<std::uint64_t>(src.st_rdev), sysfsRoot)) {
      mounted.devices.insert(d);
    }
  }
  return Shares(source, mounted);
}

}  // namespace platform
