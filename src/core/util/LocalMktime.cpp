#include "core/util/LocalMktime.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

constexpr std::size_t kSlots = 1024;

struct Slot {
  std::uint64_t key = 0;
  std::time_t value = 0;
  bool used = false;
};

struct Memo {
  std::array<Slot, kSlots> slots{};
  std::string zone;
  bool zoneSet = false;
  bool started = false;
};

// The fields packed into one key; false when one lies outside what the key holds.
bool KeyOf(const std::tm& f, std::uint64_t& key) {
  const auto fits = [](int v, int bits) { return v >= 0 && v < (1 << bits); };
  if (!fits(f.tm_year, 16) || !fits(f.tm_mon, 8) || !fits(f.tm_mday, 8) || !fits(f.tm_hour, 8) || !fits(f.tm_min, 8) ||
      !fits(f.tm_sec, 8)) {
    return false;
  }
  key = static_cast<std::uint64_t>(f.tm_year) << 40 | static_cast<std::uint64_t>(f.tm_mon) << 32 |
        static_cast<std::uint64_t>(f.tm_mday) << 24 | static_cast<std::uint64_t>(f.tm_hour) << 16 |
        static_cast<std::uint64_t>(f.tm_min) << 8 | static_cast<std::uint64_t>(f.tm_sec);
  return true;
}

std::time_t Compute(const std::tm& fields) {
  std::tm copy = fields;
  copy.tm_isdst = -1;
  return std::mktime(&copy);
}

}  // namespace

std::time_t LocalMktime(const std::tm& fields) {
  std::uint64_t key = 0;
  if (!KeyOf(fields, key)) return Compute(fields);
  thread_local Memo memo;
  // A changed TZ forgets every answer.
  const char* zone = std::getenv("TZ");
  if (!memo.started || memo.zoneSet != (zone != nullptr) || (zone != nullptr && memo.zone != zone)) {
    memo.slots.fill(Slot{});
    memo.zoneSet = zone != nullptr;
    memo.zone = zone != nullptr ? zone : "";
    memo.started = true;
  }
  Slot& slot = memo.slots[(key ^ (key >> 13) ^ (key >> 29)) % kSlots];
  if (slot.used && slot.key == key) return slot.value;
  slot = Slot{key, Compute(fields), true};
  return slot.value;
}
