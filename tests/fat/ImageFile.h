#pragma once
// Image files made by real tools, loaded as memory devices.

#include <fstream>
#include <string>
#include <vector>

#include "support/MemoryDevice.h"
#include "support/TempDir.h"

namespace fattest {

inline std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  std::vector<std::uint8_t> bytes(in ? static_cast<std::size_t>(in.tellg()) : 0);
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

inline testsupport::MemoryDevice LoadImage(const std::string& path, int sectorSize = 512) {
  return testsupport::MemoryDevice(ReadBytes(path), sectorSize);
}

// Makes `name` of `size` in `dir` (sparse) and runs `format` with the path
// appended; "" when it fails.
inline std::string MakeImage(const testsupport::TempDir& dir, const std::string& name, const std::string& size,
                             const std::string& format) {
  const std::string path = dir.File(name);
  if (testsupport::Run("truncate -s " + size + " '" + path + "'") != 0) return {};
  if (testsupport::Run(format + " '" + path + "' >/dev/null 2>&1") != 0) return {};
  return path;
}

}  // namespace fattest
