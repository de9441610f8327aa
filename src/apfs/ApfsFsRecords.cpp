#include "apfs/ApfsFsRecords.h"

#include "apfs/ApfsLayout.h"

namespace apfs {

namespace {

constexpr std::uint32_t kMaxXfields = 1024;

std::string CopyBytes(const ByteView& view, std::size_t off, std::size_t length) {
  std::string out(length, '\0');
  if (length != 0 && !view.Bytes(off, out.data(), length)) return {};
  return out;
}

}  // namespace

std::uint8_t RecordKind(const ByteView& key) {
  if (!key.Has(0, 8)) return 0;
  return static_cast<std::uint8_t>(key.U64Le(0) >> 56);
}

std::uint64_t KeyObjectId(const ByteView& key) { return key.Has(0, 8) ? key.U64Le(0) & kOidMask : 0; }

bool InodeRecord::IsDirectory() const { return (mode & kModeTypeMask) == kModeDirectory; }

bool InodeRecord::IsCompressed() const { return (bsdFlags & kBsdCompressed) != 0; }

std::optional<InodeRecord> DecodeInode(const ByteView& value) {
  if (value.Size() < kInodeMinValue) return std::nullopt;
  InodeRecord r;
  r.parentId = value.U64Le(kInodeParent);
  r.privateId = value.U64Le(kInodePrivateId);
  r.created = static_cast<std::int64_t>(value.U64Le(kInodeCreated));
  r.modified = static_cast<std::int64_t>(value.U64Le(kInodeModified));
  r.changed = static_cast<std::int64_t>(value.U64Le(kInodeChanged));
  r.accessed = static_cast<std::int64_t>(value.U64Le(kInodeAccessed));
  r.mode = value.U16Le(kInodeMode);
  r.bsdFlags = value.U32Le(kInodeBsdFlags);
  if ((value.U64Le(kInodeInternalFlags) & kInodeHasUncompressedSize) != 0) {
    r.uncompressedSize = value.U64Le(kInodeUncompressedSize);
  }

  const std::uint32_t count = value.U16Le(kInodeXfieldCount);
  std::size_t cursor = kInodeXfieldDescriptors + 4 * static_cast<std::size_t>(count);
  bool named = false;
  for (std::uint32_t j = 0; j < count && j < kMaxXfields; ++j) {
    const std::size_t d = kInodeXfieldDescriptors + 4 * static_cast<std::size_t>(j);
    if (!value.Has(d, 4) || cursor >= value.Size()) break;
    const std::uint16_t word = static_cast<std::uint16_t>(value.U8(d) | (value.U8(d + 1) << 8));
    const std::size_t size = value.U16Le(d + 2);
    if (!value.Has(cursor, size)) break;
    if (word == kXfieldDataStream && size >= 8) {
      r.dataSize = value.U64Le(cursor);
    } else if (word == kXfieldName && !named) {
      r.rawName = CopyBytes(value, cursor, size);
      named = true;
    }
    cursor += (size + 7) & ~static_cast<std::size_t>(7);
  }
  if (!named) return std::nullopt;
  return r;
}

std::optional<DirectoryRecord> DecodeDirectoryRecord(const ByteView& key, const ByteView& value) {
  if (!key.Has(0, kDrecName) || value.Size() < kDrecMinValue) return std::nullopt;
  const std::size_t length = key.U32Le(kDrecNameLength) & kDrecNameLengthMask;
  if (!key.Has(kDrecName, length)) return std::nullopt;
  DirectoryRecord r;
  r.parentOid = KeyObjectId(key);
  r.rawName = CopyBytes(key, kDrecName, length);
  r.fileId = value.U64Le(kDrecFileId);
  r.dateAdded = static_cast<std::int64_t>(value.U64Le(kDrecDateAdded));
  r.flags = value.U16Le(kDrecFlags);
  return r;
}

std::optional<XattrRecord> DecodeXattr(const ByteView& key, const ByteView& value) {
  if (!key.Has(0, kXattrName) || !value.Has(0, kXattrData)) return std::nullopt;
  const std::size_t nameLength = key.U16Le(kXattrNameLength);
  if (!key.Has(kXattrName, nameLength)) return std::nullopt;
  XattrRecord r;
  r.ownerOid = KeyObjectId(key);
  r.name = CopyBytes(key, kXattrName, nameLength);
  r.name = std::string(r.name.c_str());
  const std::uint16_t flags = value.U16Le(kXattrFlags);
  const std::size_t length = value.U16Le(kXattrDataLength);
  if (!value.Has(kXattrData, length)) return std::nullopt;
  if ((flags & kXattrDataEmbedded) != 0) {
    r.embedded = true;
    r.data = CopyBytes(value, kXattrData, length);
    return r;
  }
  if ((flags & kXattrDataStream) == 0 || length < kXattrStreamMin) return std::nullopt;
  r.streamOid = value.U64Le(kXattrData + kXattrStreamOid) & kOidMask;
  r.streamSize = value.U64Le(kXattrData + kXattrStreamSize);
  return r;
}

std::optional<ExtentRecord> DecodeExtent(const ByteView& key, const ByteView& value) {
  if (!key.Has(0, kExtentKeySize) || value.Size() < kExtentMinValue) return std::nullopt;
  ExtentRecord r;
  r.ownerOid = KeyObjectId(key);
  r.logical = key.U64Le(kExtentLogical);
  r.length = value.U64Le(kExtentLength) & kExtentLengthMask;
  r.physical = value.U64Le(kExtentPhysical);
  return r;
}

}  // namespace apfs
