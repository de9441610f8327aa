#include "core/tree/UserTrash.h"

#include <cctype>
#include <cstring>

namespace user_trash {

bool IsTrashName(const char* name) {
  if (name == nullptr) return false;
  if (std::strcmp(name, ".Trashes") == 0 || std::strcmp(name, ".Trash") == 0) return true;
  constexpr const char kUidPrefix[] = ".Trash-";
  constexpr std::size_t kPrefixLen = sizeof(kUidPrefix) - 1;
  if (std::strncmp(name, kUidPrefix, kPrefixLen) != 0 || name[kPrefixLen] == '\0') return false;
  for (const char* p = name + kPrefixLen; *p != '\0'; ++p) {
    if (std::isdigit(static_cast<unsigned char>(*p)) == 0) return false;
  }
  return true;
}

bool IsHomeFolder(const std::vector<std::string>& pathFromRoot) {
  if (pathFromRoot.size() != kMaxHomeDepth || pathFromRoot[1].empty()) return false;
  return pathFromRoot[0] == "Users" || pathFromRoot[0] == "home";
}

}  // namespace user_trash
