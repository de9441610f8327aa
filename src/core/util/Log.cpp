#include "core/util/Log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <list>
#include <mutex>

#include "core/util/Locks.h"
#include "platform/ProcessPaths.h"

namespace {

constexpr const char* kLogFileName = "vAVE_Quarnel.log";
constexpr std::size_t kLineBufferSize = 2048;
// The caller's text, including its terminating NUL.
constexpr std::size_t kMaxTextSize = 2000;

// Never destroyed, so code running in static destructors may still log.
SimpleCs& LogLock() {
  static SimpleCs* const lock = new SimpleCs;
  return *lock;
}

// The cached work path. Earlier values stay alive after a reset, so a
// pointer handed out before remains valid.
struct WorkPathCache {
  std::mutex lock;
  std::list<std::string> values;
  const std::string* current = nullptr;
};

WorkPathCache& Cache() {
  static WorkPathCache* const cache = new WorkPathCache;
  return *cache;
}

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// The file is opened for appending for each line and closed again, with the
// plain system calls: a stream would add a buffer, a status call and a seek
// to every line.
void AppendToLogFile(const char* line, std::size_t length) {
  const char* dir = CatchExeception::GetWorkPath();
  if (dir == nullptr || *dir == '\0') return;
  char path[4096];
  const int pathLength = std::snprintf(path, sizeof path, "%s/%s", dir, kLogFileName);
  if (pathLength < 0 || static_cast<std::size_t>(pathLength) >= sizeof path) return;
  int fd;
  do {
    fd = ::open(path, O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return;
  while (length > 0) {
    const ssize_t n = ::write(fd, line, length);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      // A failure may only show when the data reaches the disk (a full disk).
      std::printf("%s failed with %s\n", "WriteLog", std::strerror(n < 0 ? errno : ENOSPC));
      break;
    }
    line += n;
    length -= static_cast<std::size_t>(n);
  }
  ::close(fd);
}

}  // namespace

int CatchExeception::WriteLog(const char* format, ...) {
  char line[kLineBufferSize] = {};
  _SYSTEMTIME now{};
  GetLocalTime(&now);
  const int prefix = std::snprintf(line, sizeof(line), "%02d:%02d:%02d ", now.wHour, now.wMinute, now.wSecond);

  int textLength = 0;
  if (format != nullptr) {
    va_list args;
    va_start(args, format);
    textLength = std::vsnprintf(line + prefix, kMaxTextSize, format, args);
    va_end(args);
    if (textLength < 0) {
      textLength = 0;
      line[prefix] = '\0';
    }
  }
  const std::size_t stored = std::strlen(line);

  SimpleLock hold(&LogLock(), "WriteLog");
  std::fwrite(line, 1, stored, stdout);
  std::fflush(stdout);
  AppendToLogFile(line, stored);
  return prefix + textLength;
}

const char* CatchExeception::GetWorkPath() {
  WorkPathCache& cache = Cache();
  std::lock_guard<std::mutex> hold(cache.lock);
  if (cache.current == nullptr) {
    cache.values.push_back(GetAppWorkPath());
    cache.current = &cache.values.back();
  }
  return cache.current->c_str();
}

void CatchExeception::ResetWorkPath() {
  WorkPathCache& cache = Cache();
  std::lock_guard<std::mutex> hold(cache.lock);
  cache.current = nullptr;
}

std::string GetAppWorkPath() {
  const char* overridden = std::getenv("QUARNEL_WORK_DIR");
  if (overridden != nullptr && *overridden != '\0') return WithoutTrailingSlashes(overridden);

  const std::string exeDir = platform::ExecutableDirectory();
  if (!exeDir.empty() && platform::IsWritableDirectory(exeDir)) return exeDir;

  const std::string stateDir = platform::UserStateDirectory();
  if (stateDir.empty()) return {};
  platform::MakeDirectories(stateDir);
  return stateDir;
}
