// Canon CRW raw images are sized by their root heap: its last four bytes give
// the offset of its record table, which lies right before them, so the
// file ends there whatever follows it.

#include <gtest/gtest.h>

#include <cstring>

#include "carving/CarvingHarness.h"
#include "carving/MediaSamples.h"
#include "support/MemoryDevice.h"
#include "support/Bytes.h"

using namespace carvingtest;

namespace {

using testsupport::PutLe16;
using testsupport::PutLe32;

// A CIFF file: the 26-byte header, then a root heap holding the raw data and
// a preview, a table of three records (two in the heap, one holding its
// value itself) and the table's offset.
Bytes Crw(std::size_t raw, std::size_t preview) {
  Bytes header(26, 0);
  std::memcpy(header.data(), "II", 2);
  PutLe32(header, 2, 26);
  std::memcpy(header.data() + 6, "HEAPCCDR", 8);
  PutLe32(header, 14, 0x00010002);
  const Bytes data = Noise(raw + preview, 18);
  Bytes table(2 + 3 * 10 + 4, 0);
  PutLe16(table, 0, 3);
  PutLe16(table, 2, 0x2005);  // raw data
  PutLe32(table, 4, static_cast<unsigned>(raw));
  PutLe32(table, 8, 0);
  PutLe16(table, 12, 0x2007);  // preview
  PutLe32(table, 14, static_cast<unsigned>(preview));
  PutLe32(table, 18, static_cast<unsigned>(raw));
  PutLe16(table, 22, 0x5817);  // a value held in the record
  PutLe32(table, 24, 0x12345678);
  PutLe32(table, 28, 0x9ABCDEF0);
  PutLe32(table, 32, static_cast<unsigned>(raw + preview));
  return Concat({header, data, table});
}

struct TailCase {
  const char* name;
  Bytes tail;
};

void PrintTo(const TailCase& c, std::ostream* os) { *os << c.name; }

class CrwHeap : public ::testing::TestWithParam<TailCase> {};

TEST_P(CrwHeap, EndsWhereTheRootHeapEnds) {
  const Bytes file = Crw(700001, 12345);
  const Bytes& tail = GetParam().tail;
  Bytes image = Concat({Noise(64 * 1024, 5), file, tail});
  image.resize((image.size() + 511) / 512 * 512, 0);
  testsupport::MemoryDevice device(std::move(image));
  bool seen = false;
  for (const Found& f : Files(Carve(&device))) {
    if (f.start != 128) continue;
    seen = true;
    EXPECT_EQ(f.size, static_cast<long long>(file.size())) << f.name;
  }
  EXPECT_TRUE(seen);
}

INSTANTIATE_TEST_SUITE_P(Tails, CrwHeap,
                         ::testing::Values(TailCase{"Zeros", Bytes(2 * 1024 * 1024, 0)},
                                           TailCase{"RandomBytes", Noise(3 * 1024 * 1024, 7)},
                                           TailCase{"DeviceEnd", Bytes{}}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
