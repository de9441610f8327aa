#pragma once
// The carved file types (RAW_FILE_TYPE) and their extension names.

#include <cstddef>

using RAW_FILE_TYPE = int;

// Types named by the analysers of this folder.
enum RawFileTypeValue : int {
  kRawTypeRaw = 0,
  kRawTypeGz = 31,
  kRawTypeHtm = 33,
  kRawTypeJpg = 35,
  kRawTypePng = 51,
  kRawTypeRar = 58,
  kRawTypeTar = 63,
};

// 147 types, 0 ... 146.
constexpr int kRawFileTypeCount = 147;
// Entries of the per-type name counters.
constexpr int kRawFileTypeCounters = 2000;

// The extension of each type, as stored (upper case but "Raw", "pkg" and
// "icns"), NUL-padded to 9 bytes.
extern const char g_s_strFileExtName[kRawFileTypeCount][9];

// The extension of a type; "" outside the table.
const char* RawFileExtName(int type);
