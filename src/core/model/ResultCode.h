#pragma once
// 64-bit result codes: bits 63-48 module, 47-32 source line, 31-0 code.
// Any value above 0x00FFFFFFFFFFFFFF is a failure; 0 is success.

#include <cstdint>

// The code itself is a plain 64-bit value (stored, compared and printed as
// one); wrapping it makes every function that returns one must-check: a
// result that nobody looks at is a warning.
struct [[nodiscard]] RESULT {
  std::uint64_t value = 0;

  constexpr RESULT() = default;
  constexpr RESULT(std::uint64_t code) : value(code) {}       // NOLINT: codes are written as numbers
  constexpr operator std::uint64_t() const { return value; }  // NOLINT: and read as numbers
};
static_assert(sizeof(RESULT) == sizeof(std::uint64_t));

namespace result {

enum Module : std::uint16_t {
  kModuleUi = 0x0102,
  kModuleEnumDevice = 0x0103,
  kModuleRecoveryController = 0x0104,
  kModuleHfsPlus = 0x0105,
  kModuleFatSearch = 0x010A,
  kModuleDataRecovery = 0x010D,
  kModuleStorageDevice = 0x010E,
  kModulePartitionTable = 0x0110,
  kModuleNtfsQuickSearch = 0x0112,
};

constexpr RESULT kSuccess = 0;

[[nodiscard]] constexpr RESULT Make(std::uint16_t module, std::uint32_t line, std::uint32_t code) {
  return (static_cast<RESULT>(module) << 48) | (static_cast<RESULT>(line & 0xFFFF) << 32) | code;
}
[[nodiscard]] constexpr bool Failed(RESULT r) { return r > 0x00FFFFFFFFFFFFFFull; }
[[nodiscard]] constexpr bool Succeeded(RESULT r) { return !Failed(r); }
[[nodiscard]] constexpr std::uint16_t ModuleOf(RESULT r) { return static_cast<std::uint16_t>(r >> 48); }
[[nodiscard]] constexpr std::uint16_t LineOf(RESULT r) { return static_cast<std::uint16_t>(r >> 32); }
[[nodiscard]] constexpr std::uint32_t CodeOf(RESULT r) { return static_cast<std::uint32_t>(r); }

}  // namespace result

// Builds a failure code of `module` stamped with the current source line.
#define QV_RESULT(module, code) (::result::Make((module), static_cast<std::uint32_t>(__LINE__), (code)))
