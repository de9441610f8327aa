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
  // device stacked on them (device mapper, RAID), the devices a stacked source
  // is made of, and the loop devices of the same backing file with their
  // families. For an image file, the loop devices backed by it.
  std::set<std::uint64_t> devices;
  // (st_dev, st_ino) of an image file, or of the file behind a loop device
  // of the source; its own bytes must never be written.
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
// of the source's devices, that ancestor is the image file itself, or what
// backs its mount (a device, an image file, their loop devices, the other
// devices of a btrfs volume) shares storage with the source.
bool DestinationOnSource(const SourceIdentity& source, const std::string& destination,
                         const std::string& mountInfoPath = "/proc/self/mountinfo",
                         const std::string& sysfsRoot = "/sys");

}  // namespace platform
