// The complete searcher's volume-header and journal tests, and how a found
// header places its volume among the candidates.

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "hfsplus/BTreeNode.h"
#include "hfsplus/CompleteSearcher.h"
#include "hfsplus/HeaderPlacement.h"
#include "hfsplus/HfsPlusLayout.h"

namespace {

bool SameVolume(const HFSPlusVolumeHeader& a, const HFSPlusVolumeHeader& b) {
  return a.VolumeIdentifier() == b.VolumeIdentifier() && a.createDate == b.createDate;
}

bool MayStartHeader(const std::uint8_t* bytes) { return bytes[0] == 'H' && (bytes[1] == '+' || bytes[1] == 'X'); }

}  // namespace

bool CHFSPlusCompleteFileSystemSearchController::TestVolumeHeader(long long s, const ByteView& sector) {
  // Cheap refusal: no slice begins with a signature.
  bool maybe = false;
  for (std::size_t at = 0; at + 512 <= sector.Size(); at += 512) maybe = maybe || MayStartHeader(sector.Data() + at);
  if (!maybe) return false;

  const VolumeHeaderScan scan = ScanVolumeHeaders(sector);
  if (scan.headers.empty()) return false;
  for (const VolumeHeaderHit& hit : scan.headers) {
    std::printf("Find VolumeHeader SectorNumber[%llx],VolumeID[%llx]\n", static_cast<unsigned long long>(s),
                static_cast<unsigned long long>(hit.header.VolumeIdentifier()));
  }
  if (scan.clean && scan.headers.size() == 1) RegisterVolumeHeader(s, scan.headers.front());
  return true;
}

bool CHFSPlusCompleteFileSystemSearchController::CatalogHeaderNodeAt(long long start, const HFSPlusVolumeHeader& h) {
  const HFSPlusExtentDescriptor& first = h.catalogFile.extents[0];
  if (first.blockCount == 0 || start < 0) return false;
  const long long spb = h.blockSize / static_cast<std::uint32_t>(m_iSectorSize);
  if (spb <= 0) return false;
  const long long sector = start + static_cast<long long>(first.startBlock) * spb;
  if (sector < start || sector >= m_llTotalSectors) return false;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(m_iSectorSize), 0);
  if (ReadAt(sector, 1, bytes.data()) == 0) return false;
  const ByteView view(bytes.data(), bytes.size());
  const BTNodeDescriptor d = DecodeNodeDescriptor(view);
  if (d.kind != hfs::kHeaderNode || d.height != 0 || d.reserved != 0) return false;
  const auto rec = DecodeHeaderRecord(view.Sub(hfs::kNodeDescriptorSize, hfs::kHeaderRecordSize));
  return rec && IsValidNodeSize(rec->nodeSize) && rec->treeDepth <= hfs::kMaxTreeDepth;
}

bool CHFSPlusCompleteFileSystemSearchController::PlaceHeader(long long s, const VolumeHeaderHit& hit,
                                                             Placement& place) {
  const auto ss = static_cast<std::uint32_t>(m_iSectorSize);
  const long long mainStart = MainHeaderStart(s, hit.offset, ss);
  const long long altStart = AlternateHeaderStart(s, hit.offset, ss, hit.header.VolumeBytes());
  // The alternate copy of a volume already placed.
  if (altStart >= 0) {
    for (const auto& c : m_candidates) {
      if (c->volumeHeader && c->startSector == altStart && SameVolume(*c->volumeHeader, hit.header)) {
        place = {altStart, false, true};
        return true;
      }
    }
  }
  // Otherwise the catalog's header node tells which copy this is. A header
  // that nothing bears out may be a copy kept elsewhere, in a journal.
  if (mainStart >= 0 && CatalogHeaderNodeAt(mainStart, hit.header)) {
    place = {mainStart, true, true};
  } else if (altStart >= 0 && CatalogHeaderNodeAt(altStart, hit.header)) {
    place = {altStart, false, true};
  } else if (mainStart >= 0) {
    place = {mainStart, true, false};
  } else if (altStart >= 0) {
    place = {altStart, false, false};
  } else {
    return false;
  }
  return true;
}

bool CHFSPlusCompleteFileSystemSearchController::IsDiskVolumeStart(long long start) const {
  return std::any_of(m_diskVolumes.begin(), m_diskVolumes.end(), [&](const CCollectedVolumeDeviceInfoStruct& v) {
    return v.fileSystem == kFsHfsPlus && v.startSector == start;
  });
}

void CHFSPlusCompleteFileSystemSearchController::StoreHeader(CompleteSearchPatition& c, long long s,
                                                             const Placement& place, const HFSPlusVolumeHeader& h) {
  c.volumeHeader = std::make_unique<HFSPlusVolumeHeader>(h);
  c.volumeHeaderSector = s;
  c.headerIsMain = place.isMain;
  c.placementConfirmed = place.confirmed;
  c.startSector = place.start;
  c.blockSize = h.blockSize;
  const long long sectors = static_cast<long long>(h.VolumeBytes() / static_cast<std::uint64_t>(m_iSectorSize));
  c.sectorCount = std::max(0LL, std::min(m_llTotalSectors - place.start, sectors));
}

