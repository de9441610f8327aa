#include "core/archive/FileHeader.h"

#include "core/archive/Crc16.h"
#include "core/util/ByteView.h"

namespace {
constexpr std::size_t kVersionOffset = 16;
constexpr std::size_t kChecksumOffset = 20;
constexpr std::size_t kReservedOffset = 22;
constexpr std::size_t kStatusOffset = 24;
constexpr std::size_t kLengthOffset = 28;
constexpr std::size_t kTextOffset = 32;
static_assert(kTextOffset + FILEHEADER::kMaxDescription == FILEHEADER::kSize);
}  // namespace

FileHeaderBytes EncodeFileHeader(const FILEHEADER& header) {
  FileHeaderBytes out{};
  const auto signature = EncodeGuidSign(header.signature);
  ByteWriter w(out);
  w.PutBytes(0, signature.data(), signature.size());
  w.PutU32Le(kVersionOffset, header.version);
  w.PutU16Le(kChecksumOffset, header.checksum);
  w.PutU16Le(kReservedOffset, header.reserved);
  w.PutU32Le(kStatusOffset, static_cast<std::uint32_t>(header.status));
  w.PutU32Le(kLengthOffset, static_cast<std::uint32_t>(header.descriptionLength));
  w.PutBytes(kTextOffset, header.description.data(), header.description.size());
  return out;
}

FILEHEADER DecodeFileHeader(std::span<const std::uint8_t, FILEHEADER::kSize> bytes) {
  const ByteView v(bytes);
  FILEHEADER header;
  header.signature = DecodeGuidSign(bytes.first<tagGUIDSIGN::kStoredSize>());
  header.version = v.U32Le(kVersionOffset);
  header.checksum = v.U16Le(kChecksumOffset);
  header.reserved = v.U16Le(kReservedOffset);
  header.status = static_cast<FileStatus>(v.U32Le(kStatusOffset));
  header.descriptionLength = static_cast<std::int32_t>(v.U32Le(kLengthOffset));
  v.Bytes(kTextOffset, header.description.data(), header.description.size());
  return header;
}

std::uint16_t ComputeHeaderChecksum(const FILEHEADER& header) {
  FILEHEADER zeroed = header;
  zeroed.checksum = 0;
  zeroed.reserved = 0;
  return Crc16Umts(EncodeFileHeader(zeroed));
}

bool IsSealedFileHeader(const FILEHEADER& header) {
  return header.checksum == ComputeHeaderChecksum(header) && header.version == FILEHEADER::kVersion &&
         header.reserved == 0;
}
