#include "hfsplus/SectorSignatures.h"

#include <algorithm>

#include "hfsplus/BTreeNode.h"
#include "hfsplus/CatalogRecord.h"
#include "hfsplus/HfsPlusLayout.h"

namespace {

constexpr std::size_t kSlice = 512;
constexpr std::size_t kJibReservedFirst = 52;
constexpr std::size_t kJibFillFirst = 180;
constexpr std::uint8_t kJibFill = 0xDB;

bool AllZero(const ByteView& b) {
  return std::all_of(b.Data(), b.Data() + b.Size(), [](std::uint8_t x) { return x == 0; });
}

}  // namespace

VolumeHeaderScan ScanVolumeHeaders(const ByteView& sector) {
  VolumeHeaderScan scan;
  if (sector.Size() < kSlice) return scan;
  scan.clean = true;
  for (std::size_t at = 0; at + kSlice <= sector.Size(); at += kSlice) {
    const ByteView slice = sector.Sub(at, kSlice);
    if (AllZero(slice)) continue;
    if (IsValidVolumeHeaderBytes(slice)) {
      if (auto h = DecodeVolumeHeader(slice)) scan.headers.push_back({at, *h});
      continue;
    }
    // Boot blocks may precede a header that sits inside a larger sector.
    if (at < hfs::kVolumeHeaderOffset) continue;
    scan.clean = false;
    break;
  }
  return scan;
}

std::optional<JournalInfoBlock> MatchJournalInfoBlock(const ByteView& sector) {
  if (sector.Size() < kJibFillFirst) return std::nullopt;
  const auto jib = DecodeJournalInfoBlock(sector);
  if (!jib || jib->offset % 512 != 0 || jib->size % 512 != 0) return std::nullopt;
  const ByteView reserved = sector.Sub(kJibReservedFirst, kJibFillFirst - kJibReservedFirst);
  if (!AllZero(reserved)) return std::nullopt;
  const std::uint8_t* fill = sector.Data() + kJibFillFirst;
  if (!std::all_of(fill, sector.Data() + sector.Size(), [](std::uint8_t x) { return x == kJibFill; })) {
    return std::nullopt;
  }
  return jib;
}

bool MatchJournalHeader(const ByteView& sector) {
  return sector.Has(0, 8) && sector.U32Le(0) == kJournalMagic && sector.U32Le(4) == kJournalEndian;
}

bool IsNodeCandidate(const ByteView& sector) {
  if (!sector.Has(0, hfs::kNodeDescriptorSize)) return false;
  const BTNodeDescriptor d = DecodeNodeDescriptor(sector);
  if (d.reserved != 0) return false;
  return (d.kind == hfs::kHeaderNode && d.height == 0) || (d.kind == hfs::kLeafNode && d.height == 1);
}

std::uint32_t FindNodeSize(const ByteView& bytes, std::uint32_t sectorSize) {
  if (sectorSize == 0) return 0;
  for (std::uint32_t size = sectorSize; size <= hfs::kMaxNodeSize; size *= 2) {
    if (size < hfs::kMinNodeSize) continue;
    if (!bytes.Has(0, size)) break;
    if (CHFSPlusBTNode::IsValidNode(bytes.Sub(0, size), size)) return size;
  }
  return 0;
}

bool IsCatalogLeaf(const CHFSPlusBTNode& leaf) {
  if (!leaf.IsLeaf()) return false;
  for (std::size_t i = 0; i < leaf.NumRecords(); ++i) {
    const ByteView record = leaf.GetRecord(i);
    if (!record.Has(0, 2)) return false;
    const std::size_t keySize = std::size_t{record.U16Be(0)} + 2;
    if (keySize >= leaf.NodeSize()) return false;
    const std::size_t dataAt = RecordDataOffset(record.U16Be(0));
    if (dataAt > record.Size()) continue;
    const ByteView data = record.Sub(dataAt, record.Size() - dataAt);
    if (!data.Has(0, 2)) continue;
    const auto type = static_cast<std::int16_t>(data.U16Be(0));
    const std::size_t length = data.Size();
    if ((type == hfs::kFolderThreadRecord || type == hfs::kFileThreadRecord) && length > 9 && data.Has(8, 2) &&
        length == 10 + 2 * std::size_t{data.U16Be(8)}) {
      return true;
    }
    if (type == hfs::kFolderRecord && length == hfs::kFolderRecordSize) return true;
    if (type == hfs::kFileRecord && length == hfs::kFileRecordSize) return true;
  }
  return false;
}
