#pragma once
// Which storage a scanned source occupies, and whether a destination path
// would be written onto it.

#include <cstdint>
#include <set>
#include <string>
#include <utility>

namespace platform {

struct SourceIdentity {
  // Device numbers (as dev_t) of every block device that shares the source's
  // storage: the whole disk, each of its partitions and, recursively, every
  // device stacked on them (device mapper, RAID). For an image file, the loop
  // devices backed by it and their families.
  std::set<std::uint64_t> devices;
  // (st_dev, st_ino) of an image file; its own bytes must never be written.
  std::set<std::pair<std::uint64_t, std::uint64_t>> files;

  bool Empty() const { return devices.empty() && files.empty(); }
};

// Identity of a block device ("/dev/sdb1") or an image file; empty when the
// path cannot be examined.
SourceIdentity IdentifySource(const std::string& path, const std::string& sysfsRoot = "/sys");

// The path itself when it exists, else its nearest existing ancestor
// (lexically, from the absolute form of the path); "" when none exists.
std::string NearestExistingPath(const std::string& path);

// True when writing at `destination` (existing or not) would write onto the
// source: the file system holding its nearest existing ancestor lies on one
// of the source's devices, or that ancestor is the image file itself.
bool DestinationOnSource(const SourceIdentity& source, const std::string& destination,
                         const std::string& mountInfoPath = "/proc/self/mountinfo");

}  // namespace platform
