#pragma once
// On-disk constants of HFS Plus (all fields big-endian unless noted).

#include <cstddef>
#include <cstdint>

namespace hfs {

inline constexpr std::uint16_t kSignatureHfsPlus = 0x482B;  // "H+"
inline constexpr std::uint16_t kSignatureHfsx = 0x4858;     // "HX"
inline constexpr std::size_t kVolumeHeaderOffset = 1024;
inline constexpr std::size_t kVolumeHeaderSize = 512;
inline constexpr std::uint16_t kMaxVersion = 16;
inline constexpr std::uint32_t kVolumeJournaledBit = 0x2000;

// Volume header field offsets.
inline constexpr std::size_t kVhSignature = 0;
inline constexpr std::size_t kVhVersion = 2;
inline constexpr std::size_t kVhAttributes = 4;
inline constexpr std::size_t kVhJournalInfoBlock = 12;
inline constexpr std::size_t kVhCreateDate = 16;
inline constexpr std::size_t kVhModifyDate = 20;
inline constexpr std::size_t kVhFileCount = 32;
inline constexpr std::size_t kVhFolderCount = 36;
inline constexpr std::size_t kVhBlockSize = 40;
inline constexpr std::size_t kVhTotalBlocks = 44;
inline constexpr std::size_t kVhFreeBlocks = 48;
inline constexpr std::size_t kVhNextCatalogId = 64;
inline constexpr std::size_t kVhFinderInfo6 = 104;
inline constexpr std::size_t kVhFinderInfo7 = 108;
inline constexpr std::size_t kVhAllocationFile = 112;
inline constexpr std::size_t kVhExtentsFile = 192;
inline constexpr std::size_t kVhCatalogFile = 272;
inline constexpr std::size_t kVhAttributesFile = 352;
inline constexpr std::size_t kVhStartupFile = 432;

// Fork data: logicalSize u64, clumpSize u32, totalBlocks u32, 8 extents.
inline constexpr std::size_t kForkDataSize = 80;
inline constexpr std::size_t kForkExtents = 16;
inline constexpr std::size_t kExtentsPerRecord = 8;
inline constexpr std::size_t kExtentRecordSize = 64;

// Special file ids.
inline constexpr std::uint32_t kRootParentId = 1;
inline constexpr std::uint32_t kRootFolderId = 2;
inline constexpr std::uint32_t kExtentsFileId = 3;
inline constexpr std::uint32_t kCatalogFileId = 4;
inline constexpr std::uint32_t kBadBlockFileId = 5;
inline constexpr std::uint32_t kAllocationFileId = 6;
inline constexpr std::uint32_t kStartupFileId = 7;
inline constexpr std::uint32_t kAttributesFileId = 8;

// B-tree nodes.
inline constexpr std::size_t kNodeDescriptorSize = 14;
inline constexpr std::int8_t kLeafNode = -1;
inline constexpr std::int8_t kIndexNode = 0;
inline constexpr std::int8_t kHeaderNode = 1;
inline constexpr std::int8_t kMapNode = 2;
inline constexpr std::uint32_t kMinNodeSize = 512;
inline constexpr std::uint32_t kMaxNodeSize = 32768;
inline constexpr unsigned kMaxTreeDepth = 16;
inline constexpr std::size_t kHeaderRecordSize = 106;
inline constexpr std::uint8_t kCaseFolding = 0xCF;
inline constexpr std::uint8_t kBinaryCompare = 0xBC;

// Catalog records.
inline constexpr std::int16_t kFolderRecord = 1;
inline constexpr std::int16_t kFileRecord = 2;
inline constexpr std::int16_t kFolderThreadRecord = 3;
inline constexpr std::int16_t kFileThreadRecord = 4;
inline constexpr std::size_t kFolderRecordSize = 88;
inline constexpr std::size_t kFileRecordSize = 248;
inline constexpr std::size_t kThreadRecordMinSize = 10;
inline constexpr std::size_t kThreadRecordMaxSize = 520;
inline constexpr std::size_t kMaxNameUnits = 255;
inline constexpr std::size_t kCatalogKeyMinLength = 6;
inline constexpr std::uint8_t kCompressedOwnerFlag = 0x20;

// Finder types of links.
inline constexpr std::uint32_t kDirLinkType = 0x66647270;     // 'fdrp'
inline constexpr std::uint32_t kHardLinkType = 0x686C6E6B;    // 'hlnk'
inline constexpr std::uint32_t kHfsPlusCreator = 0x6866732B;  // 'hfs+'

// Extent keys.
inline constexpr std::uint16_t kExtentKeyLength = 10;
inline constexpr std::size_t kExtentKeySize = 12;
inline constexpr std::uint8_t kDataFork = 0x00;
inline constexpr std::uint8_t kResourceFork = 0xFF;

// Attribute keys and records.
inline constexpr std::size_t kAttributeKeyMinLength = 12;
inline constexpr std::uint32_t kAttrInlineData = 0x10;
inline constexpr std::uint32_t kAttrForkData = 0x20;
inline constexpr std::uint32_t kAttrExtents = 0x30;
inline constexpr std::size_t kAttrInlineHeadSize = 16;
inline constexpr std::size_t kAttrForkRecordSize = 88;
inline constexpr std::size_t kAttrExtentsRecordSize = 72;
inline constexpr std::size_t kMaxAttributeNameUnits = 127;

// HFS dates count seconds from 1904-01-01.
inline constexpr std::uint32_t kHfsToUnixSeconds = 2082844800u;

}  // namespace hfs
