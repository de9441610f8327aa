#pragma once
// Folder creation under a destination that never follows a symbolic link
// met below it.

#include <string>

namespace platform {

// True when something (a file, folder or link, even a dangling one) is at
// `path`.
bool PathEntryExists(const std::string& path);

// Creates each folder of `relative` ("a/b/c", no "." or ".." parts) below
// the existing folder `root`, mode 0755. False when a part exists but is not
// a real folder (a file or a symbolic link), or cannot be made.
bool MakeFoldersBelow(const std::string& root, const std::string& relative);

}  // namespace platform
