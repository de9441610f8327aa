#include "core/recovery/FileTimeConversion.h"

#include "core/model/FileNode.h"

std::optional<platform::UnixTimeStamp> FileTimeToUnixStamp(long long fileTime) {
  if (fileTime <= 0) return std::nullopt;
  constexpr long long kTicksPerSecond = 10000000LL;
  const long long ticks = fileTime - kFileTimeUnixEpoch;  // no overflow: both are positive
  long long seconds = ticks / kTicksPerSecond;
  long long rest = ticks % kTicksPerSecond;
  if (rest < 0) {
    rest += kTicksPerSecond;
    --seconds;
  }
  return platform::UnixTimeStamp{seconds, static_cast<long>(rest * 100)};
}
