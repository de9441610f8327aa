#pragma once
// On-disk layout of $LogFile record pages ("RCRD") and log records.

#include <cstddef>
#include <cstdint>

namespace ntfslog {

inline constexpr std::size_t kPageBytes = 4096;
inline constexpr std::uint32_t kRcrdSignature = 0x44524352;  // "RCRD"
inline constexpr std::uint32_t kRstrSignature = 0x52545352;  // "RSTR"
inline constexpr std::size_t kUsaOffset = 0x04;              // u16, 40
inline constexpr std::size_t kUsaCount = 0x06;               // u16, 9
inline constexpr std::size_t kLastLsn = 0x08;                // u64: last record that begins in the page
inline constexpr std::size_t kLastEndLsn = 0x20;             // u64: last record that ends in the page
inline constexpr std::size_t kPageUsa = 0x28;
inline constexpr std::size_t kFirstRecord = 0x40;
inline constexpr std::size_t kFirstRecordPage = 4;  // pages 0-3 hold restart and buffer pages

// Log record.
inline constexpr std::size_t kRecordHeaderBytes = 48;
inline constexpr std::size_t kRecLsn = 0x00;           // u64
inline constexpr std::size_t kRecClientLength = 0x18;  // u32
inline constexpr std::size_t kRecRedoOp = 0x30;        // u16
inline constexpr std::size_t kRecUndoOp = 0x32;
inline constexpr std::size_t kRecRedoOffset = 0x34;  // relative to 0x30
inline constexpr std::size_t kRecRedoLength = 0x36;
inline constexpr std::size_t kRecUndoOffset = 0x38;  // relative to 0x30
inline constexpr std::size_t kRecUndoLength = 0x3A;
inline constexpr std::size_t kRecRecordOffset = 0x40;  // attribute offset in the FILE record
inline constexpr std::size_t kRecAttributeOffset = 0x42;
inline constexpr std::size_t kRecBlockOffset = 0x44;   // 512-byte units
inline constexpr std::size_t kRecTargetVcn = 0x48;     // u64
inline constexpr std::size_t kClientHeaderBytes = 88;  // header and client-data header
inline constexpr std::size_t kImageOffset = 88;        // redo data of a FILE-record image

}  // namespace ntfslog
