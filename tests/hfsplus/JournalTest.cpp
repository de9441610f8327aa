// Journal structures: what the harvest accepts before it walks.

#include <gtest/gtest.h>

#include "hfsplus/HfsPlusJournal.h"
#include "hfsplus/HfsPlusVolume.h"
#include "hfsplus/JournalLayout.h"
#include "hfsplus/SampleVolume.h"
#include "support/MemoryDevice.h"

namespace {

JournalHeader Good() {
  JournalHeader h;
  h.magic = kJournalMagic;
  h.endian = kJournalEndian;
  h.start = 512;
  h.end = 8192;
  h.size = 1 << 20;
  h.blhdrSize = 4096;
  h.jhdrSize = 512;
  return h;
}

struct HeaderCase {
  const char* what;
  void (*change)(JournalHeader&);
  bool usable;
};

class JournalHeaderCheck : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(JournalHeaderCheck, RefusesInconsistentFields) {
  JournalHeader h = Good();
  GetParam().change(h);
  EXPECT_EQ(IsUsableJournalHeader(h, 1 << 20, 4096, 64 << 20), GetParam().usable) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, JournalHeaderCheck,
    ::testing::Values(HeaderCase{"good", [](JournalHeader&) {}, true},
                      HeaderCase{"big-endian journal", [](JournalHeader& h) { h.endian = 0x78563412; }, false},
                      HeaderCase{"jhdr_size 0", [](JournalHeader& h) { h.jhdrSize = 0; }, false},
                      HeaderCase{"jhdr_size not a power of two", [](JournalHeader& h) { h.jhdrSize = 768; }, false},
                      HeaderCase{"blhdr_size not a multiple", [](JournalHeader& h) { h.blhdrSize = 1000; }, false},
                      HeaderCase{"size differs from the info block", [](JournalHeader& h) { h.size = 1 << 19; }, false},
                      HeaderCase{"end past the buffer", [](JournalHeader& h) { h.end = 1 << 20; }, false},
                      HeaderCase{"start inside the header", [](JournalHeader& h) { h.start = 100; }, false}));

TEST(JournalHeaderCheck, JournalMustFitTheVolume) {
  EXPECT_FALSE(IsUsableJournalHeader(Good(), 1 << 20, (63 << 20) + 4096, 64 << 20));
}

TEST(BlockList, CountsAndSizesAreBounded) {
  std::vector<std::uint8_t> b(4096, 0);
  ByteWriter w(b);
  w.PutU16Le(0, 4096 / 16 - 1);
  w.PutU16Le(2, 2);
  w.PutU32Le(32 + 8, 4096);
  EXPECT_TRUE(DecodeBlockList(ByteView(b.data(), b.size()), 4096, 512));
  w.PutU32Le(32 + 8, 1000);  // not a multiple of the journal block
  EXPECT_FALSE(DecodeBlockList(ByteView(b.data(), b.size()), 4096, 512));
  w.PutU32Le(32 + 8, 4096);
  w.PutU16Le(2, 300);  // more entries than the header holds
  EXPECT_FALSE(DecodeBlockList(ByteView(b.data(), b.size()), 4096, 512));
  w.PutU16Le(2, 0);
  EXPECT_FALSE(DecodeBlockList(ByteView(b.data(), b.size()), 4096, 512));
}

TEST(Journal, UnjournaledVolumeHasNoHeaderAndHarvestsNothing) {
  hfsbuilder::BuilderOptions o;
  o.journaled = false;
  hfsbuilder::HfsPlusImageBuilder b(o);
  b.AddFile(2, "x", hfstest::Pattern(10, 1));
  testsupport::MemoryDevice device(b.Build(), 512, kDeviceVolume);
  CHFSPlusVolume volume(&device, false);
  ASSERT_NE(volume.GetJournal(), nullptr);
  EXPECT_EQ(volume.GetJournal()->GetHeader(), nullptr);
  EXPECT_EQ(volume.GetJournal()->GetDeleteRecord(nullptr), 0u);
  EXPECT_TRUE(volume.HarvestedCatalogRecords().empty());
}

TEST(Journal, HarvestKeepsDeletedRecordsOfAllThreeTrees) {
  hfstest::SampleVolume sample(4096, 512, true);
  testsupport::MemoryDevice device(sample.image, 512, kDeviceVolume);
  CHFSPlusVolume volume(&device, false);
  ASSERT_NE(volume.GetJournal()->GetHeader(), nullptr);
  EXPECT_EQ(volume.GetJournal()->GetDeleteRecord(nullptr), 0u);
  EXPECT_EQ(volume.HarvestedCatalogRecords().size(), 4u);
  EXPECT_EQ(volume.HarvestedExtentRecords().size(), 1u);     // gone.bin's overflow record
  EXPECT_EQ(volume.HarvestedAttributeRecords().size(), 1u);  // gonecomp.txt's decmpfs
}

}  // namespace
