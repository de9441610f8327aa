#pragma once
// One running copy of the program per user: an exclusive lock on a file in
// the user's runtime folder, held until the process ends.

#include <string>

namespace platform {

// $XDG_RUNTIME_DIR when it is an absolute folder, else /run/user/<uid> when
// it exists, else the temporary folder.
std::string UserRuntimeDirectory();

// The lock file of the program in the user's runtime folder.
std::string InstanceLockPath();

// False when this process holds the lock of `path` (taking it now when it
// is free); true when another process holds it. A lock file that cannot
// be opened (or is not a plain file of this user) counts as free: a broken
// runtime folder never stops the program.
bool IsAnotherInstanceRunning(const std::string& path);

// Lets go of every lock taken by IsAnotherInstanceRunning (tests).
void ReleaseInstanceLocks();

}  // namespace platform
