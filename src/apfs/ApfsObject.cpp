#include "apfs/ApfsObject.h"

#include <cstdint>

#include "apfs/ApfsLayout.h"

namespace apfs {

ObjectHeader DecodeObjectHeader(const ByteView& block) {
  ObjectHeader h;
  if (!block.Has(0, kObjHeaderSize)) return h;
  h.oid = block.U64Le(kObjOid);
  h.type = block.U16Le(kObjType);
  h.flags = block.U16Le(kObjTypeFlags);
  h.subtype = block.U16Le(kObjSubtype);
  return h;
}

bool IsObjectHeader(const ByteView& block) {
  if (!block.Has(0, kObjHeaderSize)) return false;
  const ObjectHeader h = DecodeObjectHeader(block);
  return h.subtype <= kMaxObjType && h.type <= kMaxObjType && h.oid != 0;
}

std::uint64_t ComputeChecksum(const ByteView& block) {
  constexpr std::uint64_t kMod = 0xFFFFFFFFull;
  std::uint64_t sum1 = 0;
  std::uint64_t sum2 = 0;
  const std::size_t words = block.Size() / 4;
  for (std::size_t i = 2; i < words; ++i) {
    sum1 = (sum1 + block.U32Le(i * 4)) % kMod;
    sum2 = (sum2 + sum1) % kMod;
  }
  const std::uint64_t c1 = kMod - ((sum1 + sum2) % kMod);
  const std::uint64_t c2 = kMod - ((sum1 + c1) % kMod);
  return (c2 << 32) | c1;
}

bool ChecksumOk(const ByteView& block) {
  if (!block.Has(0, kObjHeaderSize)) return false;
  return ComputeChecksum(block) == block.U64Le(kObjChecksum);
}

bool HasContainerMagic(const ByteView& block) { return block.Has(0, 40) && block.U32Le(kNxMagic) == kNxMagicValue; }

ContainerSuperblock DecodeContainerSuperblock(const ByteView& block) {
  ContainerSuperblock sb;
  sb.blockSize = block.U32Le(kNxBlockSize);
  sb.blockCount = block.U64Le(kNxBlockCount);
  block.Bytes(kNxUuid, sb.uuid.data(), sb.uuid.size());
  sb.nextCopy = block.U32Le(kNxNextCopy);
  sb.omapOid = block.U64Le(kNxOmapOid);
  sb.xid = block.U64Le(kObjXid);
  sb.descBlocks = block.U32Le(kNxDescBlocks);
  sb.descBase = block.U64Le(kNxDescBase);
  return sb;
}

std::vector<std::uint64_t> CheckpointAreaBlocks(const ContainerSuperblock& sb, std::uint32_t limit) {
  std::vector<std::uint64_t> blocks;
  if ((sb.descBlocks & 0x80000000u) != 0 || sb.descBase == 0) return blocks;
  const std::uint32_t n = sb.descBlocks < limit ? sb.descBlocks : limit;
  for (std::uint32_t i = 0; i < n && sb.descBase <= UINT64_MAX - i; ++i) blocks.push_back(sb.descBase + i);
  return blocks;
}

std::optional<std::uint64_t> CheckpointCopyPosition(const ByteView& superblock) {
  const std::uint32_t blocks = superblock.U32Le(kNxDescBlocks);
  const std::uint64_t base = superblock.U64Le(kNxDescBase);
  const std::uint32_t index = superblock.U32Le(kNxDescIndex);
  const std::uint32_t length = superblock.U32Le(kNxDescLength);
  if (!superblock.Has(0, kNxDescLength + 4) || blocks == 0 || (blocks & 0x80000000u) != 0 || base == 0 ||
      index >= blocks || length == 0 || length > blocks) {
    return std::nullopt;
  }
  const std::uint64_t offset = (static_cast<std::uint64_t>(index) + length - 1) % blocks;
  if (base > UINT64_MAX - offset) return std::nullopt;
  return base + offset;
}

bool HasVolumeMagic(const ByteView& block) { return block.Has(0, 40) && block.U32Le(kApsbMagic) == kApsbMagicValue; }

std::uint64_t VolumeOmapOid(const ByteView& block) { return block.U64Le(kApsbOmapOid); }

std::string VolumeName(const ByteView& block, std::size_t maxBytes) {
  if (maxBytes > kApsbNameMax) maxBytes = kApsbNameMax;
  std::string name;
  for (std::size_t i = 0; i < maxBytes && block.Has(kApsbName + i, 1); ++i) {
    const std::uint8_t c = block.U8(kApsbName + i);
    if (c == 0) break;
    name.push_back(static_cast<char>(c));
  }
  return name;
}

std::array<std::uint8_t, 16> VolumeUuid(const ByteView& block) {
  std::array<std::uint8_t, 16> uuid{};
  block.Bytes(kApsbUuid, uuid.data(), uuid.size());
  return uuid;
}

}  // namespace apfs
