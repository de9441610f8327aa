// Short names, long-name runs and the properties built from them.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fat/FatDirEntry.h"
#include "fat/FatDosTime.h"
#include "fat/FatFilePropertiesBuilder.h"
#include "fat/FatLongName.h"

namespace {

using Entry = std::array<std::uint8_t, 32>;

Entry ShortEntry(const char* name11, std::uint8_t attribute = 0x20, std::uint32_t cluster = 5,
                 std::uint32_t size = 10) {
  Entry e{};
  std::memcpy(e.data(), name11, 11);
  e[11] = attribute;
  e[20] = static_cast<std::uint8_t>(cluster >> 16);
  e[21] = static_cast<std::uint8_t>(cluster >> 24);
  e[26] = static_cast<std::uint8_t>(cluster);
  e[27] = static_cast<std::uint8_t>(cluster >> 8);
  for (int i = 0; i < 4; ++i) e[28 + i] = static_cast<std::uint8_t>(size >> (8 * i));
  return e;
}

std::uint8_t Checksum(const Entry& e) {
  std::uint8_t sum = 0;
  for (int i = 0; i < 11; ++i) sum = static_cast<std::uint8_t>(((sum & 1) << 7) + (sum >> 1) + e[i]);
  return sum;
}

// One long-name entry holding up to 13 UTF-16 units of `units` (NUL, then
// 0xFFFF padding when shorter).
Entry LongEntry(std::uint8_t sequence, const std::u16string& units, std::uint8_t checksum) {
  static constexpr int kOffsets[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
  Entry e{};
  e[0] = sequence;
  e[11] = 0x0F;
  e[13] = checksum;
  for (int i = 0; i < 13; ++i) {
    std::uint16_t u = 0xFFFF;
    if (i < static_cast<int>(units.size())) u = units[static_cast<std::size_t>(i)];
    if (i == static_cast<int>(units.size())) u = 0;
    e[static_cast<std::size_t>(kOffsets[i])] = static_cast<std::uint8_t>(u);
    e[static_cast<std::size_t>(kOffsets[i]) + 1] = static_cast<std::uint8_t>(u >> 8);
  }
  return e;
}

// Long-name entries for `name`, stored last part first, then the short entry.
std::vector<std::uint8_t> NameRun(const std::u16string& name, const Entry& shortEntry) {
  std::vector<Entry> pieces;
  for (std::size_t at = 0; at < name.size(); at += 13)
    pieces.push_back(LongEntry(0, name.substr(at, 13), Checksum(shortEntry)));
  std::vector<std::uint8_t> bytes;
  for (std::size_t k = pieces.size(); k-- > 0;) bytes.insert(bytes.end(), pieces[k].begin(), pieces[k].end());
  bytes.insert(bytes.end(), shortEntry.begin(), shortEntry.end());
  return bytes;
}

std::string NameOf(const std::vector<std::uint8_t>& run) {
  std::unique_ptr<CFATFileProperties> p(
      CFATFilePropertiesBuilder::BuildFATFilePropertyFromDirEntryBuffer(ByteView(run.data(), run.size())));
  return p && p->GetFileName() != nullptr ? p->GetFileName() : "<null>";
}

TEST(FatShortNames, AsStoredWithLostFirstCharacterAndCaseFlags) {
  struct Case {
    const char* name11;
    std::uint8_t caseFlags;
    const char* expected;
  };
  const Case cases[] = {
      {"NOTE    TXT", 0x00, "NOTE.TXT"}, {"\xE5OTE    TXT", 0x00, "#OTE.TXT"},  {"README     ", 0x00, "README"},
      {"DOC     PDF", 0x18, "doc.pdf"},  // lower-case name and extension
      {"DOC     PDF", 0x08, "doc.PDF"},  {"\xE5UB_A   TXT", 0x18, "#ub_a.txt"}, {"CAF\x82    TXT", 0x00, "CAF_.TXT"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    Entry e = ShortEntry(c.name11);
    e[12] = c.caseFlags;
    CTempFATDirEntry entry;
    entry.InitFromBuffer(ByteView(e.data(), e.size()), 0);
    EXPECT_EQ(entry.GetShortName(false), c.expected);
  }
}

TEST(FatLongNames, AssembledInNameOrderAcrossPieces) {
  const Entry s = ShortEntry("ARATHE~1TXT");
  EXPECT_EQ(NameOf(NameRun(u"A rather long file name number 013.txt", s)), "A rather long file name number 013.txt");
  // Non-ASCII and a surrogate pair.
  EXPECT_EQ(NameOf(NameRun(u"R\u00e9sum\u00e9 \u20ac \U0001F600.txt", s)),
            "R\xc3\xa9sum\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80.txt");
}

TEST(FatLongNames, ADeletedEntryKeepsItsLongName) {
  Entry s = ShortEntry("LONGFI~1TXT");
  std::vector<std::uint8_t> run = NameRun(u"Long File Name Report.txt", s);
  // Deletion marks the short entry and every piece.
  for (std::size_t at = 0; at < run.size(); at += 32) run[at] = 0xE5;
  EXPECT_EQ(NameOf(run), "Long File Name Report.txt");
}

// Pieces left from another file are not glued to this one.
TEST(FatLongNames, PiecesWithAnotherChecksumGiveTheShortName) {
  const Entry s = ShortEntry("NOTE    TXT");
  std::vector<std::uint8_t> run = NameRun(u"Some other file.txt", ShortEntry("SOMEOT~1TXT"));
  std::copy(s.begin(), s.end(), run.end() - 32);
  EXPECT_EQ(NameOf(run), "NOTE.TXT");
}

TEST(FatLongNames, OverlongOrBrokenRunsGiveTheShortName) {
  const Entry s = ShortEntry("ARATHE~1TXT");
  // 60 pieces: far more than a name holds, and more than any name area.
  std::u16string huge(60 * 13, u'x');
  EXPECT_EQ(NameOf(NameRun(huge, s)), "ARATHE~1.TXT");
  // A short piece that is not the name's last part.
  std::vector<std::uint8_t> run = NameRun(u"A rather long file name", s);
  const Entry shortPiece = LongEntry(0, u"abc", Checksum(s));
  std::copy(shortPiece.begin(), shortPiece.end(), run.begin() + 32);
  EXPECT_EQ(NameOf(run), "ARATHE~1.TXT");
  // A forbidden character.
  EXPECT_EQ(NameOf(NameRun(u"a:b.txt", s)), "ARATHE~1.TXT");
  // No short entry at all.
  std::vector<std::uint8_t> onlyLong = NameRun(u"abc", s);
  onlyLong.resize(onlyLong.size() - 32);
  EXPECT_EQ(NameOf(onlyLong), "<null>");
}

TEST(FatDosTimes, LocalTimeAsFileTime) {
  setenv("TZ", "UTC", 1);
  tzset();
  // 2021-03-04 05:06:08: date (41 << 9) | (3 << 5) | 4, time (5 << 11) | (6 << 5) | 4.
  EXPECT_EQ(DosDateTimeToFileTime((41 << 9) | (3 << 5) | 4, (5 << 11) | (6 << 5) | 4), 132593079680000000LL);
  setenv("TZ", "CET-1", 1);
  tzset();
  EXPECT_EQ(DosDateTimeToFileTime((41 << 9) | (3 << 5) | 4, (5 << 11) | (6 << 5) | 4),
            132593079680000000LL - 36000000000LL);
  setenv("TZ", "UTC", 1);
  tzset();
}

TEST(FatEntries, ValidityAsTheFolderWalkNeedsIt) {
  struct Case {
    Entry entry;
    bool valid;
    bool validSkippingClusters;
  };
  Entry badDate = ShortEntry("NOTE    TXT");
  badDate[24] = 0xA0;  // month 13
  badDate[25] = 0x01;
  const Case cases[] = {
      {ShortEntry("NOTE    TXT"), true, true},
      {ShortEntry("EMPTY   TXT", 0x20, 5, 0), false, true},    // an empty file with a cluster
      {ShortEntry("\0OTE    TXT", 0x20, 0, 0), false, false},  // never used
      {ShortEntry("\xE5OTE    TXT"), true, true},
      {ShortEntry("BAD     TXT", 0x40), false, false},
      {badDate, false, false},
      {LongEntry(0x41, u"x", 0), true, true},
  };
  for (const Case& c : cases) {
    CTempFATDirEntry entry;
    entry.InitFromBuffer(ByteView(c.entry.data(), c.entry.size()), 0);
    EXPECT_EQ(entry.IsValidFATDirEntry(0), c.valid);
    EXPECT_EQ(entry.IsValidFATDirEntry(1), c.validSkippingClusters);
  }
}

}  // namespace
