// The mapping-pair walk on damaged buffers: what the walk reports for each
// pair, and what the validity test, the decoder and the length sum make of it.

#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>
#include <vector>

#include "ntfs/DataRuns.h"
#include "support/Bytes.h"

using testsupport::Bytes;

namespace {

struct Pair {
  unsigned lengthBytes;
  unsigned offsetBytes;
  bool whole;
  bool operator==(const Pair&) const = default;
};

struct Case {
  const char* what;
  Bytes pairs;
  std::vector<Pair> walked;
  bool ended;        // the walk stopped at a 0 header
  bool valid;        // ntfsruns::IsValid
  bool decoded;      // ntfsruns::Decode
  std::size_t runs;  // runs Decode gives, on success or up to the damage
  std::uint32_t sum;
};

const Case kCases[] = {
    {"one run", {0x21, 0x10, 0x34, 0x12, 0}, {{1, 2, true}}, true, true, true, 1, 0x10},
    {"end header only", {0}, {}, true, true, true, 0, 0},
    {"empty buffer", {}, {}, false, false, true, 0, 0},
    {"no end header", {0x11, 0x01, 0x20}, {{1, 1, true}}, false, false, true, 1, 1},
    {"pair cut in its offset", {0x21, 0x10, 0x34}, {{1, 2, false}}, false, false, false, 0, 0x10},
    {"pair cut after its header", {0x11}, {{1, 1, false}}, false, false, false, 0, 0},
    {"second pair cut", {0x11, 0x02, 0x20, 0x21, 0x05}, {{1, 1, true}, {1, 2, false}}, false, false, false, 1, 7},
    {"zero-length header", {0x10, 0x20, 0}, {{0, 1, true}}, true, true, false, 0, 0},
    {"offset of 9 bytes", {0x91, 0x01, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0}, {{1, 9, true}}, true, false, false, 0, 1},
    {"length of 9 bytes", {0x09, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {{9, 0, true}}, true, false, false, 0, 1},
    {"length over the largest count",
     {0x08, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0},
     {{8, 0, true}},
     true,
     false,
     false,
     0,
     0xFFFFFFFF},
    {"cluster numbers overflow",
     {0x81, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0x11, 0x01, 0x01, 0},
     {{1, 8, true}, {1, 1, true}},
     true,
     false,
     false,
     1,
     2},
    {"cluster counts overflow",
     {0x08, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0x01, 0x01, 0},
     {{8, 0, true}, {1, 0, true}},
     true,
     false,
     false,
     1,
     0},  // the sum is 32 bits wide: 0xFFFFFFFF + 1
    {"cluster before the volume", {0x11, 0x01, 0xF0, 0}, {{1, 1, true}}, true, true, false, 0, 1},
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.what; }

class RunPairsOnDamage : public ::testing::TestWithParam<Case> {};

TEST_P(RunPairsOnDamage, WalkAndReaders) {
  const Case& c = GetParam();
  const ByteView view(c.pairs.data(), c.pairs.size());

  ntfsruns::RunPairs pair(view);
  std::vector<Pair> walked;
  while (pair.Next()) walked.push_back({pair.LengthBytes(), pair.OffsetBytes(), pair.Whole()});
  EXPECT_EQ(walked, c.walked);
  EXPECT_EQ(pair.Ended(), c.ended);
  EXPECT_FALSE(pair.Next()) << "the walk stays finished";

  EXPECT_EQ(ntfsruns::IsValid(view), c.valid);
  std::vector<CDataRun> runs;
  EXPECT_EQ(ntfsruns::Decode(view, 0, runs), c.decoded);
  EXPECT_EQ(runs.size(), c.runs);
  EXPECT_EQ(ntfsruns::SumLengths(view), c.sum);
}

INSTANTIATE_TEST_SUITE_P(Cases, RunPairsOnDamage, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           std::string name;
                           for (const char* p = info.param.what; *p != 0; ++p) {
                             name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                           }
                           return name;
                         });

}  // namespace
