#pragma once
// Access and modification times of files and folders.
// Linux cannot set a file's birth (creation) time, so none is offered.

#include <string>

namespace platform {

// A point in time as seconds and nanoseconds since 1970-01-01 UTC.
struct UnixTimeStamp {
  long long seconds = 0;
  long nanoseconds = 0;  // 0 .. 999,999,999
};

// Sets the access and modification times of `path` (symbolic links are
// followed). A null stamp leaves that time as it is. Returns false and keeps
// errno when the system refuses.
bool SetFileTimes(const std::string& path, const UnixTimeStamp* access, const UnixTimeStamp* modification);

// The same for `name` in the folder `dirFd` (utimensat's arguments: `flags`
// may hold AT_SYMLINK_NOFOLLOW or AT_EMPTY_PATH).
bool SetTimesAt(int dirFd, const char* name, const UnixTimeStamp* access, const UnixTimeStamp* modification, int flags);

// The same for the file open for writing as `fd`.
bool SetOpenFileTimes(int fd, const UnixTimeStamp* access, const UnixTimeStamp* modification);

}  // namespace platform
