#pragma once
// Byte images of Windows recycle-bin "$I" records.

#include <cstdint>
#include <string>
#include <vector>

#include "support/Bytes.h"

namespace recycle_bytes {

inline std::vector<std::uint8_t> Utf16Le(const std::u16string& text) {
  std::vector<std::uint8_t> out;
  for (char16_t c : text) {
    out.push_back(static_cast<std::uint8_t>(c & 0xFF));
    out.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  return out;
}

// Version 1: header, then a 520-byte path field, zero-padded.
inline std::vector<std::uint8_t> V1(const std::u16string& path) {
  std::vector<std::uint8_t> out(24 + 520, 0);
  testsupport::PutLe64(out, 0, 1);
  testsupport::PutLe64(out, 8, 12345);
  testsupport::PutLe64(out, 16, 0x01D9000000000000ull);
  const std::vector<std::uint8_t> text = Utf16Le(path);
  for (std::size_t i = 0; i < text.size() && 24 + i < out.size(); ++i) out[24 + i] = text[i];
  return out;
}

// Version 2: header, unit count with the terminator, the path and its NUL.
inline std::vector<std::uint8_t> V2(const std::u16string& path, std::uint32_t declaredUnits = 0) {
  const std::vector<std::uint8_t> text = Utf16Le(path);
  std::vector<std::uint8_t> out(28 + text.size() + 2, 0);
  testsupport::PutLe64(out, 0, 2);
  testsupport::PutLe64(out, 8, 12345);
  testsupport::PutLe64(out, 16, 0x01D9000000000000ull);
  testsupport::PutLe32(out, 24, declaredUnits != 0 ? declaredUnits : static_cast<std::uint32_t>(path.size() + 1));
  for (std::size_t i = 0; i < text.size(); ++i) out[28 + i] = text[i];
  return out;
}

}  // namespace recycle_bytes
