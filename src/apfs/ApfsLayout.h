#pragma once
// Byte offsets of the APFS on-disk structures read by the engine (all
// little-endian, within a 4096-byte block).

#include <cstddef>
#include <cstdint>

namespace apfs {

constexpr std::uint32_t kBlockSize = 4096;

// Object header (every object).
constexpr std::size_t kObjChecksum = 0;
constexpr std::size_t kObjOid = 8;
constexpr std::size_t kObjXid = 16;
constexpr std::size_t kObjType = 24;  // u16 type, u16 storage flags at 26
constexpr std::size_t kObjTypeFlags = 26;
constexpr std::size_t kObjSubtype = 28;
constexpr std::size_t kObjHeaderSize = 32;
constexpr std::uint16_t kObjPhysical = 0x4000;
constexpr std::uint16_t kMaxObjType = 31;

constexpr std::uint16_t kTypeContainerSuperblock = 1;
constexpr std::uint16_t kTypeBTreeRoot = 2;
constexpr std::uint16_t kTypeBTreeNode = 3;
constexpr std::uint16_t kTypeObjectMap = 11;
constexpr std::uint16_t kSubtypeObjectMap = 11;
constexpr std::uint16_t kSubtypeFsTree = 14;

// Container superblock.
constexpr std::size_t kNxMagic = 32;
constexpr std::size_t kNxBlockSize = 36;
constexpr std::size_t kNxBlockCount = 40;
constexpr std::size_t kNxUuid = 72;
constexpr std::size_t kNxDescBlocks = 104;  // u32; top bit: the area is a tree
constexpr std::size_t kNxDescBase = 112;
constexpr std::size_t kNxNextCopy = 136;  // checkpoint-descriptor index
constexpr std::size_t kNxDescIndex = 136;
constexpr std::size_t kNxDescLength = 140;
constexpr std::size_t kNxOmapOid = 160;
constexpr std::uint32_t kNxMagicValue = 0x4253584E;  // "NXSB"
constexpr std::size_t kUuidSize = 16;

// Object map.
constexpr std::size_t kOmapTreeOid = 48;

// Volume superblock.
constexpr std::size_t kApsbMagic = 32;
constexpr std::size_t kApsbOmapOid = 128;
constexpr std::size_t kApsbUuid = 240;
constexpr std::size_t kApsbName = 704;
constexpr std::size_t kApsbNameMax = 256;
constexpr std::uint32_t kApsbMagicValue = 0x42535041;  // "APSB"

// B-tree node.
constexpr std::size_t kNodeFlags = 32;
constexpr std::size_t kNodeLevel = 34;
constexpr std::size_t kNodeKeyCount = 36;
constexpr std::size_t kNodeTocOffset = 40;
constexpr std::size_t kNodeTocLength = 42;
constexpr std::size_t kNodeData = 56;
constexpr std::size_t kTreeInfoSize = 40;
constexpr std::uint16_t kNodeRoot = 1;
constexpr std::uint16_t kNodeLeaf = 2;
constexpr std::uint16_t kNodeFixed = 4;
constexpr std::size_t kFixedTocEntry = 4;     // key offset u16, value offset u16
constexpr std::size_t kVariableTocEntry = 8;  // key off, key len, value off, value len
constexpr std::size_t kOmapKeySize = 16;
constexpr std::size_t kOmapValueSize = 16;  // flags u32, size u32, physical block u64
constexpr std::uint32_t kMaxEntries = 1024;

// File-system records.
constexpr std::uint8_t kRecordInode = 0x30;
constexpr std::uint8_t kRecordXattr = 0x40;
constexpr std::uint8_t kRecordExtent = 0x80;
constexpr std::uint8_t kRecordDirectory = 0x90;
constexpr std::uint64_t kOidMask = 0x0FFFFFFFFFFFFFFFull;

constexpr std::size_t kInodeMinValue = 100;
constexpr std::size_t kInodeParent = 0;
constexpr std::size_t kInodePrivateId = 8;
constexpr std::size_t kInodeCreated = 16;
constexpr std::size_t kInodeModified = 24;
constexpr std::size_t kInodeChanged = 32;
constexpr std::size_t kInodeAccessed = 40;
constexpr std::size_t kInodeInternalFlags = 48;  // u64
constexpr std::size_t kInodeBsdFlags = 68;       // u32
constexpr std::size_t kInodeMode = 80;
constexpr std::size_t kInodeUncompressedSize = 84;  // u64
constexpr std::uint64_t kInodeHasUncompressedSize = 0x40000;
constexpr std::uint32_t kBsdCompressed = 0x20;
constexpr std::size_t kInodeXfieldCount = 92;
constexpr std::size_t kInodeXfieldDescriptors = 96;
constexpr std::uint16_t kXfieldName = 0x0204;
constexpr std::uint16_t kXfieldDataStream = 0x2008;
constexpr std::uint16_t kModeTypeMask = 0xF000;
constexpr std::uint16_t kModeDirectory = 0x4000;

constexpr std::size_t kDrecNameLength = 8;
constexpr std::size_t kDrecName = 12;
constexpr std::uint32_t kDrecNameLengthMask = 0x3FF;
constexpr std::size_t kDrecMinValue = 18;
constexpr std::size_t kDrecFileId = 0;
constexpr std::size_t kDrecDateAdded = 8;
constexpr std::size_t kDrecFlags = 16;
constexpr std::uint16_t kDrecFolder = 4;

// Extended attributes: the name after the key's header, the data inline or
// in a stream of extents of its own object id.
constexpr std::size_t kXattrNameLength = 8;  // u16, the terminating zero included
constexpr std::size_t kXattrName = 10;
constexpr std::size_t kXattrFlags = 0;  // u16
constexpr std::size_t kXattrDataLength = 2;
constexpr std::size_t kXattrData = 4;
constexpr std::uint16_t kXattrDataStream = 0x1;
constexpr std::uint16_t kXattrDataEmbedded = 0x2;
constexpr std::size_t kXattrStreamOid = 0;   // in the data of a stream attribute
constexpr std::size_t kXattrStreamSize = 8;  // the stream's logical size
constexpr std::size_t kXattrStreamMin = 16;

constexpr std::size_t kExtentKeySize = 16;
constexpr std::size_t kExtentLogical = 8;
constexpr std::size_t kExtentMinValue = 16;
constexpr std::size_t kExtentLength = 0;
constexpr std::size_t kExtentPhysical = 8;
constexpr std::uint64_t kExtentLengthMask = 0x00FFFFFFFFFFFFFFull;

}  // namespace apfs
