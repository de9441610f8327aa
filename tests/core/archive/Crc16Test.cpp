#include "core/archive/Crc16.h"

#include <gtest/gtest.h>

#include <string_view>

#include "core/archive/FileHeader.h"

namespace {

std::span<const std::uint8_t> Bytes(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

TEST(Crc16Umts, CheckValue) { EXPECT_EQ(Crc16Umts(Bytes("123456789")), 0xFEE8); }

TEST(Crc16Umts, EmptyInputIsZero) { EXPECT_EQ(Crc16Umts({}), 0x0000); }

TEST(Crc16Umts, SingleBytes) {
  // No reflection: one byte b gives the CRC of b << 8 over the polynomial.
  const std::uint8_t one[] = {0x01};
  const std::uint8_t high[] = {0x80};
  EXPECT_EQ(Crc16Umts(one), 0x8005);
  EXPECT_EQ(Crc16Umts(high), 0x8303);
}

TEST(HeaderChecksum, FreshHeaderWithStatusOne) {
  // The header every saved scan starts with: status 1, no description.
  FILEHEADER header;
  header.status = 1;
  EXPECT_EQ(ComputeHeaderChecksum(header), 0x1DCE);
}

TEST(HeaderChecksum, IgnoresTheChecksumAndZeroFields) {
  FILEHEADER header;
  header.status = 3;
  const std::uint16_t base = ComputeHeaderChecksum(header);
  header.checksum = 0xBEEF;
  header.reserved = 0x1234;
  EXPECT_EQ(ComputeHeaderChecksum(header), base);
}

}  // namespace
