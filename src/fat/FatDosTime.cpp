#include "fat/FatDosTime.h"

#include <ctime>

#include "core/model/FileNode.h"
#include "core/util/LocalMktime.h"

long long DosDateTimeToFileTime(std::uint16_t date, std::uint16_t time) {
  std::tm t{};
  t.tm_sec = (time & 0x1F) * 2;
  t.tm_min = (time >> 5) & 0x3F;
  t.tm_hour = time >> 11;
  t.tm_mday = date & 0x1F;
  t.tm_mon = ((date >> 5) & 0xF) - 1;
  t.tm_year = date / 512 + 80;
  t.tm_isdst = -1;
  const std::time_t seconds = LocalMktime(t);
  return SecondsSince1970ToFileTime(static_cast<long long>(seconds));
}
