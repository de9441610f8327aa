#pragma once
// The process log "vAVE_Quarnel.log" in the work directory, and small time
// helpers.

#include <cstdint>
#include <string>

class CatchExeception {
 public:
  // Writes "HH:MM:SS " + the formatted text to standard output and appends it
  // to the log file. Returns the prefix length plus the full text length.
  static int WriteLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
  // The work directory, computed once.
  static const char* GetWorkPath();
  // Forgets the cached work directory (tests change QUARNEL_WORK_DIR).
  static void ResetWorkPath();
};

// The folder for the log and settings files: $QUARNEL_WORK_DIR when set, else
// the executable's folder when writable, else the user's state folder.
std::string GetAppWorkPath();

// 1 when the bytes are valid UTF-8 (no overlongs, surrogates or values above
// U+10FFFF), 0 otherwise or for null.
int isValidString(const char* text);

struct _SYSTEMTIME {
  std::uint16_t wYear;
  std::uint16_t wMonth;
  std::uint16_t wDayOfWeek;
  std::uint16_t wDay;
  std::uint16_t wHour;
  std::uint16_t wMinute;
  std::uint16_t wSecond;
  std::uint16_t wMilliseconds;
};

// 0xFFFFFFFF for null, else fills the local time and returns 0.
std::uint32_t GetLocalTime(_SYSTEMTIME* time);
// Wall-clock seconds x 1000, wrapping modulo 2^32.
std::uint32_t GetTickCount();