bool CHFSPlusCompleteFileSystemSearchController::TakeOtherCopy(long long s, const Placement& place,
                                                               const HFSPlusVolumeHeader& h) {
  for (const auto& c : m_candidates) {
    if (!c->volumeHeader || !SameVolume(*c->volumeHeader, h)) continue;
    // A journal keeps copies of the header of every transaction: one that
    // nothing bears out never places the volume a second time.
    if (!place.confirmed) return true;
    // The copy that placed the candidate was such a copy: the volume lies
    // where this one says (unless it opened where it was).
    if (!c->placementConfirmed && !c->fromDiskRecord && !c->volume) {
      StoreHeader(*c, s, place, h);
      c->volumeTried = false;
      c->virtualDevice.reset();
      return true;
    }
  }
  return false;
}

void CHFSPlusCompleteFileSystemSearchController::RegisterVolumeHeader(long long s, const VolumeHeaderHit& hit) {
  if (m_candidates.empty()) {
    std::printf("Error:%d\n", __LINE__);
    return;
  }
  const HFSPlusVolumeHeader& h = hit.header;
  // Blocks smaller than a sector cannot be addressed on this device.
  if (h.blockSize < static_cast<std::uint32_t>(m_iSectorSize)) return;
  Placement place;
  if (!PlaceHeader(s, hit, place) || place.start >= m_llTotalSectors) return;
  const long long start = place.start;

  // A candidate at that start: the disk's record of this volume, or the
  // volume itself when this is its other header.
  for (auto it = m_candidates.rbegin(); it != m_candidates.rend(); ++it) {
    CompleteSearchPatition& c = **it;
    if (c.startSector != start) continue;
    if (!c.volumeHeader) {
      StoreHeader(c, s, place, h);
      return;
    }
    if (SameVolume(*c.volumeHeader, h)) {
      if (h.totalBlocks > c.volumeHeader->totalBlocks) {
        c.volumeHeader->totalBlocks = h.totalBlocks;
        const auto sectors =
            static_cast<long long>(c.volumeHeader->VolumeBytes() / static_cast<std::uint64_t>(m_iSectorSize));
        c.sectorCount = std::max(0LL, std::min(m_llTotalSectors - start, sectors));
      }
      if (place.isMain && !c.headerIsMain) {
        c.volumeHeaderSector = s;
        c.headerIsMain = true;
      }
      c.placementConfirmed = c.placementConfirmed || place.confirmed;
      return;
    }
  }
  if (TakeOtherCopy(s, place, h)) return;
  // The first candidate stands for the device until a header places it;
  // records it took before belong to this volume as much as to any.
  CompleteSearchPatition& first = *m_candidates.front();
  if (!first.volumeHeader && !first.fromDiskRecord) {
    StoreHeader(first, s, place, h);
    return;
  }
  const auto sectors = static_cast<long long>(h.VolumeBytes() / static_cast<std::uint64_t>(m_iSectorSize));
  if (sectors >= m_llTotalSectors) return;
  if (CompleteSearchPatition* c = AddCandidate(start, sectors)) StoreHeader(*c, s, place, h);
}

bool CHFSPlusCompleteFileSystemSearchController::TestJournalInfoBlock(long long s, const ByteView& sector) {
  if (sector.Size() <= 180 || sector.U8(180) != 0xDB || sector.U8(sector.Size() - 1) != 0xDB) return false;
  const auto jib = MatchJournalInfoBlock(sector);
  if (!jib) return false;
  std::printf("Find JournalInfoBlock:0x%llx\n", static_cast<unsigned long long>(s));
  if (m_candidates.empty()) {
    std::printf("Error:%d\n", __LINE__);
    return true;
  }
  // The candidate whose header names this block, else the last one.
  CompleteSearchPatition* target = m_candidates.back().get();
  for (const auto& c : m_candidates) {
    if (!c->volumeHeader || c->journalInfoBlock) continue;
    const long long spb = c->volumeHeader->blockSize / static_cast<std::uint32_t>(m_iSectorSize);
    if (c->startSector + static_cast<long long>(c->volumeHeader->journalInfoBlock) * spb == s) target = c.get();
  }
  if (!target->journalInfoBlock) {
    target->journalInfoBlock = std::make_unique<JournalInfoBlock>(*jib);
    target->journalInfoBlockSector = s;
  }
  return true;
}

bool CHFSPlusCompleteFileSystemSearchController::TestJournalHeader(long long s, const ByteView& sector) {
  if (!MatchJournalHeader(sector)) return false;
  std::printf("Find JournalHeader:0x%llx\n", static_cast<unsigned long long>(s));
  if (m_candidates.empty()) {
    std::printf("Error:%d\n", __LINE__);
    return true;
  }
  // The candidate whose info block points here, else the last one.
  CompleteSearchPatition* target = m_candidates.back().get();
  for (const auto& c : m_candidates) {
    if (!c->journalInfoBlock || c->journalHeader || c->startSector < 0) continue;
    const std::uint64_t at = static_cast<std::uint64_t>(c->startSector) * static_cast<std::uint64_t>(m_iSectorSize) +
                             c->journalInfoBlock->offset;
    if (at == static_cast<std::uint64_t>(s) * static_cast<std::uint64_t>(m_iSectorSize)) target = c.get();
  }
  if (!target->journalHeader) {
    if (auto jh = DecodeJournalHeader(sector)) {
      target->journalHeader = std::make_unique<JournalHeader>(*jh);
      target->journalHeaderSector = s;
    }
  }
  return true;
}
