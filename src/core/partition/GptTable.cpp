#include "core/partition/GptTable.h"

#include <algorithm>

#include "core/partition/Crc32.h"
#include "core/partition/GptLayout.h"

bool DecodeGptHeader(const ByteView& sector, std::uint64_t expectedLba, std::uint64_t totalSectors,
                     std::uint32_t sectorSize, GptHeader& out) {
  out = GptHeader{};
  if (sectorSize == 0 || !sector.Equals(gpt::kHeaderSignature, gpt::kSignature, sizeof gpt::kSignature)) return false;
  const std::uint32_t headerSize = sector.U32Le(gpt::kHeaderSize);
  if (headerSize < gpt::kMinHeaderSize || !sector.Has(0, headerSize)) return false;

  std::vector<std::uint8_t> copy(headerSize);
  sector.Bytes(0, copy.data(), copy.size());
  std::fill(copy.begin() + gpt::kHeaderCrc, copy.begin() + gpt::kHeaderCrc + 4, 0);
  if (Crc32(copy.data(), copy.size()) != sector.U32Le(gpt::kHeaderCrc)) return false;

  out.myLba = sector.U64Le(gpt::kMyLba);
  out.alternateLba = sector.U64Le(gpt::kAlternateLba);
  out.entryLba = sector.U64Le(gpt::kEntryLba);
  out.entryCount = sector.U32Le(gpt::kEntryCount);
  out.entrySize = sector.U32Le(gpt::kEntrySize);
  out.entryArrayCrc = sector.U32Le(gpt::kEntryArrayCrc);
  if (out.myLba != expectedLba) return false;
  if (out.entrySize < gpt::kMinEntrySize || out.entrySize % 8 != 0) return false;
  if (out.entryCount > kMaxGptEntries || out.ArrayBytes() > kMaxGptArrayBytes) return false;

  const std::uint64_t arraySectors = (out.ArrayBytes() + sectorSize - 1) / sectorSize;
  if (out.entryLba < 2 || out.entryLba >= totalSectors || arraySectors > totalSectors - out.entryLba) return false;
  // The array must not cover its own header.
  if (out.entryLba <= out.myLba && out.myLba < out.entryLba + arraySectors) return false;
  return true;
}

bool GptArrayCrcMatches(const ByteView& array, const GptHeader& header) {
  const std::uint64_t bytes = header.ArrayBytes();
  if (!array.Has(0, bytes)) return false;
  return Crc32(array.Data(), static_cast<std::size_t>(bytes)) == header.entryArrayCrc;
}

std::vector<GptRawEntry> DecodeGptEntries(const ByteView& array, std::uint32_t count, std::uint32_t size) {
  std::vector<GptRawEntry> entries;
  if (size < gpt::kMinEntrySize) return entries;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint64_t offset = static_cast<std::uint64_t>(i) * size;
    if (!array.Has(offset, size)) break;
    const ByteView e = array.Sub(offset, size);
    GptRawEntry raw;
    e.Bytes(gpt::kTypeGuid, raw.typeGuid.data(), raw.typeGuid.size());
    if (std::all_of(raw.typeGuid.begin(), raw.typeGuid.end(), [](std::uint8_t b) { return b == 0; })) continue;
    e.Bytes(gpt::kUniqueGuid, raw.uniqueGuid.data(), raw.uniqueGuid.size());
    raw.number = static_cast<std::int32_t>(i) + 1;
    raw.firstLba = e.U64Le(gpt::kFirstLba);
    raw.lastLba = e.U64Le(gpt::kLastLba);
    entries.push_back(raw);
  }
  return entries;
}
