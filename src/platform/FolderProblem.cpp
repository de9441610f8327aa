#include "platform/FolderProblem.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace platform {

namespace {

// The folder itself when it exists, else its nearest existing parent (where
// the missing folders would be made); "" with `why` when a part of the path
// is not a folder or cannot be looked at.
std::string ExistingFolder(const std::string& folder, std::string& why) {
  std::error_code ec;
  std::filesystem::path p = std::filesystem::absolute(folder, ec).lexically_normal();
  if (ec) {
    why = folder + ": " + ec.message();
    return "";
  }
  while (true) {
    struct stat st {};
    if (::stat(p.c_str(), &st) == 0) {
      if (S_ISDIR(st.st_mode)) return p.string();
      why = p.string() + " is not a folder";
      return "";
    }
    if (errno != ENOENT && errno != ENOTDIR) {
      why = p.string() + ": " + std::strerror(errno);
      return "";
    }
    if (!p.has_relative_path()) return "/";
    p = p.parent_path();
  }
}

}  // namespace

std::optional<std::uint64_t> FreeBytesAt(const std::string& folder) {
  std::string why;
  const std::string existing = ExistingFolder(folder, why);
  struct statvfs vfs {};
  if (existing.empty() || ::statvfs(existing.c_str(), &vfs) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(vfs.f_bavail) * vfs.f_frsize;
}

std::string FolderWriteProblem(const std::string& folder) {
  if (folder.empty()) return "no destination folder given";
  std::string why;
  const std::string existing = ExistingFolder(folder, why);
  if (existing.empty()) return why;
  struct statvfs vfs {};
  if (::statvfs(existing.c_str(), &vfs) == 0) {
    if ((vfs.f_flag & ST_RDONLY) != 0) return existing + " is on a read-only file system";
    if (vfs.f_bavail == 0) return "no space left on the device that holds " + existing;
  }
  if (::access(existing.c_str(), W_OK | X_OK) != 0) {
    if (errno == EROFS) return existing + " is on a read-only file system";
    if (errno == EACCES || errno == EPERM) return existing + ": permission denied";
    return existing + ": " + std::strerror(errno);
  }
  return "";
}

}  // namespace platform
