#include "hfsplus/CatalogRecord.h"

#include <algorithm>

#include "hfsplus/CatalogKey.h"
#include "hfsplus/HfsPlusLayout.h"

namespace {

HFSPlusBSDInfo DecodeBsdInfo(const ByteView& b, std::size_t at) {
  HFSPlusBSDInfo info;
  info.ownerID = b.U32Be(at);
  info.groupID = b.U32Be(at + 4);
  info.adminFlags = b.U8(at + 8);
  info.ownerFlags = b.U8(at + 9);
  info.fileMode = b.U16Be(at + 10);
  info.special = b.U32Be(at + 12);
  return info;
}

void DecodeCommon(const ByteView& b, HFSPlusCatalogRecord& r) {
  r.flags = b.U16Be(2);
  r.valence = b.U32Be(4);
  r.id = b.U32Be(8);
  r.createDate = b.U32Be(12);
  r.contentModDate = b.U32Be(16);
  r.attributeModDate = b.U32Be(20);
  r.accessDate = b.U32Be(24);
  r.backupDate = b.U32Be(28);
  r.bsdInfo = DecodeBsdInfo(b, 32);
}

}  // namespace

bool HFSPlusCatalogRecord::IsFolder() const { return recordType == hfs::kFolderRecord; }
bool HFSPlusCatalogRecord::IsFile() const { return recordType == hfs::kFileRecord; }
bool HFSPlusCatalogRecord::IsThread() const {
  return recordType == hfs::kFolderThreadRecord || recordType == hfs::kFileThreadRecord;
}

std::size_t RecordDataOffset(std::uint16_t keyLength) {
  const std::size_t end = static_cast<std::size_t>(keyLength) + 2;
  return end + (end & 1);
}

std::optional<HFSPlusCatalogRecord> DecodeCatalogRecord(const ByteView& b) {
  if (!b.Has(0, 2)) return std::nullopt;
  HFSPlusCatalogRecord r;
  r.recordType = static_cast<std::int16_t>(b.U16Be(0));
  switch (r.recordType) {
    case hfs::kFolderRecord:
      if (!b.Has(0, hfs::kFolderRecordSize)) return std::nullopt;
      DecodeCommon(b, r);
      r.valence = b.U32Be(4);
      return r;
    case hfs::kFileRecord:
      if (!b.Has(0, hfs::kFileRecordSize)) return std::nullopt;
      DecodeCommon(b, r);
      r.valence = 0;
      r.fileType = b.U32Be(48);
      r.fileCreator = b.U32Be(52);
      r.dataFork = DecodeForkData(b, 88);
      r.resourceFork = DecodeForkData(b, 168);
      return r;
    case hfs::kFolderThreadRecord:
    case hfs::kFileThreadRecord: {
      if (!b.Has(0, hfs::kThreadRecordMinSize)) return std::nullopt;
      r.threadParentID = b.U32Be(4);
      const std::size_t stored = b.U16Be(8);
      const std::size_t room = (b.Size() - hfs::kThreadRecordMinSize) / 2;
      r.threadName = DecodeHfsName(b, 10, std::min({stored, room, hfs::kMaxNameUnits}));
      return r;
    }
    default:
      return std::nullopt;
  }
}
