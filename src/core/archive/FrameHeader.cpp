#include "core/archive/FrameHeader.h"

#include "core/util/ByteView.h"

namespace {
constexpr std::size_t kTagOffset = 16;
constexpr std::size_t kLengthOffset = 32;
}  // namespace

FrameHeaderBytes EncodeFrameHeader(const FRAMEHEADER& header) {
  FrameHeaderBytes out{};
  const auto signature = EncodeGuidSign(header.signature);
  const auto tag = EncodeGuidSign(header.tag);
  ByteWriter w(out);
  w.PutBytes(0, signature.data(), signature.size());
  w.PutBytes(kTagOffset, tag.data(), tag.size());
  w.PutU32Le(kLengthOffset, header.length);
  return out;
}

FRAMEHEADER DecodeFrameHeader(std::span<const std::uint8_t, FRAMEHEADER::kSize> bytes) {
  FRAMEHEADER header;
  header.signature = DecodeGuidSign(bytes.first<tagGUIDSIGN::kStoredSize>());
  header.tag = DecodeGuidSign(bytes.subspan<kTagOffset, tagGUIDSIGN::kStoredSize>());
  header.length = ByteView(bytes).U32Le(kLengthOffset);
  return header;
}
