#include <sys/time.h>

#include <ctime>

#include "core/util/Log.h"

std::uint32_t GetLocalTime(_SYSTEMTIME* out) {
  if (out == nullptr) return 0xFFFFFFFFu;
  // One clock reading for both the date and the milliseconds.
  timeval now{};
  gettimeofday(&now, nullptr);
  const std::time_t seconds = now.tv_sec;
  std::tm local{};
  localtime_r(&seconds, &local);
  out->wYear = static_cast<std::uint16_t>(local.tm_year + 1900);
  out->wMonth = static_cast<std::uint16_t>(local.tm_mon + 1);
  out->wDayOfWeek = static_cast<std::uint16_t>(local.tm_wday);
  out->wDay = static_cast<std::uint16_t>(local.tm_mday);
  out->wHour = static_cast<std::uint16_t>(local.tm_hour);
  out->wMinute = static_cast<std::uint16_t>(local.tm_min);
  out->wSecond = static_cast<std::uint16_t>(local.tm_sec);
  out->wMilliseconds = static_cast<std::uint16_t>(now.tv_usec / 1000);
  return 0;
}

std::uint32_t GetTickCount() {
  timeval now{};
  gettimeofday(&now, nullptr);
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(now.tv_sec) * 1000u);
}
