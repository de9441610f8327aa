#pragma once
// Pure decoders of the file-system tree records the engine uses: inodes,
// directory records and file extents.

#include <cstdint>
#include <optional>
#include <string>

#include "core/util/ByteView.h"

namespace apfs {

// The record type byte of a key (its top byte); 0 when the key is too short.
[[nodiscard]] std::uint8_t RecordKind(const ByteView& key);
[[nodiscard]] std::uint64_t KeyObjectId(const ByteView& key);

struct InodeRecord {
  std::uint64_t parentId = 0;
  std::uint64_t privateId = 0;
  std::int64_t created = 0;
  std::int64_t modified = 0;
  std::int64_t changed = 0;
  std::int64_t accessed = 0;
  std::uint16_t mode = 0;
  std::string rawName;         // the name field's bytes, terminating zero included
  std::uint64_t dataSize = 0;  // 0 without a data-stream field
  std::uint32_t bsdFlags = 0;
  std::uint64_t uncompressedSize = 0;  // 0 unless the inode records it
  bool IsDirectory() const;
  bool IsCompressed() const;
};

// Null when the value is shorter than an inode or has no name field.
[[nodiscard]] std::optional<InodeRecord> DecodeInode(const ByteView& value);

struct DirectoryRecord {
  std::uint64_t parentOid = 0;  // the key's object id
  std::string rawName;          // terminating zero included
  std::uint64_t fileId = 0;
  std::int64_t dateAdded = 0;
  std::uint16_t flags = 0;
};

[[nodiscard]] std::optional<DirectoryRecord> DecodeDirectoryRecord(const ByteView& key, const ByteView& value);

struct XattrRecord {
  std::uint64_t ownerOid = 0;
  std::string name;  // without its terminating zero
  bool embedded = false;
  std::string data;             // embedded data
  std::uint64_t streamOid = 0;  // data in a stream: its extents' owner
  std::uint64_t streamSize = 0;
};

// Null when the key or value is cut short or the data is neither embedded
// nor a stream.
[[nodiscard]] std::optional<XattrRecord> DecodeXattr(const ByteView& key, const ByteView& value);

struct ExtentRecord {
  std::uint64_t ownerOid = 0;
  std::uint64_t logical = 0;
  std::uint64_t length = 0;    // bytes
  std::uint64_t physical = 0;  // block; 0 = a hole
};

[[nodiscard]] std::optional<ExtentRecord> DecodeExtent(const ByteView& key, const ByteView& value);

}  // namespace apfs
