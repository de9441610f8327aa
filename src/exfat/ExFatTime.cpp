#include "exfat/ExFatTime.h"

#include <ctime>

#include "core/util/LocalMktime.h"

namespace {

constexpr long long kUnixEpochFileTime = 116444736000000000LL;
constexpr long long kFileTimeTicksPerSecond = 10000000LL;
constexpr int kMinutesPerOffsetStep = 15;

}  // namespace

std::uint64_t DosTime2FileTime(std::uint32_t timestamp, std::uint8_t utcOffset) {
  const std::uint32_t time = timestamp & 0xFFFFu;
  const std::uint32_t date = timestamp >> 16;
  std::tm fields{};
  fields.tm_sec = static_cast<int>((time & 0x1F) * 2);
  fields.tm_min = static_cast<int>((time >> 5) & 0x3F);
  fields.tm_hour = static_cast<int>(time >> 11);
  fields.tm_mday = static_cast<int>(date & 0x1F);
  fields.tm_mon = static_cast<int>(((date >> 5) & 0xF)) - 1;
  fields.tm_year = static_cast<int>(date >> 9) + 80;
  fields.tm_isdst = -1;
  if (fields.tm_mday == 0 || fields.tm_mon < 0) return 0;

  long long seconds = 0;
  if ((utcOffset & 0x80) != 0) {
    // Seven-bit signed count of 15-minute steps east of UTC.
    int steps = utcOffset & 0x7F;
    if (steps >= 0x40) steps -= 0x80;
    fields.tm_isdst = 0;
    const std::time_t asUtc = timegm(&fields);
    if (asUtc == static_cast<std::time_t>(-1)) return 0;
    seconds = static_cast<long long>(asUtc) - static_cast<long long>(steps) * kMinutesPerOffsetStep * 60;
  } else {
    const std::time_t local = LocalMktime(fields);
    if (local == static_cast<std::time_t>(-1)) return 0;
    seconds = static_cast<long long>(local);
  }
  const long long fileTime = seconds * kFileTimeTicksPerSecond + kUnixEpochFileTime;
  return fileTime < 0 ? 0 : static_cast<std::uint64_t>(fileTime);
}
