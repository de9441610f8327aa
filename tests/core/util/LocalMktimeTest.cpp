#include "core/util/LocalMktime.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

// Sets TZ for one test and puts the former value back.
class ZoneScope {
 public:
  ZoneScope() {
    if (const char* tz = std::getenv("TZ")) saved_ = tz;
  }
  ~ZoneScope() {
    if (saved_) {
      setenv("TZ", saved_->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  ZoneScope(const ZoneScope&) = delete;
  ZoneScope& operator=(const ZoneScope&) = delete;
  static void Set(const char* zone) {
    setenv("TZ", zone, 1);
    tzset();
  }

 private:
  std::optional<std::string> saved_;
};

std::tm Fields(int year, int mon, int mday, int hour, int min, int sec) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = mon - 1;
  t.tm_mday = mday;
  t.tm_hour = hour;
  t.tm_min = min;
  t.tm_sec = sec;
  t.tm_isdst = -1;
  return t;
}

std::time_t Reference(std::tm t) {
  t.tm_isdst = -1;
  return std::mktime(&t);
}

// Zones with and without daylight saving, one with a half-hour shift.
const char* const kZones[] = {"UTC0", "CET-1CEST,M3.5.0,M10.5.0/3", "NZST-12NZDT,M9.5.0,M4.1.0/3",
                              "<+1030>-10:30<+11>-11,M10.1.0,M4.1.0", "EST5EDT,M3.2.0,M11.1.0"};

TEST(LocalMktime, AnswersAsMktimeInEveryZone) {
  ZoneScope scope;
  std::vector<std::tm> cases = {
      Fields(2021, 3, 28, 2, 30, 0),    // inside the spring-forward gap in CET
      Fields(2021, 10, 31, 2, 30, 0),   // the hour that comes twice in CET
      Fields(2021, 3, 14, 2, 15, 0),    // the gap in EST5EDT
      Fields(2021, 4, 4, 2, 45, 30),    // the repeated hour in NZ
      Fields(2021, 10, 3, 2, 10, 0),    // the half-hour gap of the +10:30 zone
      Fields(2021, 2, 31, 31, 63, 62),  // out of range, normalised by mktime
      Fields(1980, 1, 1, 0, 0, 0),     Fields(2107, 12, 31, 23, 59, 58),
  };
  std::mt19937 random(20);
  for (int i = 0; i < 400; ++i) {
    cases.push_back(Fields(1980 + static_cast<int>(random() % 128), 1 + static_cast<int>(random() % 12),
                           1 + static_cast<int>(random() % 31), static_cast<int>(random() % 24),
                           static_cast<int>(random() % 60), 2 * static_cast<int>(random() % 30)));
  }
  for (const char* zone : kZones) {
    ZoneScope::Set(zone);
    // Twice over: the second answers come from memory.
    for (int pass = 0; pass < 2; ++pass) {
      for (const std::tm& t : cases) {
        ASSERT_EQ(LocalMktime(t), Reference(t)) << zone << " " << t.tm_year + 1900 << "-" << t.tm_mon + 1 << "-"
                                                << t.tm_mday << " " << t.tm_hour << ":" << t.tm_min << ":" << t.tm_sec;
      }
    }
  }
}

TEST(LocalMktime, ForgetsItsAnswersWhenTheZoneChanges) {
  ZoneScope scope;
  const std::tm t = Fields(2021, 3, 4, 5, 6, 8);
  ZoneScope::Set("UTC0");
  const std::time_t utc = LocalMktime(t);
  EXPECT_EQ(utc, 1614834368);
  ZoneScope::Set("CET-1");
  EXPECT_EQ(LocalMktime(t), utc - 3600);
  ZoneScope::Set("UTC0");
  EXPECT_EQ(LocalMktime(t), utc);
  unsetenv("TZ");
  tzset();
  EXPECT_EQ(LocalMktime(t), Reference(t));
}

TEST(LocalMktime, FieldsOutsideTheMemoAreStillAnswered) {
  ZoneScope scope;
  ZoneScope::Set("CET-1CEST,M3.5.0,M10.5.0/3");
  for (const std::tm& t : {Fields(2021, 1, 1, -1, 0, 0), Fields(1800, 1, 1, 0, 0, 0), Fields(2021, 1, 0, 0, 0, -5)}) {
    EXPECT_EQ(LocalMktime(t), Reference(t));
  }
}

}  // namespace
