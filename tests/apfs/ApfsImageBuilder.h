#pragma once
// Builds small APFS containers and single structures in memory for tests:
// objects with valid checksums, object-map nodes and file-system tree nodes.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace apfstest {

using Bytes = std::vector<std::uint8_t>;
constexpr std::size_t kBlock = 4096;

// An object block with header fields set (checksum not yet computed).
Bytes MakeObject(std::uint64_t oid, std::uint32_t type, std::uint32_t subtype, std::uint64_t xid = 1);
// Writes the Fletcher-64 checksum of the block.
void Seal(Bytes& block);
void PutU16(Bytes& b, std::size_t off, std::uint16_t v);
void PutU32(Bytes& b, std::size_t off, std::uint32_t v);
void PutU64(Bytes& b, std::size_t off, std::uint64_t v);

// File-system tree node with variable-size entries.
struct Record {
  Bytes key;
  Bytes value;
};
Bytes MakeFsNode(std::uint64_t oid, std::uint32_t type, std::uint16_t flags, const std::vector<Record>& records);

// Object-map leaf root (flags 7): (virtual oid, physical block) pairs.
Bytes MakeOmapRootLeaf(std::uint64_t oid, const std::vector<std::pair<std::uint64_t, std::uint64_t>>& map);

// Records.
Record Inode(std::uint64_t oid, std::uint64_t parent, std::int64_t created, std::uint16_t mode, const std::string& name,
             std::uint64_t size, bool withSize = true);
Record DirEntry(std::uint64_t parent, const std::string& name, std::uint64_t fileId, std::int64_t dateAdded,
                bool folder);
Record Extent(std::uint64_t owner, std::uint64_t logical, std::uint64_t length, std::uint64_t physical);
// Extended attributes: data embedded in the record, or in a stream whose
// extents are keyed by `stream`.
Record XattrEmbedded(std::uint64_t owner, const std::string& name, const Bytes& data);
Record XattrStream(std::uint64_t owner, const std::string& name, std::uint64_t stream, std::uint64_t size);
// Sets the BSD flags of an inode record (0x20: compressed).
void SetBsdFlags(Record& inode, std::uint32_t flags);

// A whole container: superblock at 0, container omap at 2 (root 3), volume
// superblock at 4, volume omap at 5 (root 6), fs-tree root at 7, data from 8.
struct Container {
  std::string volumeName = "TestVol";
  std::uint64_t blockCount = 64;
  std::vector<Record> records;
  std::vector<std::pair<std::uint64_t, Bytes>> dataBlocks;  // block -> content (padded)
};
Bytes BuildContainer(const Container& c);

// Block `n` of an image as a mutable range start.
inline std::size_t At(std::uint64_t block, std::size_t off = 0) { return block * kBlock + off; }
// Recomputes the checksum of block `n` inside an image.
void SealAt(Bytes& image, std::uint64_t block);

constexpr std::int64_t kTime2020 = 1600000000LL * 1000000000LL;

}  // namespace apfstest
