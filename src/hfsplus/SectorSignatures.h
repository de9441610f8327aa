#pragma once
// What the complete scan recognises in one raw sector: volume headers,
// journal info blocks, journal headers and B-tree nodes.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/util/ByteView.h"
#include "hfsplus/JournalLayout.h"
#include "hfsplus/VolumeHeader.h"

class CHFSPlusBTNode;

struct VolumeHeaderHit {
  std::size_t offset = 0;  // byte offset of the header in the sector
  HFSPlusVolumeHeader header;
};

struct VolumeHeaderScan {
  std::vector<VolumeHeaderHit> headers;
  // Every slice was looked at: no non-zero slice other than a header lies
  // at or beyond byte 1024 of the sector (boot blocks before it are allowed).
  bool clean = false;
};

// Looks at the sector in 512-byte slices; all-zero slices are passed over.
[[nodiscard]] VolumeHeaderScan ScanVolumeHeaders(const ByteView& sector);

// The info block: offset and size multiples of 512, the reserved words zero
// and every byte from 180 to the end of the sector 0xDB.
[[nodiscard]] std::optional<JournalInfoBlock> MatchJournalInfoBlock(const ByteView& sector);

// The journal header's magic and endian words (little-endian).
[[nodiscard]] bool MatchJournalHeader(const ByteView& sector);

// A descriptor worth a closer look: reserved 0, a header node of height 0 or
// a leaf of height 1.
[[nodiscard]] bool IsNodeCandidate(const ByteView& sector);

// The smallest node size from `sectorSize` up to 32768 (doubling) whose node
// passes the validity test; 0 when none does.
[[nodiscard]] std::uint32_t FindNodeSize(const ByteView& bytes, std::uint32_t sectorSize);

// A leaf holding a catalog thread, folder or file record (walking stops at a
// key that reaches the node size).
[[nodiscard]] bool IsCatalogLeaf(const CHFSPlusBTNode& leaf);
