#include "cli/CliSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <list>

#include "bridge/QVUIDeviceData.h"

namespace cli {

const char* FileSystemName(int code) {
  switch (code) {
    case 0: return "FAT12";
    case 1: return "FAT16";
    case 2: return "FAT32";
    case 3: return "NTFS";
    case 7: return "exFAT";
    case 8: return "HFS+";
    case 9: return "APFS";
    case 10: return "unknown";
    default: return "-";
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
      error = path + ": " + (!denied ? std::strerror(errno) : geteuid() == 0 ? "not permitted" : "not permitted: run as root");
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
    } else if (options.volume || options.disk) {
      error = path + " is a volume: --volume and --disk apply to a whole disk";
      return false;
    }
  } else if (S_ISREG(st.st_mode)) {
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

  if (volume < 0 && !options.disk) {
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
