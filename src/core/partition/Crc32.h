#pragma once
// CRC-32 (IEEE 802.3, reflected, as GPT uses it).

#include <cstddef>
#include <cstdint>

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0);
