#include "platform/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>

namespace platform {
namespace {

std::mutex g_lock;
std::map<std::string, int> g_held;  // path -> descriptor holding its lock

bool IsFolder(const std::string& path) {
  struct stat st {};
  return !path.empty() && path[0] == '/' && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::string UserRuntimeDirectory() {
  const char* xdg = std::getenv("XDG_RUNTIME_DIR");
  if (xdg != nullptr && IsFolder(xdg)) return xdg;
  const std::string run = "/run/user/" + std::to_string(::getuid());
  if (IsFolder(run)) return run;
  std::error_code ec;
  const std::string tmp = std::filesystem::temp_directory_path(ec).string();
  return ec || tmp.empty() ? std::string("/tmp") : tmp;
}

std::string InstanceLockPath() { return UserRuntimeDirectory() + "/quarnel-" + std::to_string(::getuid()) + ".lock"; }

bool IsAnotherInstanceRunning(const std::string& path) {
  std::lock_guard g(g_lock);
  if (g_held.count(path) != 0) return false;
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
    ::close(fd);
    return false;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const bool busy = errno == EWOULDBLOCK;
    ::close(fd);
    return busy;
  }
  g_held[path] = fd;
  return false;
}

void ReleaseInstanceLocks() {
  std::lock_guard g(g_lock);
  for (auto& [path, fd] : g_held) ::close(fd);
  g_held.clear();
}

}  // namespace platform
