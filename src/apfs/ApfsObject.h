#pragma once
// Pure decoders of the APFS object header, the Fletcher-64 object checksum and
// the container and volume superblocks.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/util/ByteView.h"

namespace apfs {

struct ObjectHeader {
  std::uint64_t oid = 0;
  std::uint16_t type = 0;
  std::uint16_t flags = 0;  // storage flags (high half of the type word)
  std::uint16_t subtype = 0;
};

// The first 32 bytes of a block; zeros when the view is shorter.
[[nodiscard]] ObjectHeader DecodeObjectHeader(const ByteView& block);
// u16 type <= 31, u16 subtype <= 31, object id not 0.
[[nodiscard]] bool IsObjectHeader(const ByteView& block);
// Fletcher-64 over the object after its checksum field matches the stored one.
[[nodiscard]] bool ChecksumOk(const ByteView& block);
[[nodiscard]] std::uint64_t ComputeChecksum(const ByteView& block);

struct ContainerSuperblock {
  std::uint32_t blockSize = 0;
  std::uint64_t blockCount = 0;
  std::array<std::uint8_t, 16> uuid{};
  std::uint32_t nextCopy = 0;
  std::uint64_t omapOid = 0;
  std::uint64_t xid = 0;
  std::uint32_t descBlocks = 0;
  std::uint64_t descBase = 0;
};

// Blocks of the checkpoint-descriptor area that may hold superblock copies
// (at most `limit`); empty when the area is not a plain run of blocks.
[[nodiscard]] std::vector<std::uint64_t> CheckpointAreaBlocks(const ContainerSuperblock& sb, std::uint32_t limit);

// Container-relative block of a checkpoint's superblock copy, the last block
// of its checkpoint in the descriptor area: base + (index + length - 1) mod
// blocks. Nothing when the area is a tree or the fields are unusable.
[[nodiscard]] std::optional<std::uint64_t> CheckpointCopyPosition(const ByteView& superblock);

// "NXSB" magic present; fills `out` from the block.
[[nodiscard]] bool HasContainerMagic(const ByteView& block);
[[nodiscard]] ContainerSuperblock DecodeContainerSuperblock(const ByteView& block);

[[nodiscard]] bool HasVolumeMagic(const ByteView& block);
[[nodiscard]] std::uint64_t VolumeOmapOid(const ByteView& block);
// The zero-terminated name at 704, at most `maxBytes` bytes (<= 256).
[[nodiscard]] std::string VolumeName(const ByteView& block, std::size_t maxBytes = 256);
[[nodiscard]] std::array<std::uint8_t, 16> VolumeUuid(const ByteView& block);

}  // namespace apfs
