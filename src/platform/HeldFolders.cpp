#include "platform/HeldFolders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string_view>

namespace platform {
namespace {

// Held for lookups only: a folder that may not be listed is held as well.
constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// Splits "folder/name" at its last '/'; false when there is no folder or no
// name.
bool SplitPath(const std::string& path, std::string& folder, const char*& name) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos || slash == 0 || slash + 1 == path.size()) return false;
  folder.assign(path, 0, slash);
  name = path.c_str() + slash + 1;
  return true;
}

int OpenFolderAt(int parent, const char* name) {
  int fd;
  do {
    fd = ::openat(parent, name, kFolderFlags);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

}  // namespace

HeldFolders::HeldFolders(std::size_t mostOpen) : m_mostOpen(std::max<std::size_t>(mostOpen, 2)) {}

HeldFolders::~HeldFolders() { Clear(); }

void HeldFolders::Clear() {
  std::lock_guard lock(m_mutex);
  for (auto& [path, held] : m_folders) ::close(held.fd);
  m_folders.clear();
}

int HeldFolders::FindLocked(const std::string& folder) {
  const auto it = m_folders.find(folder);
  if (it == m_folders.end()) return -1;
  it->second.used = ++m_clock;
  return it->second.fd;
}

void HeldFolders::HoldLocked(const std::string& folder, int fd) {
  if (m_folders.size() >= m_mostOpen) {
    // The least recently used goes; the folder just walked from is the most
    // recent one and stays.
    const auto oldest = std::min_element(m_folders.begin(), m_folders.end(),
                                         [](const auto& a, const auto& b) { return a.second.used < b.second.used; });
    ::close(oldest->second.fd);
    m_folders.erase(oldest);
  }
  m_folders[folder] = Held{fd, ++m_clock};
}

void HeldFolders::ForgetLocked(const std::string& folder) {
  const auto it = m_folders.find(folder);
  if (it == m_folders.end()) return;
  ::close(it->second.fd);
  m_folders.erase(it);
}

bool HeldFolders::MakeBelow(const std::string& root, const std::string& relative) {
  std::string path = root;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  std::lock_guard lock(m_mutex);
  int parent = FindLocked(path);
  if (parent < 0) {
    // The root itself is the caller's choice and may be reached through links.
    do {
      parent = ::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    } while (parent < 0 && errno == EINTR);
    if (parent < 0) return false;
    HoldLocked(path, parent);
  }
  std::size_t pos = 0;
  std::string part;
  while (pos < relative.size()) {
    std::size_t next = relative.find('/', pos);
    if (next == std::string::npos) next = relative.size();
    part.assign(relative, pos, next - pos);
    pos = next + 1;
    if (part.empty()) continue;
    if (part == "." || part == "..") return false;
    path += '/';
    path += part;
    const int held = FindLocked(path);
    if (held >= 0) {
      parent = held;
      continue;
    }
    // A link or a file where the folder should be fails the open.
    int fd = OpenFolderAt(parent, part.c_str());
    if (fd < 0 && errno == ENOENT) {
      if (::mkdirat(parent, part.c_str(), 0755) != 0 && errno != EEXIST) return false;
      fd = OpenFolderAt(parent, part.c_str());
    }
    if (fd < 0) return false;
    HoldLocked(path, fd);
    parent = fd;
  }
  return true;
}

std::optional<bool> HeldFolders::EntryExists(const std::string& path) {
  std::string folder;
  const char* name = nullptr;
  if (!SplitPath(path, folder, name)) return std::nullopt;
  std::lock_guard lock(m_mutex);
  const int fd = FindLocked(folder);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  return ::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0;
}

std::optional<int> HeldFolders::OpenFile(const std::string& path, bool truncate) {
  std::string folder;
  const char* name = nullptr;
  if (!SplitPath(path, folder, name)) return std::nullopt;
  std::lock_guard lock(m_mutex);
  const int dir = FindLocked(folder);
  if (dir < 0) return std::nullopt;
  const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | (truncate ? O_TRUNC : 0);
  int fd;
  do {
    fd = ::openat(dir, name, flags, 0644);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0 && errno == ENOENT) {
    // The folder is gone: it is walked again next time.
    ForgetLocked(folder);
    errno = ENOENT;
  }
  return fd;
}

std::optional<bool> HeldFolders::SetFolderTimes(const std::string& folder, const UnixTimeStamp* access,
                                                const UnixTimeStamp* modification) {
  std::lock_guard lock(m_mutex);
  const int fd = FindLocked(folder);
  if (fd < 0) return std::nullopt;
  if (SetTimesAt(fd, "", access, modification, AT_EMPTY_PATH)) return true;
  // A kernel that cannot stamp through a lookup-only descriptor: the caller
  // goes by the path.
  if (errno == EINVAL || errno == ENOENT || errno == EBADF) return std::nullopt;
  return false;
}

}  // namespace platform
