#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/filetype/FileTypeId.h"
#include "core/filetype/KeHashTable.h"

namespace {

using Table = CKeHashTable<FILE_TYPE_ID, 2048u>;

std::unique_ptr<Table> MakeTable() {
  auto t = std::make_unique<Table>();
  t->InitliazeCryptTable();
  return t;
}

// Published constants of the MPQ crypt table, which the same seed and
// recurrence produce.
TEST(KeHashTable, CryptTableMatchesThePublishedValues) {
  auto t = MakeTable();
  const struct {
    unsigned index;
    std::uint32_t value;
  } cases[] = {
      {0x000, 0x55C636E2}, {0x001, 0x02BE0170}, {0x002, 0x584B71D4}, {0x003, 0x2984F00E}, {0x004, 0xB682C809},
      {0x100, 0x76F8C1B1}, {0x200, 0x3DF6965D}, {0x300, 0x15F261D3}, {0x400, 0x193AA698}, {0x4FB, 0x6149809C},
      {0x4FC, 0xB0099EF4}, {0x4FD, 0xC5F653A5}, {0x4FE, 0x4C10790D}, {0x4FF, 0x7303286C},
  };
  for (const auto& c : cases) EXPECT_EQ(t->GetCryptValue(c.index), c.value) << "index " << c.index;
}

TEST(KeHashTable, EntriesAreSixteenBytes) { EXPECT_EQ(sizeof(Table::Entry), 16u); }

// Expected values from an independent model of the Part's formula
// (h = table[row*256+u] ^ (h+k); k = k*97 + u + h).
TEST(KeHashTable, HashCodesOfKnownKeys) {
  auto t = MakeTable();
  const struct {
    const char* key;
    std::uint32_t row0, row1, row2;
    unsigned start;
  } cases[] = {
      {"", 0x7FED7FED, 0x7FED7FED, 0x7FED7FED, 2029},    {"a", 0x224408EB, 0x8BB369CA, 0x1D93CC30, 235},
      {"gz", 0x8A413491, 0x6CBA382B, 0x4DF71790, 1169},  {"jpg", 0xF0A995B3, 0x1990C748, 0x19382409, 1459},
      {"JPG", 0xF0A995B3, 0x1990C748, 0x19382409, 1459}, {"png", 0x9D70F716, 0xB84C3076, 0x07DF720A, 1814},
      {"doc", 0xBA5CF364, 0x1C0E431D, 0xCEB27AD9, 868},  {"docx", 0xD3AD401C, 0x495DEFB7, 0xE433681F, 28},
      {"mp3", 0xD523F235, 0x127AB969, 0x2B778B89, 565},  {"mp4", 0x489DDDE2, 0x6194BF31, 0x02F0EBDA, 1506},
      {"zip", 0xA8518AB8, 0xF24A6452, 0x474D34E8, 696},  {"eml", 0x3D30D93C, 0x3EF98487, 0xF31DBD29, 316},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    EXPECT_EQ(t->GetHashCode(c.key, 0), c.row0);
    EXPECT_EQ(t->GetHashCode(c.key, 1), c.row1);
    EXPECT_EQ(t->GetHashCode(c.key, 2), c.row2);
    EXPECT_EQ(t->GetHashCode(c.key, 0) & 0x7FF, c.start);
  }
}

TEST(KeHashTable, HashIsCaseInsensitive) {
  auto t = MakeTable();
  for (unsigned row = 0; row < 5; ++row) {
    EXPECT_EQ(t->GetHashCode("Jpeg", row), t->GetHashCode("JPEG", row));
    EXPECT_EQ(t->GetHashCode("jpeg", row), t->GetHashCode("JPEG", row));
  }
  EXPECT_NE(t->GetHashCode("jpeg", 0), t->GetHashCode("jpg", 0));
}

TEST(KeHashTable, InsertThenFind) {
  auto t = MakeTable();
  EXPECT_EQ(t->InsertNode("jpg", kFileTypePicture), 1);
  EXPECT_EQ(t->InsertNode("mp3", kFileTypeMusic), 1);
  EXPECT_EQ(t->GetHashTablePos("jpg"), 1459);
  EXPECT_EQ(t->GetHashTablePos("JpG"), 1459);
  EXPECT_EQ(t->GetHashTablePos("mp3"), 565);
  EXPECT_EQ(t->GetHashTablePos("png"), -1);

  FILE_TYPE_ID id = kFileTypeNone;
  EXPECT_EQ(t->FindNode("JPG", id), 1);
  EXPECT_EQ(id, kFileTypePicture);
  EXPECT_EQ(t->FindNode("mp3", id), 1);
  EXPECT_EQ(id, kFileTypeMusic);
  id = kFileTypeArchive;
  EXPECT_EQ(t->FindNode("png", id), 0);
  EXPECT_EQ(id, kFileTypeArchive);  // untouched on a miss

  const auto& e = t->GetEntry(1459);
  EXPECT_EQ(e.used, 1);
  EXPECT_EQ(e.hashA, 0x1990C748u);
  EXPECT_EQ(e.hashB, 0x19382409u);
  EXPECT_EQ(e.value, kFileTypePicture);
}

TEST(KeHashTable, NullKeys) {
  auto t = MakeTable();
  FILE_TYPE_ID id = kFileTypeNone;
  EXPECT_EQ(t->InsertNode(static_cast<const char*>(nullptr), kFileTypePicture), 0);
  EXPECT_EQ(t->GetHashTablePos(static_cast<const char*>(nullptr)), -1);
  EXPECT_EQ(t->FindNode(static_cast<const char*>(nullptr), id), 0);
}

// "c7", "ek" and "atv" all start at slot 2046; "b37" and "cje" at 2047;
// "5d" at 0.
TEST(KeHashTable, LinearProbingWrapsFromTheLastSlot) {
  auto t = MakeTable();
  ASSERT_EQ(t->GetHashCode("c7", 0) & 0x7FF, 2046u);
  ASSERT_EQ(t->GetHashCode("ek", 0) & 0x7FF, 2046u);
  ASSERT_EQ(t->GetHashCode("atv", 0) & 0x7FF, 2046u);
  ASSERT_EQ(t->GetHashCode("b37", 0) & 0x7FF, 2047u);
  ASSERT_EQ(t->GetHashCode("5d", 0) & 0x7FF, 0u);

  EXPECT_EQ(t->InsertNode("c7", kFileTypeDocument), 1);  // 2046
  EXPECT_EQ(t->InsertNode("ek", kFileTypePicture), 1);   // 2047
  EXPECT_EQ(t->InsertNode("atv", kFileTypeMusic), 1);    // wraps to 0
  EXPECT_EQ(t->InsertNode("b37", kFileTypeMovie), 1);    // 2047 taken, 0 taken: 1
  EXPECT_EQ(t->InsertNode("5d", kFileTypeArchive), 1);   // 0, 1 taken: 2

  EXPECT_EQ(t->GetHashTablePos("c7"), 2046);
  EXPECT_EQ(t->GetHashTablePos("ek"), 2047);
  EXPECT_EQ(t->GetHashTablePos("atv"), 0);
  EXPECT_EQ(t->GetHashTablePos("b37"), 1);
  EXPECT_EQ(t->GetHashTablePos("5d"), 2);

  const struct {
    const char* key;
    FILE_TYPE_ID id;
  } lookups[] = {{"c7", kFileTypeDocument},
                 {"EK", kFileTypePicture},
                 {"ATV", kFileTypeMusic},
                 {"b37", kFileTypeMovie},
                 {"5D", kFileTypeArchive}};
  for (const auto& l : lookups) {
    FILE_TYPE_ID id = kFileTypeNone;
    EXPECT_EQ(t->FindNode(l.key, id), 1) << l.key;
    EXPECT_EQ(id, l.id) << l.key;
  }
  FILE_TYPE_ID id = kFileTypeNone;
  EXPECT_EQ(t->FindNode("cje", id), 0);  // same start as b37, never inserted
}

TEST(KeHashTable, AnEqualKeyIsInsertedAgainAndTheFirstWins) {
  auto t = MakeTable();
  EXPECT_EQ(t->InsertNode("jpg", kFileTypePicture), 1);
  EXPECT_EQ(t->InsertNode("JPG", kFileTypeDocument), 1);
  EXPECT_EQ(t->GetEntry(1459).value, kFileTypePicture);
  EXPECT_EQ(t->GetEntry(1460).used, 1);
  EXPECT_EQ(t->GetEntry(1460).value, kFileTypeDocument);
  FILE_TYPE_ID id = kFileTypeNone;
  EXPECT_EQ(t->FindNode("jpg", id), 1);
  EXPECT_EQ(id, kFileTypePicture);
}

TEST(KeHashTable, The2049thDistinctKeyIsRefused) {
  auto t = MakeTable();
  for (int i = 0; i < 2048; ++i) {
    std::string key = "k";
    key += std::to_string(i);
    ASSERT_EQ(t->InsertNode(key.c_str(), kFileTypeMusic), 1) << i;
  }
  EXPECT_EQ(t->InsertNode("k2048", kFileTypeMovie), 0);
  for (unsigned pos = 0; pos < 2048; ++pos) EXPECT_EQ(t->GetEntry(pos).used, 1);
  FILE_TYPE_ID id = kFileTypeNone;
  EXPECT_EQ(t->FindNode("k2047", id), 1);
  EXPECT_EQ(id, kFileTypeMusic);
  EXPECT_EQ(t->FindNode("k2048", id), 0);  // a full walk finds nothing
}

TEST(KeHashTable, ClearForgetsEverything) {
  auto t = MakeTable();
  ASSERT_EQ(t->InsertNode("jpg", kFileTypePicture), 1);
  t->Clear();
  EXPECT_EQ(t->GetCryptValue(0), 0u);
  EXPECT_EQ(t->GetEntry(1459).used, 0);
  t->InitliazeCryptTable();
  EXPECT_EQ(t->GetHashTablePos("jpg"), -1);
}

}  // namespace

