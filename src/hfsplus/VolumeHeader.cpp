#include "hfsplus/VolumeHeader.h"

#include "hfsplus/HfsPlusLayout.h"

bool HFSPlusVolumeHeader::IsHfsx() const { return signature == hfs::kSignatureHfsx; }
bool HFSPlusVolumeHeader::IsJournaled() const { return (attributes & hfs::kVolumeJournaledBit) != 0; }
std::uint64_t HFSPlusVolumeHeader::VolumeIdentifier() const {
  return (static_cast<std::uint64_t>(finderInfo6) << 32) | finderInfo7;
}
std::uint64_t HFSPlusVolumeHeader::VolumeBytes() const { return static_cast<std::uint64_t>(blockSize) * totalBlocks; }

bool IsValidBlockSize(std::uint32_t blockSize) { return blockSize >= 512 && (blockSize & (blockSize - 1)) == 0; }

std::optional<HFSPlusVolumeHeader> DecodeVolumeHeader(const ByteView& b) {
  if (!b.Has(0, hfs::kVolumeHeaderSize)) return std::nullopt;
  HFSPlusVolumeHeader h;
  h.signature = b.U16Be(hfs::kVhSignature);
  h.version = b.U16Be(hfs::kVhVersion);
  h.attributes = b.U32Be(hfs::kVhAttributes);
  h.journalInfoBlock = b.U32Be(hfs::kVhJournalInfoBlock);
  h.createDate = b.U32Be(hfs::kVhCreateDate);
  h.modifyDate = b.U32Be(hfs::kVhModifyDate);
  h.fileCount = b.U32Be(hfs::kVhFileCount);
  h.folderCount = b.U32Be(hfs::kVhFolderCount);
  h.blockSize = b.U32Be(hfs::kVhBlockSize);
  h.totalBlocks = b.U32Be(hfs::kVhTotalBlocks);
  h.freeBlocks = b.U32Be(hfs::kVhFreeBlocks);
  h.nextCatalogID = b.U32Be(hfs::kVhNextCatalogId);
  h.finderInfo6 = b.U32Be(hfs::kVhFinderInfo6);
  h.finderInfo7 = b.U32Be(hfs::kVhFinderInfo7);
  h.allocationFile = DecodeForkData(b, hfs::kVhAllocationFile);
  h.extentsFile = DecodeForkData(b, hfs::kVhExtentsFile);
  h.catalogFile = DecodeForkData(b, hfs::kVhCatalogFile);
  h.attributesFile = DecodeForkData(b, hfs::kVhAttributesFile);
  h.startupFile = DecodeForkData(b, hfs::kVhStartupFile);
  return h;
}

bool IsValidVolumeHeaderBytes(const ByteView& bytes) {
  const auto h = DecodeVolumeHeader(bytes);
  if (!h) return false;
  if (h->signature != hfs::kSignatureHfsPlus && h->signature != hfs::kSignatureHfsx) return false;
  if (!IsValidBlockSize(h->blockSize)) return false;
  if (h->version > hfs::kMaxVersion) return false;
  if (h->totalBlocks < h->freeBlocks || h->totalBlocks < h->journalInfoBlock) return false;
  return h->catalogFile.logicalSize ==
         static_cast<std::uint64_t>(h->blockSize) * static_cast<std::uint64_t>(h->catalogFile.totalBlocks);
}
