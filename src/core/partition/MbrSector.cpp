#include "core/partition/MbrSector.h"

#include "core/partition/MbrLayout.h"

bool MbrSlot::IsExtended() const {
  return type == mbr::kTypeExtendedChs || type == mbr::kTypeExtendedLba || type == mbr::kTypeExtendedLinux;
}

bool MbrSector::BootFlagsValid() const {
  for (const MbrSlot& s : slots) {
    if (s.bootFlag != 0x00 && s.bootFlag != 0x80) return false;
  }
  return true;
}

bool MbrSector::HasType(std::uint8_t type) const {
  for (const MbrSlot& s : slots) {
    if (!s.empty && s.type == type) return true;
  }
  return false;
}

bool DecodeMbrSector(const ByteView& sector, MbrSector& out) {
  out = MbrSector{};
  if (!sector.Has(0, mbr::kMinSectorSize)) return false;
  out.hasSignature = sector.U8(mbr::kSignatureOffset) == 0x55 && sector.U8(mbr::kSignatureOffset + 1) == 0xAA;
  for (int i = 0; i < mbr::kEntryCount; ++i) {
    const ByteView e =
        sector.Sub(mbr::kEntryTableOffset + mbr::kEntrySize * static_cast<std::size_t>(i), mbr::kEntrySize);
    MbrSlot& s = out.slots[static_cast<std::size_t>(i)];
    s.bootFlag = e.U8(mbr::kBootFlag);
    s.type = e.U8(mbr::kType);
    s.firstSector = e.U32Le(mbr::kFirstSector);
    s.sectorCount = e.U32Le(mbr::kSectorCount);
    s.empty = true;
    for (std::size_t b = 0; b < mbr::kEntrySize; ++b) {
      if (e.U8(b) != 0) s.empty = false;
    }
  }
  return true;
}
