#include "hfsplus/DiskImage.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace hfstest {

Bytes MakeDisk(std::size_t totalBytes, std::uint32_t sectorSize, const std::vector<PlacedVolume>& volumes) {
  Bytes disk(totalBytes, 0);
  for (const PlacedVolume& v : volumes) {
    const std::size_t at = static_cast<std::size_t>(v.startSector) * sectorSize;
    if (at + v.image.size() > disk.size()) throw std::runtime_error("volume beyond the disk");
    std::copy(v.image.begin(), v.image.end(), disk.begin() + static_cast<long>(at));
  }
  return disk;
}

void ZeroMainHeader(Bytes& disk, std::uint32_t sectorSize, long long startSector) {
  const std::size_t at = static_cast<std::size_t>(startSector) * sectorSize + 1024;
  std::fill(disk.begin() + static_cast<long>(at), disk.begin() + static_cast<long>(at + 512), 0);
}

void WriteSparse(const std::string& path, const Bytes& disk) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) throw std::runtime_error("cannot create " + path);
  if (::ftruncate(fd, static_cast<off_t>(disk.size())) != 0) {
    ::close(fd);
    throw std::runtime_error("cannot size " + path);
  }
  constexpr std::size_t kPiece = 4096;
  for (std::size_t at = 0; at < disk.size(); at += kPiece) {
    const std::size_t n = std::min(kPiece, disk.size() - at);
    const auto* p = disk.data() + at;
    if (std::all_of(p, p + n, [](std::uint8_t b) { return b == 0; })) continue;
    if (::pwrite(fd, p, n, static_cast<off_t>(at)) != static_cast<ssize_t>(n)) {
      ::close(fd);
      throw std::runtime_error("cannot write " + path);
    }
  }
  ::close(fd);
}

bool WriteGptWithSgdisk(const std::string& path, const std::vector<std::pair<long long, long long>>& partitions) {
  if (Capture("command -v sgdisk").empty()) return false;
  std::string cmd = "sgdisk -o";
  int n = 1;
  for (const auto& [start, sectors] : partitions) {
    cmd += " -n" + std::to_string(n) + ":" + std::to_string(start) + ":" + std::to_string(start + sectors - 1);
    cmd += " -t" + std::to_string(n) + ":AF00";
    ++n;
  }
  cmd += " '" + path + "' >/dev/null 2>&1 && echo ok";
  return Capture(cmd).find("ok") != std::string::npos;
}

}  // namespace hfstest
