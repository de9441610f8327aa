#pragma once
// The Sleuth Kit's listing of an image, the tests' answer key: one entry a
// line of `fls -l`, or of `fls -m` (its body file).

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

struct FlsBodyEntry {
  std::string path;        // from the volume's root, with a leading '/'
  bool deleted = false;    // the path was marked " (deleted)" (the mark is cut off)
  bool directory = false;  // its metadata is a folder's
  std::string inode;       // as listed ("36", "64-128-2")
  long long size = 0;
  long long mtime = 0;  // seconds since 1970
};

// `fls -r -m /` of the volume `offsetSectors` into the image (with `-d` when
// `deletedOnly`), in its order.
std::vector<FlsBodyEntry> FlsBody(const std::string& image, long long offsetSectors = 0, bool deletedOnly = false);

}  // namespace testsupport
