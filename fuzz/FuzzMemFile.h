#pragma once
// The input bytes as a file, for readers that take a path: an anonymous
// memory file reached through /proc/self/fd.

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>

namespace fuzzsupport {

class MemFile {
 public:
  MemFile(const std::uint8_t* data, std::size_t size) : m_fd(::memfd_create("fuzz-input", MFD_CLOEXEC)) {
    std::size_t done = 0;
    while (m_fd >= 0 && done < size) {
      const ssize_t n = ::write(m_fd, data + done, size - done);
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
  }
  ~MemFile() {
    if (m_fd >= 0) ::close(m_fd);
  }
  MemFile(const MemFile&) = delete;
  MemFile& operator=(const MemFile&) = delete;

  bool Ok() const { return m_fd >= 0; }
  std::string Path() const { return "/proc/self/fd/" + std::to_string(m_fd); }

 private:
  int m_fd;
};

}  // namespace fuzzsupport
