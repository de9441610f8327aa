#pragma once
// Where the running program lives and where it may keep its files.

#include <string>

namespace platform {

// Folder of the running executable, without a trailing slash; "" when unknown.
std::string ExecutableDirectory();
// The user's state folder for Quarnel: $XDG_STATE_HOME/quarnel or
// ~/.local/state/quarnel (the invoking user's home under pkexec or sudo).
std::string UserStateDirectory();
// True when the folder exists and this process may create files in it.
bool IsWritableDirectory(const std::string& path);
// Creates the folder and its parents with mode 0755; true when it exists afterwards.
bool MakeDirectories(const std::string& path);

}  // namespace platform
