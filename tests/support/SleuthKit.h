#pragma once
// The Sleuth Kit's listing of an image, the tests' answer key: one entry a
// line of `fls -l`.

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

struct FlsEntry {
  std::string path;        // from the volume's root, without a leading '/'
  bool directory = false;  // its metadata is a folder's
  bool deleted = false;    // "*": an unallocated name
  std::uint64_t inode = 0;
  long long size = -1;
  // "YYYY-MM-DD HH:MM:SS" in UTC.
  std::string mtime;
  std::string atime;
  std::string crtime;
};

// `fls -r -p -l -z UTC` of the volume `offsetSectors` into the image (with
// `-d` when `deletedOnly`), in its order.
std::vector<FlsEntry> FlsLong(const std::string& image, long long offsetSectors = 0, bool deletedOnly = false);

}  // namespace testsupport
