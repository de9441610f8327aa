#include "exfat/ExFatEntryChecks.h"

#include "core/util/Utf16.h"

#include "exfat/ExFatDirEntryLayout.h"

namespace de = exfatde;

namespace {

constexpr std::array<std::uint8_t, 256> MakeNameTable() {
  std::array<std::uint8_t, 256> t{};
  for (auto& v : t) v = 1;
  for (int i = 0; i <= 0x19; ++i) t[static_cast<std::size_t>(i)] = 0;
  for (int c : {0x22, 0x2A, 0x2F, 0x3A, 0x3C, 0x3E, 0x3F, 0x5C, 0x7C, 0xFF}) t[static_cast<std::size_t>(c)] = 0;
  return t;
}

bool AllZero(const ByteView& v, std::size_t from, std::size_t to) {
  for (std::size_t i = from; i < to; ++i) {
    if (v.U8(i) != 0) return false;
  }
  return true;
}

// A byte length in range: below the device in sectors, and, for contiguous
// data, ending at or before the last valid cluster.
bool LengthFits(std::uint64_t length, std::uint32_t firstCluster, bool contiguous, const ExFatEntryLimits& l) {
  if (l.sectorShift >= 64 || (length >> l.sectorShift) >= l.totalSectors) return false;
  if (contiguous && firstCluster != 0) {
    const std::uint64_t clusters = l.clusterShift >= 64 ? 0 : (length >> l.clusterShift);
    if (clusters + firstCluster > de::kLastValidCluster) return false;
  }
  return true;
}

bool TableEntry(const ByteView& e, const ExFatEntryLimits& l) {
  const std::uint32_t first = e.U32Le(de::kTableFirstCluster);
  const std::uint64_t length = e.U64Le(de::kTableDataLength);
  if (first < de::kFirstDataCluster || first > de::kLastValidCluster) return false;
  return LengthFits(length, first, true, l);
}

}  // namespace

const std::array<std::uint8_t, 256> g_u8FileNameCheckTable = MakeNameTable();

namespace exfatcheck {

bool Timestamp(std::uint32_t ts) {
  const std::uint32_t time = ts & 0xFFFF;
  const std::uint32_t date = ts >> 16;
  const std::uint32_t day = date & 0x1F;
  const std::uint32_t month = (date >> 5) & 0xF;
  return day >= 1 && month >= 1 && month <= 12 && (time >> 11) < 24 && ((time >> 5) & 0x3F) < 60 && (time & 0x1F) < 30;
}

bool FileEntry(const ByteView& e) {
  if (!e.Has(0, de::kEntrySize)) return false;
  const std::uint8_t count = e.U8(de::kFileSecondaryCount);
  if (count < de::kMinSecondaryCount || count > de::kMaxSecondaryCount) return false;
  for (std::size_t off : {de::kFileCreated, de::kFileModified, de::kFileAccessed}) {
    if (!Timestamp(e.U32Le(off))) return false;
  }
  if (e.U8(de::kFileCreated10ms) >= 200 || e.U8(de::kFileModified10ms) >= 200) return false;
  return e.U16Le(de::kFileReserved1) == 0 && AllZero(e, de::kFileReserved2, de::kEntrySize);
}

bool StreamEntry(const ByteView& e, const ExFatEntryLimits& l) {
  if (!e.Has(0, de::kEntrySize)) return false;
  if (e.U8(de::kStreamReserved1) != 0 || e.U16Le(de::kStreamReserved2) != 0 || e.U32Le(de::kStreamReserved3) != 0) {
    return false;
  }
  const std::uint32_t first = e.U32Le(de::kStreamFirstCluster);
  if (first == 1 || first > 0xFFFFFFF6u) return false;
  const bool contiguous = (e.U8(de::kStreamFlags) & de::kFlagNoFatChain) != 0;
  return LengthFits(e.U64Le(de::kStreamDataLength), first, contiguous, l) &&
         LengthFits(e.U64Le(de::kStreamValidLength), first, contiguous, l);
}

bool NameEntry(const ByteView& e) {
  if (!e.Has(0, de::kEntrySize)) return false;
  if (e.U8(de::kNameFlags) != 0) return false;
  if (e.U16Le(de::kNameChars) == 0) return false;
  for (std::size_t i = 0; i < de::kNameCharsPerEntry; ++i) {
    const std::uint16_t c = e.U16Le(de::kNameChars + 2 * i);
    if (c == 0) break;
    // Characters of the ASCII range are looked up; the rest are allowed.
    if (c < 0x80 && g_u8FileNameCheckTable[c] == 0) return false;
  }
  return true;
}

bool LabelEntry(const ByteView& e) {
  if (!e.Has(0, de::kEntrySize)) return false;
  const std::size_t count = e.U8(de::kLabelCount);
  if (count > de::kLabelMaxChars) return false;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint16_t c = e.U16Le(de::kLabelChars + 2 * i);
    if (c <= 0xFF && g_u8FileNameCheckTable[c] == 0) return false;
  }
  return AllZero(e, de::kLabelChars + 2 * count, de::kEntrySize);
}

bool BitmapEntry(const ByteView& e, const ExFatEntryLimits& l) {
  return e.Has(0, de::kEntrySize) && TableEntry(e, l) && AllZero(e, 2, 20);
}

bool UpcaseEntry(const ByteView& e, const ExFatEntryLimits& l) {
  return e.Has(0, de::kEntrySize) && TableEntry(e, l) && AllZero(e, 1, 4) && AllZero(e, 8, 20);
}

std::uint16_t SetChecksum(const ByteView& set, bool asInUse) {
  std::uint16_t sum = 0;
  for (std::size_t i = 0; i < set.Size(); ++i) {
    if (i == 2 || i == 3) continue;
    std::uint8_t b = set.U8(i);
    if (asInUse && i % de::kEntrySize == 0) b = static_cast<std::uint8_t>(b | de::kInUse);
    sum = static_cast<std::uint16_t>(((sum & 1) ? 0x8000 : 0) + (sum >> 1) + b);
  }
  return sum;
}

std::string Utf16ToUtf8(const std::vector<std::uint16_t>& units, std::size_t maxBytes) {
  const std::u16string name(units.begin(), units.end());
  return text::Utf16ToUtf8(name, maxBytes);
}

}  // namespace exfatcheck

bool CheckDirEntry(const ByteView& set, std::uint16_t stored) {
  if (set.Size() == 0) return stored == 0;
  if (exfatcheck::SetChecksum(set, false) == stored) return true;
  return (set.U8(0) & exfatde::kInUse) == 0 && exfatcheck::SetChecksum(set, true) == stored;
}
