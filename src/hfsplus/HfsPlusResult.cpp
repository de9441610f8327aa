#include "hfsplus/HfsPlusResult.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

RESULT FormatError(RESULT code, const char* file, int line, const char* function) {
  const char* name = file == nullptr ? "" : file;
  if (const char* slash = std::strrchr(name, '/')) name = slash + 1;
  std::printf("Return Error:0x%" PRIx64 "\tFile:%s\tLine:%d\tFuction:%s\n", static_cast<std::uint64_t>(code), name,
              line, function == nullptr ? "" : function);
  return code;
}
