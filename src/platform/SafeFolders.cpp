#include "platform/SafeFolders.h"

#include <sys/stat.h>

#include <cerrno>

namespace platform {

bool PathEntryExists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

bool MakeFoldersBelow(const std::string& root, const std::string& relative) {
  std::string path = root;
  while (!path.empty() && path.size() > 1 && path.back() == '/') path.pop_back();
  std::size_t pos = 0;
  while (pos < relative.size()) {
    std::size_t next = relative.find('/', pos);
    if (next == std::string::npos) next = relative.size();
    const std::string part = relative.substr(pos, next - pos);
    pos = next + 1;
    if (part.empty()) continue;
    if (part == "." || part == "..") return false;
    path += "/" + part;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
      if (!S_ISDIR(st.st_mode)) return false;
      continue;
    }
    if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) return false;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  }
  return true;
}

}  // namespace platform
