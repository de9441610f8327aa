#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/archive/FileHeader.h"
#include "core/archive/FrameHeader.h"
#include "core/archive/GuidSign.h"

namespace {

const std::vector<std::uint8_t> kSignatureBytes = {0xEA, 0xF4, 0xB3, 0x1C, 0x05, 0x43, 0xB6, 0x4A,
                                                   0xB4, 0xB8, 0x24, 0x4A, 0x33, 0xD9, 0x13, 0xBB};

TEST(GuidSign, SignatureStoredBytes) {
  const auto bytes = EncodeGuidSign(kRSFileSignature);
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), kSignatureBytes);
  EXPECT_EQ(DecodeGuidSign(bytes), kRSFileSignature);
}

TEST(FileHeaderLayout, FreshHeader) {
  const FILEHEADER header;
  EXPECT_EQ(header.signature, kRSFileSignature);
  EXPECT_EQ(header.status, 0);
  EXPECT_EQ(header.descriptionLength, 0);
}

TEST(FileHeaderLayout, FieldOffsets) {
  FILEHEADER header;
  header.version = 5800;
  header.checksum = 0x20CB;
  header.status = 2;
  header.descriptionLength = 1;
  header.description[0] = 'x';
  const FileHeaderBytes b = EncodeFileHeader(header);

  std::vector<std::uint8_t> expected = kSignatureBytes;
  expected.insert(expected.end(), {0xA8, 0x16, 0x00, 0x00,  // version 5800
                                   0xCB, 0x20, 0x00, 0x00,  // checksum, zero
                                   0x02, 0x00, 0x00, 0x00,  // status
                                   0x01, 0x00, 0x00, 0x00,  // description length
                                   'x'});
  expected.resize(FILEHEADER::kSize, 0);
  EXPECT_EQ(std::vector<std::uint8_t>(b.begin(), b.end()), expected);
  EXPECT_EQ(ComputeHeaderChecksum(header), 0x20CB);
  EXPECT_TRUE(IsSealedFileHeader(header));
}

TEST(FileHeaderLayout, NegativeFieldsRoundTrip) {
  FILEHEADER header;
  header.status = -2;
  header.descriptionLength = -1;
  const FileHeaderBytes b = EncodeFileHeader(header);
  EXPECT_EQ(b[24], 0xFE);
  EXPECT_EQ(b[31], 0xFF);
  const FILEHEADER back = DecodeFileHeader(b);
  EXPECT_EQ(back.status, -2);
  EXPECT_EQ(back.descriptionLength, -1);
}

TEST(FileHeaderLayout, DecodeEncodeIsIdentity) {
  FileHeaderBytes raw{};
  for (std::size_t i = 0; i < raw.size(); ++i) raw[i] = static_cast<std::uint8_t>(i * 7 + 3);
  EXPECT_EQ(EncodeFileHeader(DecodeFileHeader(raw)), raw);
}

TEST(FrameHeaderLayout, FieldOffsets) {
  FRAMEHEADER header;
  header.signature = kRSFileSignature;
  header.tag = {0x409B6394, 0xF681, 0x4E88, {0xA2, 0x0F, 0x5D, 0x63, 0x57, 0x82, 0xED, 0x75}};
  header.length = 0x01020304;
  const FrameHeaderBytes b = EncodeFrameHeader(header);

  std::vector<std::uint8_t> expected = kSignatureBytes;
  expected.insert(expected.end(), {0x94, 0x63, 0x9B, 0x40, 0x81, 0xF6, 0x88, 0x4E, 0xA2, 0x0F,
                                   0x5D, 0x63, 0x57, 0x82, 0xED, 0x75, 0x04, 0x03, 0x02, 0x01});
  EXPECT_EQ(std::vector<std::uint8_t>(b.begin(), b.end()), expected);

  const FRAMEHEADER back = DecodeFrameHeader(b);
  EXPECT_EQ(back.signature, header.signature);
  EXPECT_EQ(back.tag, header.tag);
  EXPECT_EQ(back.length, header.length);
}

}  // namespace
