#pragma once
// 16-byte identifiers of the frame container: the file signature and the
// frame tags. Stored in the usual GUID layout: Data1, Data2 and Data3
// little-endian, then the eight bytes of Data4 as they stand.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

struct tagGUIDSIGN {
  static constexpr std::size_t kStoredSize = 16;

  std::uint32_t Data1 = 0;
  std::uint16_t Data2 = 0;
  std::uint16_t Data3 = 0;
  std::array<std::uint8_t, 8> Data4{};

  bool operator==(const tagGUIDSIGN&) const = default;
};

// {1CB3F4EA-4305-4AB6-B4B8-244A33D913BB}: starts the file and every frame.
inline constexpr tagGUIDSIGN kRSFileSignature{
    0x1CB3F4EA, 0x4305, 0x4AB6, {0xB4, 0xB8, 0x24, 0x4A, 0x33, 0xD9, 0x13, 0xBB}};

// The 16 stored bytes of `id`.
std::array<std::uint8_t, tagGUIDSIGN::kStoredSize> EncodeGuidSign(const tagGUIDSIGN& id);
// The identifier whose stored bytes are `bytes`.
tagGUIDSIGN DecodeGuidSign(std::span<const std::uint8_t, tagGUIDSIGN::kStoredSize> bytes);
