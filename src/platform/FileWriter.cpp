#include "platform/FileWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/HeldFolders.h"

namespace platform {

FileWriter::~FileWriter() { Close(); }

bool FileWriter::Open(const std::string& path, bool truncate) {
  Close();
  const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (truncate ? O_TRUNC : 0);
  do {
    m_fd = ::open(path.c_str(), flags, 0644);
  } while (m_fd < 0 && errno == EINTR);
  if (m_fd < 0) {
    m_lastError = errno;
    return false;
  }
  return true;
}

bool FileWriter::OpenIn(HeldFolders& folders, const std::string& path, bool truncate) {
  Close();
  if (const std::optional<int> fd = folders.OpenFile(path, truncate)) {
    if (*fd >= 0) {
      m_fd = *fd;
      return true;
    }
    m_lastError = errno;
    if (m_lastError != ENOENT) return false;
  }
  return Open(path, truncate);
}

bool FileWriter::SetTimes(const UnixTimeStamp* access, const UnixTimeStamp* modification) {
  if (m_fd < 0) {
    errno = EBADF;
    return false;
  }
  return SetOpenFileTimes(m_fd, access, modification);
}

bool FileWriter::WriteAt(long long offset, const void* data, std::size_t length) {
  if (m_fd < 0 || offset < 0) {
    m_lastError = EBADF;
    return false;
  }
  const auto* p = static_cast<const char*>(data);
  while (length > 0) {
    const ssize_t n = ::pwrite(m_fd, p, length, static_cast<off_t>(offset));
    if (n < 0) {
      if (errno == EINTR) continue;
      m_lastError = errno;
      return false;
    }
    if (n == 0) {
      m_lastError = EIO;
      return false;
    }
    p += n;
    offset += n;
    length -= static_cast<std::size_t>(n);
  }
  return true;
}

bool FileWriter::Resize(long long length) {
  if (m_fd < 0 || length < 0) {
    m_lastError = EBADF;
    return false;
  }
  if (::ftruncate(m_fd, static_cast<off_t>(length)) != 0) {
    m_lastError = errno;
    return false;
  }
  return true;
}

bool FileWriter::Close() {
  if (m_fd < 0) return true;
  const int rc = ::close(m_fd);
  m_fd = -1;
  if (rc != 0 && errno != EINTR) {
    m_lastError = errno;
    return false;
  }
  return true;
}

std::string FileWriter::LastErrorText() const { return std::strerror(m_lastError); }

}  // namespace platform
