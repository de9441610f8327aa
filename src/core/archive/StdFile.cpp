#include "core/archive/StdFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

static_assert(sizeof(off_t) >= 8, "64-bit file offsets required");

namespace {

// Largest single transfer; read/write of more than SSIZE_MAX is undefined.
constexpr std::size_t kMaxChunk = std::size_t{1} << 30;

int FlagsFor(CStdFile::OpenMode mode) {
  switch (mode) {
    case CStdFile::modeRead:
      return O_RDONLY;
    case CStdFile::modeReadWrite:
    case CStdFile::modeWrite:
    case CStdFile::modeOpenOrCreate:
      return O_RDWR | O_CREAT;
    case CStdFile::modeCreate:
      return O_RDWR | O_CREAT | O_TRUNC;
  }
  return -1;
}

// Opens without blocking on a FIFO, refuses anything but a regular file,
// then restores blocking I/O. -1 on failure.
int OpenRegular(const char* path, int flags) {
  int fd;
  do {
    fd = ::open(path, flags | O_CLOEXEC | O_NONBLOCK, 0644);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return -1;
  struct stat st {};
  const int fl = ::fcntl(fd, F_GETFL);
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || fl < 0 || ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// True when [offset, offset + size) is a valid file range.
bool RangeFits(std::int64_t offset, std::size_t size) {
  return offset >= 0 && size <= static_cast<std::uint64_t>(INT64_MAX - offset);
}

}  // namespace

CStdFile::~CStdFile() { Close(); }

int CStdFile::Open(const char* path, OpenMode mode) {
  Close();
  const int flags = FlagsFor(mode);
  if (path == nullptr || flags < 0) return 0;
  // A regular file cannot be truncated before it is known to be one.
  const bool truncate = (flags & O_TRUNC) != 0;
  const int fd = OpenRegular(path, flags & ~O_TRUNC);
  if (fd < 0) return 0;
  if (truncate) {
    int rc;
    do {
      rc = ::ftruncate(fd, 0);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
      ::close(fd);
      return 0;
    }
  }
  m_fd = fd;
  return 1;
}

void CStdFile::Close() {
  if (m_fd >= 0) {
    // Not retried on EINTR: Linux releases the descriptor regardless.
    ::close(m_fd);
    m_fd = -1;
  }
}

std::size_t CStdFile::Read(void* buffer, std::size_t size) {
  if (m_fd < 0 || buffer == nullptr) return 0;
  auto* out = static_cast<unsigned char*>(buffer);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(m_fd, out + done, std::min(size - done, kMaxChunk));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

int CStdFile::Write(const void* buffer, std::size_t size) {
  if (m_fd < 0 || (buffer == nullptr && size != 0)) return 0;
  const auto* in = static_cast<const unsigned char*>(buffer);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(m_fd, in + done, std::min(size - done, kMaxChunk));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return 0;
    done += static_cast<std::size_t>(n);
  }
  return 1;
}

std::size_t CStdFile::ReadAt(std::int64_t offset, void* buffer, std::size_t size) {
  if (m_fd < 0 || buffer == nullptr || !RangeFits(offset, size)) return 0;
  auto* out = static_cast<unsigned char*>(buffer);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pread(m_fd, out + done, std::min(size - done, kMaxChunk),
                              static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

int CStdFile::WriteAt(std::int64_t offset, const void* buffer, std::size_t size) {
  if (m_fd < 0 || (buffer == nullptr && size != 0) || !RangeFits(offset, size)) return 0;
  const auto* in = static_cast<const unsigned char*>(buffer);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pwrite(m_fd, in + done, std::min(size - done, kMaxChunk),
                               static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return 0;
    done += static_cast<std::size_t>(n);
  }
  return 1;
}

std::int64_t CStdFile::SeekToEnd() {
  if (m_fd < 0) return -1;
  const off_t pos = ::lseek(m_fd, 0, SEEK_END);
  return pos < 0 ? -1 : static_cast<std::int64_t>(pos);
}

int CStdFile::Seek(std::int64_t offset) {
  if (m_fd < 0 || offset < 0) return 0;
  return ::lseek(m_fd, static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset) ? 1 : 0;
}

std::int64_t CStdFile::GetPosition() const {
  if (m_fd < 0) return -1;
  const off_t pos = ::lseek(m_fd, 0, SEEK_CUR);
  return pos < 0 ? -1 : static_cast<std::int64_t>(pos);
}
