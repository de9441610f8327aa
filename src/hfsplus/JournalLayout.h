#pragma once
// The HFS+ journal's on-disk structures: the info block (big-endian), the
// journal header and block lists (little-endian as written by Intel Macs).

#include <cstdint>
#include <optional>
#include <vector>

#include "core/util/ByteView.h"

inline constexpr std::uint32_t kJournalMagic = 0x4A4E4C78;
inline constexpr std::uint32_t kJournalEndian = 0x12345678;
inline constexpr std::size_t kJournalInfoBlockSize = 180;
inline constexpr std::size_t kJournalHeaderSize = 44;
inline constexpr std::uint32_t kJournalInFilesystem = 0x1;
inline constexpr std::size_t kBlockInfoSize = 16;
inline constexpr std::uint32_t kMinJournalBlock = 512;
inline constexpr std::uint32_t kMaxJournalBlock = 16384;
inline constexpr std::uint32_t kMaxJournalTransferBlock = 65536;

struct JournalInfoBlock {
  std::uint32_t flags = 0;
  std::uint64_t offset = 0;  // byte offset of the journal on the volume
  std::uint64_t size = 0;
  bool reservedZero = true;  // the 32 reserved words are all zero
};

struct JournalHeader {
  std::uint32_t magic = 0;
  std::uint32_t endian = 0;
  std::uint64_t start = 0;
  std::uint64_t end = 0;
  std::uint64_t size = 0;
  std::uint32_t blhdrSize = 0;
  std::uint32_t checksum = 0;
  std::uint32_t jhdrSize = 0;
};

struct BlockInfo {
  std::uint64_t bnum = 0;
  std::uint32_t bsize = 0;
  std::uint32_t next = 0;
};

struct BlockListHeader {
  std::uint16_t maxBlocks = 0;
  std::uint16_t numBlocks = 0;
  std::uint32_t bytesUsed = 0;
  std::uint32_t checksum = 0;
  std::vector<BlockInfo> blocks;  // entries 0..numBlocks-1 (0 describes the list)
};

[[nodiscard]] std::optional<JournalInfoBlock> DecodeJournalInfoBlock(const ByteView& bytes);
[[nodiscard]] std::optional<JournalHeader> DecodeJournalHeader(const ByteView& bytes);

// The header's own fields agree and fit a journal of `infoSize` bytes on a
// volume of `volumeBytes`: magic and endian, jhdr_size a power of two in
// 512..16384, blhdr_size a multiple of it, size equal to the info block's
// and within the volume, start and end inside [jhdr_size, size).
[[nodiscard]] bool IsUsableJournalHeader(const JournalHeader& header, std::uint64_t infoSize, std::uint64_t infoOffset,
                                         std::uint64_t volumeBytes);

// True when the bytes look like a block list header of `blhdrSize` bytes.
[[nodiscard]] bool LooksLikeBlockList(const ByteView& bytes, std::uint32_t blhdrSize);
// Decodes a block list; nothing when its counts or block sizes are out of
// range (1 <= num_blocks <= max_blocks + 1, entries inside the header, each
// bsize a multiple of jhdrSize and at most 64 KiB).
[[nodiscard]] std::optional<BlockListHeader> DecodeBlockList(const ByteView& bytes, std::uint32_t blhdrSize,
                                                             std::uint32_t jhdrSize);
