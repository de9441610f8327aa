#pragma once
// Trash folders of the scanned volume, recognised by name and place, never by
// the running user: macOS ".Trashes" (volume) and ".Trash" (home), and the
// freedesktop ".Trash-<uid>" (volume).

#include <string>
#include <vector>

namespace user_trash {

// Home folders are at most this deep ("/Users/<name>/").
constexpr std::size_t kMaxHomeDepth = 2;

// ".Trashes", ".Trash" or ".Trash-" followed by digits.
[[nodiscard]] bool IsTrashName(const char* name);
// The folders from the volume root down to a trash folder (its own name not
// included) form a home folder: "Users/<name>" or "home/<name>".
[[nodiscard]] bool IsHomeFolder(const std::vector<std::string>& pathFromRoot);

}  // namespace user_trash
