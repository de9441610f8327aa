#include "cli/CliSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <list>

#include "bridge/QVUIDeviceData.h"

namespace cli {

const char* FileSystemName(int code) {
  switch (code) {
    case 0:
      return "FAT12";
    case 1:
      return "FAT16";
    case 2:
      return "FAT32";
    case 3:
      return "NTFS";
    case 7:
      return "exFAT";
    case 8:
      return "HFS+";
    case 9:
      return "APFS";
    case 10:
      return "unknown";
    default:
      return "-";
  }
}

namespace {

std::string VolumeList(int disk) {
  std::list<_DiskVolumeData> rows;
  QVUIDeviceData* list = QVUIDeviceData::instance();
  list->GetDiskVolumeInfo(list->GetDiskStorageByIndex(disk), rows);
  std::string text;
  for (const _DiskVolumeData& r : rows) {
    text += (text.empty() ? "" : ", ") + std::to_string(r.volumeIndex) + " (" + FileSystemName(r.fileSystem) + ")";
  }
  return text.empty() ? "none" : text;
}

// What the first bytes of a file say when they are plainly not a disk image:
// a compressed file or text. "" when they may be one.
std::string NotAnImage(const std::string& path, long long size) {
  if (size == 0) return path + " is empty (0 bytes): not a disk image";
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return "";
  unsigned char head[4096];
  const ssize_t got = ::pread(fd, head, sizeof head, 0);
  ::close(fd);
  if (got <= 0) return "";
  const auto n = static_cast<std::size_t>(got);
  struct Packed {
    const char* magic;
    std::size_t length;
    const char* what;
    const char* undo;
  };
  static const Packed kPacked[] = {
      {"\x1f\x8b", 2, "gzip", "gunzip -k"},
      {"\xfd"
       "7zXZ\x00",
       6, "xz", "unxz -k"},
      {"BZh", 3, "bzip2", "bunzip2 -k"},
      {"\x28\xb5\x2f\xfd", 4, "zstd", "unzstd"},
      {"PK\x03\x04", 4, "zip", "unzip"},
      {"7z\xbc\xaf\x27\x1c", 6, "7-Zip", "7z x"},
  };
  for (const Packed& p : kPacked) {
    if (n >= p.length && std::memcmp(head, p.magic, p.length) == 0) {
      return path + " is a " + p.what + "-compressed file, not a disk image: decompress it first (" + p.undo + " '" +
             path + "') and scan the result; --disk searches its compressed bytes as they are";
    }
  }
  std::size_t text = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char c = head[i];
    if ((c >= 0x20 && c != 0x7F) || c == '\n' || c == '\r' || c == '\t') ++text;
  }
  if (text == n && size < (1LL << 20)) {
    return path +
           " looks like a text file, not a disk image (no partition table or file system in it); "
           "--disk searches it by content anyway";
  }
  return "";
}

}  // namespace

bool ResolveSource(const Options& options, Source& out, std::string& error) {
  const std::string& path = options.source;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    error = path + ": " + std::strerror(errno) + " (missing device or image file)";
    return false;
  }
  QVUIDeviceData* list = QVUIDeviceData::instance();
  int disk = -1;
  int volume = -1;
  if (S_ISBLK(st.st_mode)) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      const bool denied = errno == EACCES || errno == EPERM;
      error = path + ": " +
              (!denied          ? std::strerror(errno)
               : geteuid() == 0 ? "not permitted"
                                : "not permitted: run as root");
      return false;
    }
    ::close(fd);
    list->InitDeviceInfo();
    if (!list->FindVolumeByName(path, disk, volume)) {
      disk = list->FindDiskByName(path);
      if (disk < 0) {
        error = path + ": not found among this machine's disks and volumes";
        return false;
      }
    } else if (options.volume || (options.disk && options.command != Command::kImage)) {
      error = path + " is a volume: --volume and --disk apply to a whole disk";
      return false;
    }
  } else if (S_ISREG(st.st_mode)) {
    if (const std::string notImage = NotAnImage(path, st.st_size); !notImage.empty() && !options.disk) {
      error = notImage;
      return false;
    }
    std::string why;
    disk = list->QVOpenImageFile(path, why);
    if (disk < 0) {
      error = path + ": " + (why.empty() ? "cannot be opened" : why);
      return false;
    }
  } else {
    error = path + ": neither a block device nor an image file";
    return false;
  }

  // An image copies the whole disk or image unless a volume is chosen.
  const bool whole = options.disk || (options.command == Command::kImage && !options.volume);
  if (volume < 0 && !whole) {
    std::list<_DiskVolumeData> rows;
    list->GetDiskVolumeInfo(list->GetDiskStorageByIndex(disk), rows);
    if (options.volume) {
      volume = *options.volume;
      if (list->GetStorageByDiskVolumeIndex(disk, volume) == nullptr) {
        error = "unknown volume " + std::to_string(volume) + " of " + path + "; volumes: " + VolumeList(disk);
        return false;
      }
    } else if (rows.size() == 1) {
      volume = rows.front().volumeIndex;
    } else if (rows.empty()) {
      volume = -1;  // nothing recognised: the whole device, completely
      std::fprintf(stderr,
                   "quarnel-cli: no partition table or file system recognised on %s; searching all of it by "
                   "content (a complete scan)\n",
                   path.c_str());
    } else {
      error = path + " holds several volumes: choose one with --volume N (" + VolumeList(disk) + ") or use --disk";
      return false;
    }
  }
  out.device = list->GetStorageByDiskVolumeIndex(disk, volume);
  out.deep = (options.deep || options.disk || volume < 0) ? 1 : 0;
  if (out.device == nullptr) {
    error = path + ": no device to scan";
    return false;
  }
  if (out.device->IsPermitted() == 0) {
    error = path + (geteuid() == 0 ? ": not permitted" : ": not permitted: run as root");
    return false;
  }
  return true;
}

}  // namespace cli
