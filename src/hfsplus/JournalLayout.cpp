#include "hfsplus/JournalLayout.h"

namespace {
bool IsPowerOfTwo(std::uint64_t v) { return v != 0 && (v & (v - 1)) == 0; }
}  // namespace

std::optional<JournalInfoBlock> DecodeJournalInfoBlock(const ByteView& b) {
  if (!b.Has(0, kJournalInfoBlockSize)) return std::nullopt;
  JournalInfoBlock info;
  info.flags = b.U32Be(0);
  info.offset = b.U64Be(36);
  info.size = b.U64Be(44);
  for (std::size_t at = 52; at < kJournalInfoBlockSize; at += 4) {
    if (b.U32Be(at) != 0) info.reservedZero = false;
  }
  return info;
}

std::optional<JournalHeader> DecodeJournalHeader(const ByteView& b) {
  if (!b.Has(0, kJournalHeaderSize)) return std::nullopt;
  JournalHeader h;
  h.magic = b.U32Le(0);
  h.endian = b.U32Le(4);
  h.start = b.U64Le(8);
  h.end = b.U64Le(16);
  h.size = b.U64Le(24);
  h.blhdrSize = b.U32Le(32);
  h.checksum = b.U32Le(36);
  h.jhdrSize = b.U32Le(40);
  return h;
}

bool IsUsableJournalHeader(const JournalHeader& h, std::uint64_t infoSize, std::uint64_t infoOffset,
                           std::uint64_t volumeBytes) {
  if (h.magic != kJournalMagic || h.endian != kJournalEndian) return false;
  if (h.jhdrSize < kMinJournalBlock || h.jhdrSize > kMaxJournalBlock || !IsPowerOfTwo(h.jhdrSize)) return false;
  if (h.blhdrSize < kBlockInfoSize * 2 || h.blhdrSize % h.jhdrSize != 0) return false;
  if (h.blhdrSize > kMaxJournalTransferBlock) return false;
  if (h.size != infoSize || h.size <= h.jhdrSize) return false;
  if (infoOffset > volumeBytes || h.size > volumeBytes - infoOffset) return false;
  if (h.start < h.jhdrSize || h.start >= h.size || h.end < h.jhdrSize || h.end >= h.size) return false;
  return true;
}

bool LooksLikeBlockList(const ByteView& b, std::uint32_t blhdrSize) {
  return b.Has(0, 4) && blhdrSize >= kBlockInfoSize && b.U16Le(0) == blhdrSize / kBlockInfoSize - 1;
}

std::optional<BlockListHeader> DecodeBlockList(const ByteView& b, std::uint32_t blhdrSize, std::uint32_t jhdrSize) {
  if (!b.Has(0, blhdrSize) || !LooksLikeBlockList(b, blhdrSize) || jhdrSize == 0) return std::nullopt;
  BlockListHeader list;
  list.maxBlocks = b.U16Le(0);
  list.numBlocks = b.U16Le(2);
  list.bytesUsed = b.U32Le(4);
  list.checksum = b.U32Le(8);
  if (list.numBlocks < 1 || list.numBlocks > static_cast<std::uint32_t>(list.maxBlocks) + 1) return std::nullopt;
  if (!b.Has(kBlockInfoSize, static_cast<std::size_t>(list.numBlocks) * kBlockInfoSize)) return std::nullopt;
  list.blocks.reserve(list.numBlocks);
  for (std::size_t i = 0; i < list.numBlocks; ++i) {
    const std::size_t at = kBlockInfoSize * (i + 1);
    BlockInfo info{b.U64Le(at), b.U32Le(at + 8), b.U32Le(at + 12)};
    if (i != 0 && (info.bsize == 0 || info.bsize % jhdrSize != 0 || info.bsize > kMaxJournalTransferBlock)) {
      return std::nullopt;
    }
    list.blocks.push_back(info);
  }
  return list;
}
