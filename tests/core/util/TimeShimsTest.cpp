#include <gtest/gtest.h>

#include <ctime>

#include "core/util/Log.h"

namespace {

std::uint32_t TicksOf(std::time_t seconds) {
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(seconds) * 1000u);
}

TEST(TimeShimsTest, TickCountIsWallSecondsTimesThousand) {
  // Retry when a second boundary falls between the readings.
  for (int attempt = 0; attempt < 5; ++attempt) {
    const std::time_t before = std::time(nullptr);
    const std::uint32_t first = GetTickCount();
    const std::uint32_t second = GetTickCount();
    const std::time_t after = std::time(nullptr);
    if (before != after) continue;
    EXPECT_EQ(first, second);
    EXPECT_EQ(first, TicksOf(before));
    return;
  }
  GTEST_SKIP() << "clock kept crossing second boundaries";
}

TEST(TimeShimsTest, LocalTimeNullFails) { EXPECT_EQ(GetLocalTime(nullptr), 0xFFFFFFFFu); }

TEST(TimeShimsTest, LocalTimeMatchesLocaltime) {
  for (int attempt = 0; attempt < 5; ++attempt) {
    const std::time_t before = std::time(nullptr);
    _SYSTEMTIME now{};
    ASSERT_EQ(GetLocalTime(&now), 0u);
    if (std::time(nullptr) != before) continue;
    std::tm expected{};
    localtime_r(&before, &expected);
    EXPECT_EQ(now.wYear, expected.tm_year + 1900);
    EXPECT_EQ(now.wMonth, expected.tm_mon + 1);
    EXPECT_EQ(now.wDayOfWeek, expected.tm_wday);
    EXPECT_EQ(now.wDay, expected.tm_mday);
    EXPECT_EQ(now.wHour, expected.tm_hour);
    EXPECT_EQ(now.wMinute, expected.tm_min);
    EXPECT_EQ(now.wSecond, expected.tm_sec);
    EXPECT_LT(now.wMilliseconds, 1000);
    return;
  }
  GTEST_SKIP() << "clock kept crossing second boundaries";
}

}  // namespace
