#include "core/archive/Crc16.h"

std::uint16_t Crc16Umts(std::span<const std::uint8_t> bytes) {
  std::uint16_t crc = 0;
  for (const std::uint8_t b : bytes) {
    crc = static_cast<std::uint16_t>(crc ^ (b << 8));
    for (int bit = 0; bit < 8; ++bit) {
      crc =
          (crc & 0x8000) != 0 ? static_cast<std::uint16_t>((crc << 1) ^ 0x8005) : static_cast<std::uint16_t>(crc << 1);
    }
  }
  return crc;
}
