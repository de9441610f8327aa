// The complete scan's sector decoder: runs of directory sectors, and entry
// sets cut by a run's end joined with their rest found elsewhere, once.
#include <gtest/gtest.h>

#include "exfat/ExFatEntryBuilder.h"
#include "exfat/ExFatPreAnalyze.h"

using namespace exfattest;

namespace {

constexpr std::size_t kSector = 512;

// Three sectors: `entries` from the start, the rest zero.
std::vector<std::uint8_t> Sectors(const std::vector<std::uint8_t>& entries) {
  std::vector<std::uint8_t> s(3 * kSector, 0);
  std::copy(entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(std::min(entries.size(), s.size())),
            s.begin());
  return s;
}

std::vector<std::uint8_t> Filler(std::size_t count, const char16_t* prefix) {
  std::vector<std::uint8_t> out;
  for (std::size_t i = 0; i < count; ++i) {
    SetShape s;
    s.name = std::u16string(prefix) + static_cast<char16_t>(u'a' + i);
    s.firstCluster = static_cast<std::uint32_t>(20 + i);
    const auto set = MakeSet(s);
    out.insert(out.end(), set.begin(), set.end());
  }
  return out;
}

struct Split {
  std::vector<std::uint8_t> head;  // sector holding the file entry at its end
  std::vector<std::uint8_t> tail;  // sector starting with the rest
};

// Three 3-entry sets and one 5-entry set fill 14 entries; the cut set's file
// entry and stream take entries 14 and 15; its name entries begin the other
// sector.
Split MakeSplit() {
  SetShape cut;
  cut.name = u"a name that needs three name entries!";
  cut.firstCluster = 50;
  const auto set = MakeSet(cut);
  Split s;
  s.head = Filler(3, u"h");
  SetShape longer;
  longer.name = u"a filler name of thirty-one ch.";
  longer.firstCluster = 40;
  const auto five = MakeSet(longer);
  s.head.insert(s.head.end(), five.begin(), five.end());
  s.head.insert(s.head.end(), set.begin(), set.begin() + 64);
  s.tail.assign(set.begin() + 64, set.end());
  const auto more = Filler(2, u"t");
  s.tail.insert(s.tail.end(), more.begin(), more.end());
  return s;
}

std::size_t CountNamed(const CFileSet& set, const std::string& name) {
  std::size_t n = 0;
  for (const auto& f : set.Files()) n += f.name == name ? 1 : 0;
  return n;
}

TEST(ExFatSectorDecoder, ACutSetIsJoinedOnceWhicheverPartComesFirst) {
  const std::string name = "a name that needs three name entries!";
  for (bool headFirst : {true, false}) {
    SCOPED_TRACE(headFirst);
    const Split split = MakeSplit();
    CFDTPreAnaylze d;
    d.PrepareAnayze(9, 25, 1 << 20);
    std::vector<std::unique_ptr<CFileSet>> sets;
    const std::int64_t headSector = headFirst ? 1000 : 5000;
    const std::int64_t tailSector = headFirst ? 5000 : 1000;
    auto feed = [&](std::int64_t sector, const std::vector<std::uint8_t>& bytes) {
      const auto data = Sectors(bytes);
      if (d.Analyze(sector, ByteView(data.data(), data.size()))) {
        if (auto set = d.GetFileSet()) sets.push_back(std::move(set));
      }
      const auto zero = Sectors({});
      if (d.Analyze(sector + 1, ByteView(zero.data(), zero.size()))) {
        if (auto set = d.GetFileSet()) sets.push_back(std::move(set));
      }
    };
    if (headFirst) {
      feed(headSector, split.head);
      feed(tailSector, split.tail);
    } else {
      feed(tailSector, split.tail);
      feed(headSector, split.head);
    }
    std::size_t joined = 0, files = 0;
    for (const auto& s : sets) {
      joined += CountNamed(*s, name);
      files += s->Files().size();
    }
    EXPECT_EQ(joined, 1u);
    EXPECT_EQ(files, 4u + 1u + 2u);  // the head sector's, the joined one, the tail sector's
    EXPECT_EQ(d.GetNext(headSector), tailSector);
    EXPECT_EQ(d.GetLast(tailSector), headSector);
    EXPECT_EQ(d.PendingPieces(), 0u);
  }
}

TEST(ExFatSectorDecoder, ASectorWithTwoBitmapEntriesIsRefusedAtTheSecond) {
  std::vector<std::uint8_t> bytes(64, 0);
  for (std::size_t at : {0u, 32u}) {
    bytes[at] = 0x81;
    bytes[at + 20] = 2;
    bytes[at + 24] = 0x40;
  }
  CFDTPreAnaylze d;
  d.PrepareAnayze(9, 25, 1 << 20);
  const auto data = Sectors(bytes);
  EXPECT_TRUE(d.Analyze(7, ByteView(data.data(), data.size()))) << "stopped early";
}

}  // namespace
