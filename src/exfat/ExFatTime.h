#pragma once
// exFAT timestamps (time in the low 16 bits, date in the high 16 bits).

#include <cstdint>

// FILETIME of a timestamp. With the offset's valid bit (0x80) the stored
// local time is moved to UTC by its offset; otherwise it is taken as the
// system's local time. 0 when the fields do not make a date.
[[nodiscard]] std::uint64_t DosTime2FileTime(std::uint32_t timestamp, std::uint8_t utcOffset = 0);
