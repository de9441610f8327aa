// The exFAT entry tests, the entry-set checks and the folder decoder.
#include <gtest/gtest.h>

#include "exfat/ExFatDirAnalyze.h"
#include "exfat/ExFatEntryBuilder.h"
#include "exfat/ExFatEntryChecks.h"

using namespace exfattest;

namespace {

CEFDTAnalyze Decoder() {
  CEFDTAnalyze d;
  d.PrepareAnayze(9, 12, 1 << 20, ExFatHeapLimits{1000, 4096});
  return d;
}

std::vector<_tagFileBaseInfo> Decode(const std::vector<std::uint8_t>& bytes, bool* ended = nullptr) {
  CEFDTAnalyze d = Decoder();
  const bool more = d.Analyze(ByteView(bytes.data(), bytes.size()), 100);
  if (ended != nullptr) *ended = !more;
  return d.Completed();
}

TEST(ExFatEntryChecks, ADeletedSetPassesWithItsInUseChecksum) {
  SetShape shape;
  shape.inUse = false;
  const auto set = MakeSet(shape);
  EXPECT_TRUE(CheckDirEntry(ByteView(set.data(), set.size()), ByteView(set.data(), set.size()).U16Le(2)));
}

TEST(ExFatEntryChecks, AWrongChecksumFailsAlsoWhenZero) {
  SetShape shape;
  shape.badChecksum = true;
  const auto set = MakeSet(shape);
  const ByteView v(set.data(), set.size());
  EXPECT_FALSE(CheckDirEntry(v, v.U16Le(2)));
  EXPECT_FALSE(CheckDirEntry(v, 0));
  EXPECT_TRUE(CheckDirEntry(ByteView(), 0));
}

// Characters are judged by their value: "/" and "\" are refused, letters of
// every script (also those whose low byte is 0) are allowed.
TEST(ExFatEntryChecks, NameCharacters) {
  struct Case {
    char16_t c;
    bool ok;
  };
  const Case cases[] = {{u'A', true},   {u'/', false},  {u'\\', false}, {u':', false},
                        {0x2F00, true}, {0x0100, true}, {0x4E00, true}, {0x0019, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.c));
    SetShape shape;
    shape.name = std::u16string(u"ab") + c.c;
    const auto set = MakeSet(shape);
    EXPECT_EQ(exfatcheck::NameEntry(ByteView(set.data() + 64, 32)), c.ok);
    EXPECT_EQ(Decode(set).size(), c.ok ? 1u : 0u);
  }
}

TEST(ExFatEntryChecks, TimestampFields) {
  const std::uint32_t good = SetShape{}.timestamp;
  EXPECT_TRUE(exfatcheck::Timestamp(good));
  EXPECT_FALSE(exfatcheck::Timestamp((good & ~(0xFu << 21)) | (13u << 21)));  // month 13
  EXPECT_FALSE(exfatcheck::Timestamp(good & ~(0x1Fu << 16)));                 // day 0
  EXPECT_FALSE(exfatcheck::Timestamp((good & ~0x1Fu) | 30u));                 // 60 seconds
}

TEST(ExFatEntryChecks, LongAndNonAsciiNamesDecodeWhole) {
  SetShape shape;
  shape.name = u"Überprüfung_日本語_файл and more characters.txt";
  const auto out = Decode(MakeSet(shape));
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].name, "Überprüfung_日本語_файл and more characters.txt");
  EXPECT_EQ(out[0].dataLength, 1000);
  EXPECT_EQ(out[0].metadataSector, 100);
}

// Sets are refused when a count, a length or a cluster does not fit.
TEST(ExFatFolderDecoder, RefusesSetsThatDoNotFit) {
  struct Case {
    const char* what;
    SetShape shape;
  };
  SetShape beyondHeap;
  beyondHeap.firstCluster = 1000;
  SetShape runsPastHeap;
  runsPastHeap.firstCluster = 990;
  runsPastHeap.length = 11 * 4096;
  SetShape noCluster;
  noCluster.firstCluster = 0;
  SetShape badSum;
  badSum.badChecksum = true;
  SetShape dots;
  dots.name = u"..";
  const Case cases[] = {{"first cluster past the heap", beyondHeap},
                        {"contiguous data past the heap", runsPastHeap},
                        {"data without a cluster", noCluster},
                        {"checksum", badSum},
                        {"dot-dot name", dots}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_TRUE(Decode(MakeSet(c.shape)).empty());
  }
  // A name length above what the name entries hold.
  auto set = MakeSet(SetShape{});
  set[35] = 40;
  ByteWriter(set).PutU16Le(2, exfatcheck::SetChecksum(ByteView(set.data(), set.size()), false));
  EXPECT_TRUE(Decode(set).empty());
}

