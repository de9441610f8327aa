#pragma once
// Hand-made partition tables in memory, for the cases tools will not write.

#include <array>
#include <cstdint>
#include <vector>

#include "core/partition/Crc32.h"
#include "core/util/ByteView.h"

namespace parttest {

struct MbrSlotDef {
  std::uint8_t bootFlag = 0;
  std::uint8_t type = 0;
  std::uint32_t first = 0;
  std::uint32_t count = 0;
};

// Writes an MBR/EBR at `sector` with up to 4 entries and 55 AA.
inline void PutMbr(std::vector<std::uint8_t>& disk, int sectorSize, long long sector,
                   const std::vector<MbrSlotDef>& slots, bool signature = true) {
  ByteWriter w(std::span<std::uint8_t>(disk).subspan(static_cast<std::size_t>(sector * sectorSize), 512));
  for (std::size_t i = 0; i < slots.size() && i < 4; ++i) {
    const std::size_t e = 446 + 16 * i;
    w.PutU8(e, slots[i].bootFlag);
    w.PutU8(e + 4, slots[i].type);
    w.PutU32Le(e + 8, slots[i].first);
    w.PutU32Le(e + 12, slots[i].count);
  }
  if (signature) {
    w.PutU8(510, 0x55);
    w.PutU8(511, 0xAA);
  }
}

struct GptPartDef {
  std::uint64_t first = 0;
  std::uint64_t last = 0;
  std::uint8_t typeByte = 0xAB;  // first byte of the type GUID; the rest fixed
};

// A disk with a protective MBR and primary and backup GPTs (128 entries of
// 128 bytes), CRCs correct.
inline std::vector<std::uint8_t> MakeGptDisk(long long sectors, int sectorSize, const std::vector<GptPartDef>& parts) {
  const auto ss = static_cast<std::size_t>(sectorSize);
  std::vector<std::uint8_t> disk(static_cast<std::size_t>(sectors) * ss, 0);
  PutMbr(disk, sectorSize, 0, {{0, 0xEE, 1, static_cast<std::uint32_t>(sectors - 1)}});

  constexpr std::uint32_t kCount = 128, kSize = 128;
  std::vector<std::uint8_t> array(kCount * kSize, 0);
  ByteWriter a(array);
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const std::size_t e = i * kSize;
    a.PutU8(e, parts[i].typeByte);
    for (std::size_t b = 1; b < 16; ++b) a.PutU8(e + b, static_cast<std::uint8_t>(b));
    a.PutU8(e + 16, static_cast<std::uint8_t>(i + 1));
    a.PutU64Le(e + 32, parts[i].first);
    a.PutU64Le(e + 40, parts[i].last);
  }
  const std::uint32_t arrayCrc = Crc32(array.data(), array.size());
  const long long arraySectors = static_cast<long long>((array.size() + ss - 1) / ss);

  auto putHeader = [&](long long lba, long long alternate, long long entryLba) {
    std::copy(array.begin(), array.end(), disk.begin() + static_cast<std::ptrdiff_t>(entryLba * sectorSize));
    ByteWriter h(std::span<std::uint8_t>(disk).subspan(static_cast<std::size_t>(lba) * ss, ss));
    h.PutBytes(0, "EFI PART", 8);
    h.PutU32Le(8, 0x00010000);
    h.PutU32Le(12, 92);
    h.PutU64Le(24, static_cast<std::uint64_t>(lba));
    h.PutU64Le(32, static_cast<std::uint64_t>(alternate));
    h.PutU64Le(40, static_cast<std::uint64_t>(2 + arraySectors));
    h.PutU64Le(48, static_cast<std::uint64_t>(sectors - 2 - arraySectors));
    h.PutU64Le(72, static_cast<std::uint64_t>(entryLba));
    h.PutU32Le(80, kCount);
    h.PutU32Le(84, kSize);
    h.PutU32Le(88, arrayCrc);
    const std::uint8_t* header = disk.data() + static_cast<std::size_t>(lba) * ss;
    h.PutU32Le(16, Crc32(header, 92));
  };
  putHeader(1, sectors - 1, 2);
  putHeader(sectors - 1, 1, sectors - 1 - arraySectors);
  return disk;
}

}  // namespace parttest
