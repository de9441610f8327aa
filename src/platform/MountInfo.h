#pragma once
// Mount points of block devices, from /proc/self/mountinfo.

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct MountEntry {
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  std::string mountPoint;
  std::string fsType;
  std::string source;
};

std::vector<MountEntry> ParseMountInfo(const std::string& text);
std::vector<MountEntry> ReadMountInfo(const std::string& path = "/proc/self/mountinfo");
// The first mount point of the device, "" when it is not mounted.
std::string MountPointOf(const std::vector<MountEntry>& mounts, std::uint32_t major, std::uint32_t minor);

}  // namespace platform