TEST(ExFatFolderDecoder, ASetCutByAClusterEndIsCompletedFromTheNext) {
  SetShape a;
  a.name = u"first";
  SetShape b;
  b.name = u"a name long enough for three entries";
  const auto bytes = Concat({MakeSet(a), MakeSet(b)});
  CEFDTAnalyze d = Decoder();
  EXPECT_TRUE(d.Analyze(ByteView(bytes.data(), 96 + 64), 100));
  d.Analyze(ByteView(bytes.data() + 160, bytes.size() - 160), 108);
  ASSERT_EQ(d.Completed().size(), 2u);
  EXPECT_EQ(d.Completed()[1].name, "a name long enough for three entries");
}

// The rest of a set cut by a folder's end is sought in clusters after it: a
// cluster that does not complete the set with its checksum leaves the head
// as it was, for the next candidate or to be kept cut.
TEST(ExFatFolderDecoder, AClusterThatDoesNotContinueACutSetLeavesItsHead) {
  SetShape shape;
  shape.inUse = false;
  shape.name = u"a name long enough for three entries";
  const auto set = MakeSet(shape);
  CEFDTAnalyze d = Decoder();
  EXPECT_TRUE(d.Analyze(ByteView(set.data(), 96), 100));
  ASSERT_TRUE(d.HasPending());

  // Name entries of another set (wrong checksum), then stray data whose
  // first byte reads as a name entry.
  SetShape other = shape;
  other.name = u"another name, as long as three entries";
  const auto wrong = MakeSet(other);
  std::vector<std::uint8_t> stray(512, 0x5A);
  stray[0] = 0x41;
  for (const auto& candidate : {std::vector<std::uint8_t>(wrong.begin() + 96, wrong.end()), stray}) {
    EXPECT_FALSE(d.FinishPending(ByteView(candidate.data(), candidate.size()), 200));
    EXPECT_TRUE(d.HasPending());
    EXPECT_TRUE(d.Completed().empty());
  }
  EXPECT_TRUE(d.FinishPending(ByteView(set.data() + 96, set.size() - 96), 300));
  ASSERT_EQ(d.Completed().size(), 1u);
  EXPECT_EQ(d.Completed()[0].name, "a name long enough for three entries");
  EXPECT_FALSE(d.HasPending());
}

TEST(ExFatFolderDecoder, EndsAtTheEndMarkerAndAtABrokenLiveEntry) {
  bool ended = false;
  auto bytes = Concat({MakeSet(SetShape{})}, 512);
  EXPECT_EQ(Decode(bytes, &ended).size(), 1u);
  EXPECT_TRUE(ended);

  SetShape bad;
  bad.timestamp = (bad.timestamp & ~(0xFu << 21)) | (13u << 21);
  bytes = Concat({MakeSet(bad), MakeSet(SetShape{})});
  EXPECT_TRUE(Decode(bytes, &ended).empty());
  EXPECT_TRUE(ended);
}

// Benign entries (GUID, padding, vendor extension) and broken deleted sets
// are passed over; the sets after them are decoded.
TEST(ExFatFolderDecoder, PassesOverBenignEntriesAndBrokenDeletedSets) {
  std::vector<std::uint8_t> guid(32, 0);
  guid[0] = 0xA0;
  std::vector<std::uint8_t> padding(32, 0);
  padding[0] = 0xA1;
  SetShape broken;
  broken.inUse = false;
  broken.timestamp = 0;
  SetShape deleted;
  deleted.inUse = false;
  deleted.name = u"gone.bin";
  bool ended = true;
  const auto out = Decode(Concat({guid, padding, MakeSet(broken), MakeSet(deleted), MakeSet(SetShape{})}), &ended);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_FALSE(ended);
  EXPECT_EQ(out[0].name, "gone.bin");
  EXPECT_EQ(out[0].inUse, 0);
  EXPECT_EQ(out[1].inUse, 1);
}

}  // namespace
