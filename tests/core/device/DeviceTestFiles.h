#pragma once
// Image files for the device tests: sector i holds bytes derived from i.

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "core/device/AsyncReader.h"
#include "core/util/Log.h"

namespace devtest {

inline std::uint8_t PatternByte(long long sector, int index) {
  return static_cast<std::uint8_t>((sector * 131 + index * 7 + 1) & 0xFF);
}

inline std::vector<std::uint8_t> PatternSectors(long long sectors, int sectorSize) {
  std::vector<std::uint8_t> bytes(static_cast<size_t>(sectors * sectorSize));
  for (long long s = 0; s < sectors; ++s)
    for (int i = 0; i < sectorSize; ++i) bytes[static_cast<size_t>(s * sectorSize + i)] = PatternByte(s, i);
  return bytes;
}

inline bool SectorMatches(const std::uint8_t* data, long long sector, int sectorSize) {
  for (int i = 0; i < sectorSize; ++i)
    if (data[i] != PatternByte(sector, i)) return false;
  return true;
}

inline bool AllZero(const std::uint8_t* data, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (data[i] != 0) return false;
  return true;
}

inline void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A read primitive over pread that fails chosen byte sectors with EIO, as a
// failing disk does: bytes before the first bad sector arrive, then EIO.
class FailingSectorsPrimitive : public IRawReadPrimitive {
 public:
  explicit FailingSectorsPrimitive(int sectorSize) : m_sectorSize(sectorSize) {}
  void Fail(long long byteSector) { m_failing.push_back(byteSector); }
  int Calls() const { return m_calls; }
  std::vector<std::pair<std::uint64_t, std::uint64_t>> requests;

  Outcome ReadAt(int fd, void* buffer, std::uint64_t length, std::uint64_t offset) override {
    ++m_calls;
    requests.emplace_back(offset, length);
    std::uint64_t firstBad = length;
    for (long long s : m_failing) {
      const std::uint64_t begin = static_cast<std::uint64_t>(s) * static_cast<std::uint64_t>(m_sectorSize);
      const std::uint64_t end = begin + static_cast<std::uint64_t>(m_sectorSize);
      if (end > offset && begin < offset + length) {
        const std::uint64_t at = begin > offset ? begin - offset : 0;
        if (at < firstBad) firstBad = at;
      }
    }
    Outcome out;
    if (firstBad > 0) {
      const ssize_t n = ::pread(fd, buffer, firstBad, static_cast<off_t>(offset));
      if (n < 0) return Outcome{0, errno};
      out.bytes = static_cast<std::uint64_t>(n);
      if (out.bytes < firstBad) return out;  // end of file
    }
    if (firstBad < length) out.error = EIO;
    return out;
  }

 private:
  int m_sectorSize;
  std::vector<long long> m_failing;
  int m_calls = 0;
};

// Installs a read primitive for the scope of a test.
class PrimitiveScope {
 public:
  explicit PrimitiveScope(IRawReadPrimitive* primitive) { SetRawReadPrimitive(primitive); }
  ~PrimitiveScope() { SetRawReadPrimitive(nullptr); }
  PrimitiveScope(const PrimitiveScope&) = delete;
  PrimitiveScope& operator=(const PrimitiveScope&) = delete;
};

// Sends the log to a folder for the scope of a test.
class LogDirScope {
 public:
  explicit LogDirScope(const std::string& dir) {
    ::setenv("QUARNEL_WORK_DIR", dir.c_str(), 1);
    CatchExeception::ResetWorkPath();
  }
  ~LogDirScope() {
    ::unsetenv("QUARNEL_WORK_DIR");
    CatchExeception::ResetWorkPath();
  }
  LogDirScope(const LogDirScope&) = delete;
  LogDirScope& operator=(const LogDirScope&) = delete;
};

}  // namespace devtest
