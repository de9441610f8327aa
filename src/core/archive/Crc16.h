#pragma once
// CRC-16 with polynomial 0x8005, initial value 0, most significant bit
// first, no final XOR (CRC-16/UMTS; check value of "123456789" is 0xFEE8).

#include <cstdint>
#include <span>

std::uint16_t Crc16Umts(std::span<const std::uint8_t> bytes);
