#include "core/compress/CompressUnits.h"

#include <algorithm>
#include <limits>

namespace {

constexpr long long kMax = std::numeric_limits<long long>::max();

struct Cursor {
  long long vcn = 0;
  bool overflow = false;

  // Appends a piece and moves on; false once cluster numbers would overflow.
  bool Emit(std::vector<tagCompressDataRun>& out, long long& lcn, long long count, CompressUnitType type) {
    if (count > kMax - vcn || (lcn >= 0 && count > kMax - lcn)) {
      overflow = true;
      return false;
    }
    out.push_back({lcn, count, type, vcn});
    vcn += count;
    if (lcn >= 0) lcn += count;
    return true;
  }
};

}  // namespace

std::vector<tagCompressDataRun> ReGroupCompressDataRunList(std::span<const DataRun> runs) {
  std::vector<tagCompressDataRun> out;
  std::vector<tagCompressDataRun> pending;
  long long missing = kClustersPerCompressUnit;
  Cursor cursor;

  for (const DataRun& run : runs) {
    if (run.length <= 0) continue;
    long long lcn = run.start < 0 ? -1 : run.start;
    long long rest = run.length;
    while (rest >= missing) {
      const CompressUnitType type =
          lcn < 0 ? (missing == kClustersPerCompressUnit ? SPARSE_UNIT : COMPRESSED_UNIT) : NONECOMPRESSED_UNIT;
      for (tagCompressDataRun& piece : pending) {
        piece.eType = type;
        out.push_back(piece);
      }
      pending.clear();
      // Whole units of this run go into one piece.
      const long long take =
          missing == kClustersPerCompressUnit ? rest / kClustersPerCompressUnit * kClustersPerCompressUnit : missing;
      if (!cursor.Emit(out, lcn, take, type)) return out;
      rest -= take;
      missing = kClustersPerCompressUnit;
    }
    if (rest > 0) {
      std::vector<tagCompressDataRun> holder;
      if (!cursor.Emit(holder, lcn, rest, NONECOMPRESSED_UNIT)) return out;
      pending.push_back(holder.front());
      missing -= rest;
    }
  }
  for (tagCompressDataRun& piece : pending) {
    piece.eType = piece.s64LCN < 0 ? COMPRESSED_UNIT : NONECOMPRESSED_UNIT;
    out.push_back(piece);
  }
  return out;
}

std::size_t FindCompressPiece(const std::vector<tagCompressDataRun>& pieces, long long vcn) {
  const auto it = std::partition_point(pieces.begin(), pieces.end(),
                                       [vcn](const tagCompressDataRun& p) { return p.s64VCN + p.length <= vcn; });
  return static_cast<std::size_t>(it - pieces.begin());
}
