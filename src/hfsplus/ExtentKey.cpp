#include "hfsplus/ExtentKey.h"

#include "hfsplus/HfsPlusLayout.h"

std::optional<HFSPlusExtentKey> DecodeExtentKey(const ByteView& record) {
  if (!record.Has(0, hfs::kExtentKeySize)) return std::nullopt;
  HFSPlusExtentKey key;
  key.keyLength = record.U16Be(0);
  if (key.keyLength < hfs::kExtentKeyLength || !record.Has(0, static_cast<std::size_t>(key.keyLength) + 2)) {
    return std::nullopt;
  }
  key.forkType = record.U8(2);
  key.fileID = record.U32Be(4);
  key.startBlock = record.U32Be(8);
  return key;
}

int CompareExtentKeys(const HFSPlusExtentKey& a, const HFSPlusExtentKey& b) {
  if (a.fileID != b.fileID) return a.fileID < b.fileID ? -1 : 1;
  if (a.forkType != b.forkType) return a.forkType < b.forkType ? -1 : 1;
  if (a.startBlock != b.startBlock) return a.startBlock < b.startBlock ? -1 : 1;
  return 0;
}
