#pragma once
// DOS date and time fields (local time) as FILETIME.

#include <cstdint>

// FILETIME of the local broken-down time the fields give (mktime).
long long DosDateTimeToFileTime(std::uint16_t date, std::uint16_t time);
