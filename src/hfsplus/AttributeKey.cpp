#include "hfsplus/AttributeKey.h"

#include <algorithm>

#include "hfsplus/HfsPlusLayout.h"

std::optional<HFSPlusAttrKey> DecodeAttrKey(const ByteView& record) {
  if (!record.Has(0, 14)) return std::nullopt;
  HFSPlusAttrKey key;
  key.keyLength = record.U16Be(0);
  if (key.keyLength < hfs::kAttributeKeyMinLength || !record.Has(0, static_cast<std::size_t>(key.keyLength) + 2)) {
    return std::nullopt;
  }
  key.fileID = record.U32Be(4);
  key.startBlock = record.U32Be(8);
  const std::size_t stored = record.U16Be(12);
  const std::size_t room = (static_cast<std::size_t>(key.keyLength) - hfs::kAttributeKeyMinLength) / 2;
  const std::size_t n = std::min({stored, room, hfs::kMaxAttributeNameUnits});
  for (std::size_t i = 0; i < n; ++i) key.name.push_back(static_cast<char16_t>(record.U16Be(14 + 2 * i)));
  return key;
}

std::optional<HFSPlusAttrRecord> DecodeAttrRecord(const ByteView& b) {
  if (!b.Has(0, 4)) return std::nullopt;
  HFSPlusAttrRecord r;
  r.recordType = b.U32Be(0);
  switch (r.recordType) {
    case hfs::kAttrInlineData: {
      if (!b.Has(0, hfs::kAttrInlineHeadSize)) return std::nullopt;
      const std::size_t size = b.U32Be(12);
      if (!b.Has(hfs::kAttrInlineHeadSize, size)) return std::nullopt;
      r.inlineData.assign(b.Data() + hfs::kAttrInlineHeadSize, b.Data() + hfs::kAttrInlineHeadSize + size);
      return r;
    }
    case hfs::kAttrForkData:
      if (!b.Has(0, hfs::kAttrForkRecordSize)) return std::nullopt;
      r.fork = DecodeForkData(b, 8);
      return r;
    case hfs::kAttrExtents:
      if (!b.Has(0, hfs::kAttrExtentsRecordSize)) return std::nullopt;
      r.extents = DecodeExtentRecord(b, 8);
      return r;
    default:
      return std::nullopt;
  }
}

int CompareAttrKeys(const HFSPlusAttrKey& a, const HFSPlusAttrKey& b) {
  if (a.fileID != b.fileID) return a.fileID < b.fileID ? -1 : 1;
  const std::size_t n = std::min(a.name.size(), b.name.size());
  for (std::size_t i = 0; i < n; ++i) {
    if (a.name[i] != b.name[i]) return a.name[i] < b.name[i] ? -1 : 1;
  }
  if (a.name.size() == b.name.size()) return 0;
  return a.name.size() < b.name.size() ? -1 : 1;
}

HFSPlusAttrKey MakeAttrKey(std::uint32_t fileID, const std::string& asciiName) {
  HFSPlusAttrKey key;
  key.fileID = fileID;
  for (char c : asciiName.substr(0, hfs::kMaxAttributeNameUnits)) key.name.push_back(static_cast<unsigned char>(c));
  key.keyLength = static_cast<std::uint16_t>(2 * key.name.size() + 14);
  return key;
}
