#include "platform/ProcessPaths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace platform {
namespace {

std::string HomeOf(uid_t uid) {
  std::vector<char> buf(16384);
  passwd pw{};
  passwd* found = nullptr;
  if (getpwuid_r(uid, &pw, buf.data(), buf.size(), &found) == 0 && found != nullptr && found->pw_dir != nullptr) {
    return found->pw_dir;
  }
  return {};
}

// Under pkexec or sudo the process runs as root but works for another user.
std::string InvokingUserHome() {
  for (const char* var : {"PKEXEC_UID", "SUDO_UID"}) {
    const char* v = std::getenv(var);
    if (v == nullptr || *v == '\0') continue;
    char* end = nullptr;
    const unsigned long uid = std::strtoul(v, &end, 10);
    if (end != nullptr && *end == '\0') {
      std::string home = HomeOf(static_cast<uid_t>(uid));
      if (!home.empty()) return home;
    }
  }
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') return home;
  return HomeOf(getuid());
}

}  // namespace

std::string ExecutableDirectory() {
  std::vector<char> buf(4096);
  const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n <= 0) return {};
  std::string path(buf.data(), static_cast<std::size_t>(n));
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string UserStateDirectory() {
  const char* xdg = std::getenv("XDG_STATE_HOME");
  if (xdg != nullptr && xdg[0] == '/') return std::string(xdg) + "/quarnel";
  const std::string home = InvokingUserHome();
  if (home.empty()) return {};
  return home + "/.local/state/quarnel";
}

bool IsWritableDirectory(const std::string& path) {
  struct stat st {};
  if (path.empty() || stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  return access(path.c_str(), W_OK | X_OK) == 0;
}

bool MakeDirectories(const std::string& path) {
  if (path.empty()) return false;
  for (std::size_t pos = 1; pos <= path.size(); ++pos) {
    if (pos == path.size() || path[pos] == '/') {
      const std::string part = path.substr(0, pos);
      if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
  }
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace platform