namespace {

// The walk of the Part, written out: from the start slot, every slot in
// turn, the first used one with both check hashes.
int ReferencePos(const Table& t, const std::string& key) {
  const unsigned start = t.GetHashCode(key.c_str(), 0) & 0x7FF;
  const std::uint32_t a = t.GetHashCode(key.c_str(), 1), b = t.GetHashCode(key.c_str(), 2);
  for (unsigned step = 0; step < 2048; ++step) {
    const unsigned pos = (start + step) & 0x7FF;
    const auto& e = t.GetEntry(pos);
    if (e.used != 0 && e.hashA == a && e.hashB == b) return static_cast<int>(pos);
  }
  return -1;
}

// The shortcut for absent keys gives the same answers as the full walk,
// including for keys whose hash A shares its low 16 bits with a stored key.
TEST(KeHashTable, PositionsAgreeWithTheFullWalk) {
  auto t = MakeTable();
  for (int i = 0; i < 400; ++i) {
    std::string key = "s";
    key += std::to_string(i * 7);
    ASSERT_EQ(t->InsertNode(key.c_str(), kFileTypeDocument), 1);
  }
  int hits = 0, sharedLowBits = 0;
  std::vector<bool> lowSeen(65536, false);
  for (unsigned pos = 0; pos < 2048; ++pos)
    if (t->GetEntry(pos).used != 0) lowSeen[t->GetEntry(pos).hashA & 0xFFFF] = true;
  for (int i = 0; i < 30000; ++i) {
    std::string key = "s";
    key += std::to_string(i);
    const int expected = ReferencePos(*t, key);
    ASSERT_EQ(t->GetHashTablePos(key.c_str()), expected) << key;
    if (expected >= 0)
      ++hits;
    else if (lowSeen[t->GetHashCode(key.c_str(), 1) & 0xFFFF])
      ++sharedLowBits;
  }
  EXPECT_EQ(hits, 400);
  EXPECT_GT(sharedLowBits, 0);  // the slow path was taken too
}

}  // namespace
