#include "fat/FatFilePropertiesBuilder.h"

#include <vector>

#include "fat/FatDirEntryLayout.h"
#include "fat/FatLongName.h"

namespace {

bool ChecksumMatches(const CTempFATDirEntry& shortEntry, std::uint8_t stored) {
  if (shortEntry.ShortNameChecksum(shortEntry.FirstByte()) == stored) return true;
  if (!shortEntry.IsErased()) return false;
  // The deleted mark replaced the first character: any first byte may match.
  for (unsigned first = 0x20; first < 0x100; ++first) {
    if (shortEntry.ShortNameChecksum(static_cast<std::uint8_t>(first)) == stored) return true;
  }
  return false;
}

}  // namespace

std::string CFATFilePropertiesBuilder::AssembleLongName(const ByteView& run, std::size_t longEntries,
                                                        const CTempFATDirEntry& shortEntry) {
  if (longEntries == 0 || longEntries > kMaxLongNameEntries) return {};
  std::vector<std::uint16_t> units;
  units.reserve(longEntries * 13);
  // Pieces are stored last part first: walk them backwards.
  for (std::size_t k = longEntries; k-- > 0;) {
    CTempFATDirEntry piece;
    piece.InitFromBuffer(run, k * fatdir::kEntryBytes);
    if (!piece.IsLongFileNameEntry() || !ChecksumMatches(shortEntry, piece.GetLongNameChecksum())) return {};
    std::uint16_t chunk[13];
    piece.GetLongNameUnits(chunk);
    bool ended = false;
    for (std::uint16_t u : chunk) {
      if (u == 0) {
        ended = true;
        break;
      }
      units.push_back(u);
    }
    // Only the last part (the first entry stored) may end early.
    if (ended && k != 0) return {};
  }
  return Utf16UnitsToUtf8(units);
}

CFATFileProperties* CFATFilePropertiesBuilder::BuildFATFilePropertyFromDirEntryBuffer(const ByteView& run) {
  const std::size_t count = run.Size() / fatdir::kEntryBytes;
  if (count == 0) return nullptr;
  CTempFATDirEntry shortEntry;
  shortEntry.InitFromBuffer(run, (count - 1) * fatdir::kEntryBytes);
  if (shortEntry.IsLongFileNameEntry()) return nullptr;
  std::string name = AssembleLongName(run, count - 1, shortEntry);
  if (!IsValidLongFileName(name)) name = shortEntry.GetShortName(false);
  return BuildFATFilePropertyFromDirEntry(name, shortEntry);
}

CFATFileProperties* CFATFilePropertiesBuilder::BuildFATFilePropertyFromDirEntry(const std::string& name,
                                                                                const CTempFATDirEntry& entry) {
  CFATFileProperties* p = CFATFileProperties::Create();
  p->SetFileName(name.c_str());
  p->SetFileSize(entry.GetSize());
  p->SetAttribute(entry.GetAttribute());
  p->SetCreationTime(entry.U16At(fatdir::kCreationDate), entry.U16At(fatdir::kCreationTime));
  p->SetModificationTime(entry.U16At(fatdir::kModificationDate), entry.U16At(fatdir::kModificationTime));
  p->SetLastAccessDate(entry.U16At(fatdir::kAccessDate));
  p->SetState(entry.IsErased() ? CFATFileProperties::kStateDeleted : 0);
  return p;
}
