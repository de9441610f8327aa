#include "hfsplus/ForkData.h"

#include "hfsplus/HfsPlusLayout.h"

HFSPlusExtentRecord DecodeExtentRecord(const ByteView& bytes, std::size_t offset) {
  HFSPlusExtentRecord record{};
  if (!bytes.Has(offset, hfs::kExtentRecordSize)) return record;
  for (std::size_t i = 0; i < record.size(); ++i) {
    record[i].startBlock = bytes.U32Be(offset + 8 * i);
    record[i].blockCount = bytes.U32Be(offset + 8 * i + 4);
  }
  return record;
}

HFSPlusForkData DecodeForkData(const ByteView& bytes, std::size_t offset) {
  HFSPlusForkData fork;
  if (!bytes.Has(offset, hfs::kForkDataSize)) return fork;
  fork.logicalSize = bytes.U64Be(offset);
  fork.clumpSize = bytes.U32Be(offset + 8);
  fork.totalBlocks = bytes.U32Be(offset + 12);
  fork.extents = DecodeExtentRecord(bytes, offset + hfs::kForkExtents);
  return fork;
}
