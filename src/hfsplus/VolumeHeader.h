#pragma once
// The HFS+ volume header (512 bytes at byte 1024 of the volume), host order.

#include <cstdint>
#include <optional>

#include "core/util/ByteView.h"
#include "hfsplus/ForkData.h"

struct HFSPlusVolumeHeader {
  std::uint16_t signature = 0;
  std::uint16_t version = 0;
  std::uint32_t attributes = 0;
  std::uint32_t journalInfoBlock = 0;
  std::uint32_t createDate = 0;
  std::uint32_t modifyDate = 0;
  std::uint32_t fileCount = 0;
  std::uint32_t folderCount = 0;
  std::uint32_t blockSize = 0;
  std::uint32_t totalBlocks = 0;
  std::uint32_t freeBlocks = 0;
  std::uint32_t nextCatalogID = 0;
  std::uint32_t finderInfo6 = 0;
  std::uint32_t finderInfo7 = 0;
  HFSPlusForkData allocationFile;
  HFSPlusForkData extentsFile;
  HFSPlusForkData catalogFile;
  HFSPlusForkData attributesFile;
  HFSPlusForkData startupFile;

  bool IsHfsx() const;
  bool IsJournaled() const;
  std::uint64_t VolumeIdentifier() const;
  std::uint64_t VolumeBytes() const;
};

// Decodes the header from at least 512 bytes; nothing for a shorter view.
[[nodiscard]] std::optional<HFSPlusVolumeHeader> DecodeVolumeHeader(const ByteView& bytes);

// The header validity test: signature, a power-of-two block size of at least
// 512, version, block counts and a catalog size that matches its blocks.
[[nodiscard]] bool IsValidVolumeHeaderBytes(const ByteView& bytes);

// A power of two of at least 512.
[[nodiscard]] bool IsValidBlockSize(std::uint32_t blockSize);
