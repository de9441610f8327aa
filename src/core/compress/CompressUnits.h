#pragma once
// The compression units of an NTFS-compressed file: every 16 clusters of the
// file are stored as they are, LZNT1-compressed (followed by unallocated
// clusters that fill the unit) or not at all (sparse).

#include <span>
#include <vector>

#include "core/model/DataRun.h"

enum CompressUnitType : int {
  NONECOMPRESSED_UNIT = 0,
  COMPRESSED_UNIT = 1,
  SPARSE_UNIT = 2,
};

constexpr long long kClustersPerCompressUnit = 16;

// One piece of the regrouped run list. Whole units of one kind that follow
// each other in one run share a piece.
struct tagCompressDataRun {
  long long s64LCN = -1;  // first cluster on the volume; -1 for unallocated
  long long length = 0;   // clusters
  CompressUnitType eType = NONECOMPRESSED_UNIT;
  long long s64VCN = 0;  // first cluster within the file
};

// Regroups a file's runs (clusters; a negative start is unallocated) into
// pieces whose kinds tell how each unit is stored. Runs of zero or negative
// length are ignored; the walk stops where cluster numbers would overflow.
[[nodiscard]] std::vector<tagCompressDataRun> ReGroupCompressDataRunList(std::span<const DataRun> runs);

// Index of the first piece that holds a cluster at or after `vcn`
// (pieces.size() when none).
[[nodiscard]] std::size_t FindCompressPiece(const std::vector<tagCompressDataRun>& pieces, long long vcn);
