#pragma once
// The 132-byte header that opens every frame container file:
//   0  16  signature (kRSFileSignature)
//  16   4  version, u32, 5800
//  20   2  checksum, u16 (ComputeHeaderChecksum)
//  22   2  zero
//  24   4  status, i32; a valid file holds 1 to 4
//  28   4  description length, i32, 0 to 100
//  32 100  description text, not NUL-terminated
// All integers little-endian.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "core/archive/GuidSign.h"

using FileStatus = std::int32_t;

struct FILEHEADER {
  static constexpr std::size_t kSize = 132;
  static constexpr std::uint32_t kVersion = 5800;
  static constexpr FileStatus kMaxStatus = 4;
  static constexpr std::int32_t kMaxDescription = 100;

  tagGUIDSIGN signature = kRSFileSignature;
  std::uint32_t version = kVersion;
  std::uint16_t checksum = 0;
  std::uint16_t reserved = 0;
  FileStatus status = 0;
  std::int32_t descriptionLength = 0;
  std::array<char, kMaxDescription> description{};
};

using FileHeaderBytes = std::array<std::uint8_t, FILEHEADER::kSize>;

FileHeaderBytes EncodeFileHeader(const FILEHEADER& header);
FILEHEADER DecodeFileHeader(std::span<const std::uint8_t, FILEHEADER::kSize> bytes);

// CRC-16/UMTS of the encoded header with bytes 20 to 23 zeroed.
std::uint16_t ComputeHeaderChecksum(const FILEHEADER& header);

// True when the stored checksum matches, the version is 5800 and the zero
// field is zero. Status and description length are not checked here.
bool IsSealedFileHeader(const FILEHEADER& header);
