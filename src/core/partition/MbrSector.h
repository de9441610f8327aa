#pragma once
// Decode of one MBR or extended boot record.

#include <array>
#include <cstdint>

#include "core/util/ByteView.h"

struct MbrSlot {
  std::uint8_t bootFlag = 0;
  std::uint8_t type = 0;
  std::uint32_t firstSector = 0;  // relative to the table's base
  std::uint32_t sectorCount = 0;
  bool empty = true;  // all 16 bytes zero

  bool IsExtended() const;
};

struct MbrSector {
  bool hasSignature = false;  // 55 AA at 510
  std::array<MbrSlot, 4> slots{};

  // Every boot flag is 0x00 or 0x80.
  bool BootFlagsValid() const;
  bool HasType(std::uint8_t type) const;
};

// True when the view holds at least 512 bytes; `out` is then decoded.
bool DecodeMbrSector(const ByteView& sector, MbrSector& out);
