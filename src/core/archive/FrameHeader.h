#pragma once
// The 36-byte header in front of every frame's payload:
//   0  16  signature (kRSFileSignature)
//  16  16  frame tag
//  32   4  payload length, u32 little-endian

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "core/archive/GuidSign.h"

struct FRAMEHEADER {
  static constexpr std::size_t kSize = 36;

  tagGUIDSIGN signature;
  tagGUIDSIGN tag;
  std::uint32_t length = 0;
};

using FrameHeaderBytes = std::array<std::uint8_t, FRAMEHEADER::kSize>;

FrameHeaderBytes EncodeFrameHeader(const FRAMEHEADER& header);
FRAMEHEADER DecodeFrameHeader(std::span<const std::uint8_t, FRAMEHEADER::kSize> bytes);
