#pragma once
// Turns the SOURCE argument into the device to scan.

#include <string>

#include "cli/CliArgs.h"

class IStorageDevice;

namespace cli {

struct Source {
  IStorageDevice* device = nullptr;
  int deep = 0;
};

// False with a one-line `error` when the source cannot be used.
bool ResolveSource(const Options& options, Source& out, std::string& error);

// File-system name of a volume record's code.
const char* FileSystemName(int code);

}  // namespace cli
