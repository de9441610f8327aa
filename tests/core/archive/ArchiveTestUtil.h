#pragma once
// Small helpers shared by the frame container tests.

#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/archive/GuidSign.h"
#include "core/archive/RSException.h"
#include "support/Files.h"

namespace archivetest {

inline constexpr tagGUIDSIGN kTagA{0x409B6394, 0xF681, 0x4E88, {0xA2, 0x0F, 0x5D, 0x63, 0x57, 0x82, 0xED, 0x75}};
inline constexpr tagGUIDSIGN kTagB{0xB072A676, 0x0548, 0x468B, {0xBA, 0x9E, 0x91, 0x09, 0x3A, 0x63, 0xB5, 0x17}};
inline constexpr tagGUIDSIGN kTagC{0xD208F26C, 0x078C, 0x4E34, {0x9D, 0x71, 0xD9, 0x1F, 0x53, 0x5F, 0x7B, 0x57}};
inline constexpr tagGUIDSIGN kTagMissing{0x01020304, 0x0506, 0x0708, {9, 10, 11, 12, 13, 14, 15, 16}};

using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

// Deterministic filler bytes.
inline std::vector<std::uint8_t> Pattern(std::size_t size, std::uint32_t seed) {
  std::vector<std::uint8_t> out(size);
  std::uint32_t x = seed * 2654435761u + 1;
  for (auto& b : out) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = static_cast<std::uint8_t>(x);
  }
  return out;
}

// The CRSException code `fn` throws, 0 when it returns normally.
template <class Fn>
unsigned int ThrownCode(Fn&& fn) {
  try {
    fn();
  } catch (const CRSException& e) {
    return e.GetErrorcode();
  }
  return 0;
}

// Sets the umask for the lifetime of the object.
class UmaskGuard {
 public:
  explicit UmaskGuard(mode_t mask) : m_old(::umask(mask)) {}
  ~UmaskGuard() { ::umask(m_old); }
  UmaskGuard(const UmaskGuard&) = delete;
  UmaskGuard& operator=(const UmaskGuard&) = delete;

 private:
  mode_t m_old;
};

}  // namespace archivetest
