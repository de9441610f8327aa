#include "core/compress/CompressUnits.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Piece {
  long long lcn;
  long long length;
  CompressUnitType type;
  long long vcn;
  bool operator==(const Piece&) const = default;
};

std::vector<Piece> Regroup(std::vector<DataRun> runs) {
  std::vector<Piece> out;
  for (const tagCompressDataRun& p : ReGroupCompressDataRunList(runs))
    out.push_back({p.s64LCN, p.length, p.eType, p.s64VCN});
  return out;
}

TEST(CompressUnits, RegroupsRunsIntoUnits) {
  struct Case {
    const char* what;
    std::vector<DataRun> runs;
    std::vector<Piece> pieces;
  };
  const Case cases[] = {
      {"5 data clusters and 11 unallocated: one compressed unit",
       {{100, 5}, {-1, 11}},
       {{100, 5, COMPRESSED_UNIT, 0}, {-1, 11, COMPRESSED_UNIT, 5}}},
      {"40 allocated clusters: two stored units and a pending 8",
       {{200, 40}},
       {{200, 32, NONECOMPRESSED_UNIT, 0}, {232, 8, NONECOMPRESSED_UNIT, 32}}},
      {"a whole unallocated unit is sparse", {{-1, 16}}, {{-1, 16, SPARSE_UNIT, 0}}},
      {"stored, sparse and compressed units in a row",
       {{50, 16}, {-1, 32}, {80, 3}, {-1, 13}},
       {{50, 16, NONECOMPRESSED_UNIT, 0},
        {-1, 32, SPARSE_UNIT, 16},
        {80, 3, COMPRESSED_UNIT, 48},
        {-1, 13, COMPRESSED_UNIT, 51}}},
      {"a compressed unit split over two runs",
       {{10, 2}, {30, 3}, {-1, 11}},
       {{10, 2, COMPRESSED_UNIT, 0}, {30, 3, COMPRESSED_UNIT, 2}, {-1, 11, COMPRESSED_UNIT, 5}}},
      {"a hole that ends one unit and fills the next",
       {{10, 4}, {-1, 28}},
       {{10, 4, COMPRESSED_UNIT, 0}, {-1, 12, COMPRESSED_UNIT, 4}, {-1, 16, SPARSE_UNIT, 16}}},
      {"runs of no length are ignored", {{10, 0}, {-1, -4}, {-1, 16}}, {{-1, 16, SPARSE_UNIT, 0}}},
      {"a trailing unallocated piece stays compressed", {{-1, 5}}, {{-1, 5, COMPRESSED_UNIT, 0}}},
  };
  for (const Case& c : cases) EXPECT_EQ(Regroup(c.runs), c.pieces) << c.what;
}

TEST(CompressUnits, HugeRunsStopBeforeOverflow) {
  const auto pieces = Regroup({{1, 0x7FFFFFFFFFFFFFF0LL}, {5, 0x7FFFFFFFFFFFFFF0LL}});
  ASSERT_FALSE(pieces.empty());
  for (const Piece& p : pieces) EXPECT_GE(p.vcn + p.length, p.vcn);
}

TEST(CompressUnits, FindsThePieceHoldingACluster) {
  const std::vector<DataRun> runs = {{50, 16}, {-1, 32}, {80, 3}, {-1, 13}};
  const auto pieces = ReGroupCompressDataRunList(runs);
  EXPECT_EQ(FindCompressPiece(pieces, 0), 0u);
  EXPECT_EQ(FindCompressPiece(pieces, 15), 0u);
  EXPECT_EQ(FindCompressPiece(pieces, 16), 1u);
  EXPECT_EQ(FindCompressPiece(pieces, 47), 1u);
  EXPECT_EQ(FindCompressPiece(pieces, 48), 2u);
  EXPECT_EQ(FindCompressPiece(pieces, 64), pieces.size());
}

}  // namespace
