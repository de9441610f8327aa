#include "platform/FileTimes.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <ctime>
#include <limits>

namespace platform {
namespace {

bool ToTimespec(const UnixTimeStamp* stamp, timespec& out) {
  if (stamp == nullptr) {
    out.tv_sec = 0;
    out.tv_nsec = UTIME_OMIT;
    return true;
  }
  if (stamp->nanoseconds < 0 || stamp->nanoseconds > 999999999L) return false;
  if (stamp->seconds < std::numeric_limits<time_t>::min() || stamp->seconds > std::numeric_limits<time_t>::max()) {
    return false;
  }
  out.tv_sec = static_cast<time_t>(stamp->seconds);
  out.tv_nsec = stamp->nanoseconds;
  return true;
}

}  // namespace

namespace {

// utimensat (or futimens without a name) with the two stamps.
bool Stamp(int dirFd, const char* name, const UnixTimeStamp* access, const UnixTimeStamp* modification, int flags) {
  if (access == nullptr && modification == nullptr) return true;
  timespec times[2];
  if (!ToTimespec(access, times[0]) || !ToTimespec(modification, times[1])) {
    errno = EINVAL;
    return false;
  }
  return (name == nullptr ? futimens(dirFd, times) : utimensat(dirFd, name, times, flags)) == 0;
}

}  // namespace

bool SetTimesAt(int dirFd, const char* name, const UnixTimeStamp* access, const UnixTimeStamp* modification,
                int flags) {
  if (name == nullptr) {
    errno = EINVAL;
    return false;
  }
  return Stamp(dirFd, name, access, modification, flags);
}

bool SetFileTimes(const std::string& path, const UnixTimeStamp* access, const UnixTimeStamp* modification) {
  return Stamp(AT_FDCWD, path.c_str(), access, modification, 0);
}

bool SetOpenFileTimes(int fd, const UnixTimeStamp* access, const UnixTimeStamp* modification) {
  return Stamp(fd, nullptr, access, modification, 0);
}

}  // namespace platform
