#include "platform/RawDevice.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <utility>

namespace platform {

std::string DevicePathOf(const std::string& kernelName) { return "/dev/" + kernelName; }

bool IsPermissionError(int error) { return error == EACCES || error == EPERM; }

PreadResult PreadFully(int fd, void* buffer, std::uint64_t length, std::uint64_t offset) {
  PreadResult result;
  auto* out = static_cast<unsigned char*>(buffer);
  while (result.bytes < length) {
    const std::uint64_t position = offset + result.bytes;
    if (position > static_cast<std::uint64_t>(LLONG_MAX)) {
      result.error = EOVERFLOW;
      break;
    }
    std::uint64_t want = length - result.bytes;
    if (want > static_cast<std::uint64_t>(SSIZE_MAX)) want = SSIZE_MAX;
    const ssize_t n = ::pread(fd, out + result.bytes, static_cast<size_t>(want), static_cast<off_t>(position));
    if (n < 0) {
      if (errno == EINTR) continue;
      result.error = errno;
      break;
    }
    if (n == 0) break;  // end of file
    result.bytes += static_cast<std::uint64_t>(n);
  }
  return result;
}

RawDevice::~RawDevice() { Close(); }

RawDevice::RawDevice(RawDevice&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_isBlock(std::exchange(other.m_isBlock, false)) {}

RawDevice& RawDevice::operator=(RawDevice&& other) noexcept {
  if (this != &other) {
    Close();
    m_fd = std::exchange(other.m_fd, -1);
    m_isBlock = std::exchange(other.m_isBlock, false);
  }
  return *this;
}

int RawDevice::OpenReadOnly(const std::string& path) {
  Close();
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return errno;
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const int error = errno;
    ::close(fd);
    return error;
  }
  m_fd = fd;
  m_isBlock = S_ISBLK(st.st_mode);
  return 0;
}

void RawDevice::Close() {
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
  m_isBlock = false;
}

std::optional<std::uint32_t> RawDevice::SectorSize() const {
  if (m_fd < 0) return std::nullopt;
  if (!m_isBlock) return 512u;
  int size = 0;
  if (::ioctl(m_fd, BLKSSZGET, &size) != 0 || size <= 0) return std::nullopt;
  return static_cast<std::uint32_t>(size);
}

std::optional<std::uint64_t> RawDevice::SizeBytes() const {
  if (m_fd < 0) return std::nullopt;
  if (m_isBlock) {
    std::uint64_t bytes = 0;
    if (::ioctl(m_fd, BLKGETSIZE64, &bytes) != 0) return std::nullopt;
    return bytes;
  }
  struct stat st {};
  if (::fstat(m_fd, &st) != 0 || st.st_size < 0) return std::nullopt;
  return static_cast<std::uint64_t>(st.st_size);
}

PreadResult RawDevice::Pread(void* buffer, std::uint64_t length, std::uint64_t offset) const {
  if (m_fd < 0) return PreadResult{0, EBADF};
  return PreadFully(m_fd, buffer, length, offset);
}

void RawDevice::FlushBuffers() const {
  // An image file is read through the same page cache it was written
  // through: nothing to flush for it.
  if (m_fd >= 0 && !m_isBlock) return;
  ::sync();
  if (m_fd >= 0 && m_isBlock) (void)::ioctl(m_fd, BLKFLSBUF, 0);
}

}  // namespace platform
