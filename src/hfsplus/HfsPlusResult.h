#pragma once
// Result codes of the HFS+ engine (module 0x0105) and their printing.

#include "core/model/ResultCode.h"

enum HfsPlusCode : std::uint32_t {
  kHfsNotInitialised = 0x2,
  kHfsBadTree = 0x3,
  kHfsNoMemory = 0x4,
  kHfsBadArgument = 0x5,
  kHfsFormat = 0x6,
  kHfsCancelled = 0xD,
  kHfsShortRead = 0xE,
  kHfsIoFailed = 0x501,
};

// Prints "Return Error:0x..\tFile:..\tLine:..\tFuction:..\n" and returns `code`.
RESULT FormatError(RESULT code, const char* file, int line, const char* function);

// A failure of this module stamped with the current line, printed once.
#define HFS_FAIL(code)                                                                                          \
  FormatError(::result::Make(::result::kModuleHfsPlus, static_cast<std::uint32_t>(__LINE__), (code)), __FILE__, \
              __LINE__, __func__)

// The same printed where the failure is not returned (the caller reports it
// its own way).
#define HFS_REPORT(code) static_cast<void>(HFS_FAIL(code))

[[nodiscard]] inline bool IsHfsCode(RESULT r, std::uint32_t code) {
  return ::result::Failed(r) && ::result::CodeOf(r) == code;
}
