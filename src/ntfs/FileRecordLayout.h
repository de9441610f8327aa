#pragma once
// On-disk layout of NTFS FILE records and their attributes (little-endian).

#include <cstddef>
#include <cstdint>

namespace ntfsrec {

inline constexpr std::uint32_t kFileSignature = 0x454C4946;  // "FILE"
inline constexpr std::size_t kStrideBytes = 512;             // one protected sector
inline constexpr std::size_t kMinRecordBytes = 1024;
inline constexpr std::size_t kMaxRecordBytes = 4096;

// Header.
inline constexpr std::size_t kUsaOffset = 0x04;       // u16
inline constexpr std::size_t kUsaCount = 0x06;        // u16
inline constexpr std::size_t kLsn = 0x08;             // u64
inline constexpr std::size_t kSequence = 0x10;        // u16
inline constexpr std::size_t kFirstAttribute = 0x14;  // u16
inline constexpr std::size_t kFlags = 0x16;           // u16
inline constexpr std::size_t kBytesInUse = 0x18;      // u32
inline constexpr std::size_t kBytesAllocated = 0x1C;  // u32
inline constexpr std::size_t kBaseRecord = 0x20;      // u64
inline constexpr std::size_t kNumberGuard = 0x2A;     // u16, 0 when the next field counts
inline constexpr std::size_t kRecordNumber = 0x2C;    // u32
inline constexpr std::uint16_t kFlagInUse = 0x0001;
inline constexpr std::uint16_t kFlagDirectory = 0x0002;
inline constexpr std::uint64_t kReferenceMask = 0x0000FFFFFFFFFFFFull;

// Attribute types.
inline constexpr std::uint32_t kStandardInformation = 0x10;
inline constexpr std::uint32_t kAttributeList = 0x20;
inline constexpr std::uint32_t kFileName = 0x30;
inline constexpr std::uint32_t kVolumeName = 0x60;
inline constexpr std::uint32_t kData = 0x80;
inline constexpr std::uint32_t kIndexRoot = 0x90;
inline constexpr std::uint32_t kIndexAllocation = 0xA0;
inline constexpr std::uint32_t kEndMarker = 0xFFFFFFFF;

// Attribute header.
inline constexpr std::size_t kAttrType = 0x00;             // u32
inline constexpr std::size_t kAttrLength = 0x04;           // u32
inline constexpr std::size_t kAttrNonResident = 0x08;      // u8
inline constexpr std::size_t kAttrNameLength = 0x09;       // u8
inline constexpr std::size_t kAttrNameOffset = 0x0A;       // u16
inline constexpr std::size_t kAttrFlags = 0x0C;            // u16
inline constexpr std::size_t kAttrValueLength = 0x10;      // u32 (resident)
inline constexpr std::size_t kAttrValueOffset = 0x14;      // u16 (resident)
inline constexpr std::size_t kAttrStartVcn = 0x10;         // i64 (non-resident)
inline constexpr std::size_t kAttrLastVcn = 0x18;          // i64
inline constexpr std::size_t kAttrRunsOffset = 0x20;       // u16
inline constexpr std::size_t kAttrUnitSize = 0x22;         // u16
inline constexpr std::size_t kAttrAllocatedSize = 0x28;    // i64
inline constexpr std::size_t kAttrRealSize = 0x30;         // i64
inline constexpr std::size_t kAttrInitializedSize = 0x38;  // i64
inline constexpr std::size_t kResidentHeaderBytes = 0x18;
inline constexpr std::size_t kNonResidentHeaderBytes = 0x40;
inline constexpr std::uint16_t kAttrCompressed = 0x0001;
inline constexpr std::uint16_t kAttrEncrypted = 0x4000;

// Values of $STANDARD_INFORMATION and $FILE_NAME are read at this offset of
// the attribute, where an unnamed resident attribute keeps them.
inline constexpr std::size_t kFixedValueOffset = 24;

// $STANDARD_INFORMATION value.
inline constexpr std::size_t kSiCreation = 0;
inline constexpr std::size_t kSiModification = 8;
inline constexpr std::size_t kSiAccess = 24;
inline constexpr std::size_t kSiDosFlags = 32;
inline constexpr std::size_t kSiMinimumValue = 40;

// $FILE_NAME value.
inline constexpr std::size_t kFnParent = 0;
inline constexpr std::size_t kFnCreation = 8;
inline constexpr std::size_t kFnModification = 16;
inline constexpr std::size_t kFnAccess = 32;
inline constexpr std::size_t kFnRealSize = 48;
inline constexpr std::size_t kFnFlags = 56;
inline constexpr std::size_t kFnNameLength = 64;
inline constexpr std::size_t kFnNamespace = 65;
inline constexpr std::size_t kFnName = 66;
inline constexpr std::uint32_t kFnDirectory = 0x10000000;
inline constexpr std::uint32_t kFnEncrypted = 0x4000;
inline constexpr std::uint8_t kNamespaceWin32 = 1;

// $ATTRIBUTE_LIST entry.
inline constexpr std::size_t kAlType = 0;        // u32
inline constexpr std::size_t kAlLength = 4;      // u16
inline constexpr std::size_t kAlReference = 16;  // u64
inline constexpr std::size_t kAlMinimumEntry = 24;

}  // namespace ntfsrec
