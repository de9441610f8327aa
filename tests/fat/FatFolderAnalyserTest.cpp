// Which sectors the complete scan takes for pieces of folders.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "fat/FatFolderAnalyser.h"

namespace {

using Sector = std::array<std::uint8_t, 512>;

void Put(Sector& s, int index, const char* name11, std::uint8_t attribute, std::uint16_t cluster, std::uint32_t size) {
  std::uint8_t* e = s.data() + index * 32;
  std::memcpy(e, name11, 11);
  e[11] = attribute;
  e[26] = static_cast<std::uint8_t>(cluster);
  e[27] = static_cast<std::uint8_t>(cluster >> 8);
  std::memcpy(e + 28, &size, 4);
}

TEST(FatFolderSectors, KindsOfSectors) {
  Sector first{};
  Put(first, 0, ".          ", 0x10, 9, 0);
  Put(first, 1, "..         ", 0x10, 3, 0);
  std::memset(first.data() + 64, 0x7A, 32);  // garbage after "." and ".."
  Sector ordinary{};
  Put(ordinary, 0, "NOTE    TXT", 0x20, 20, 100);
  Put(ordinary, 1, "\xE5OTE2   TXT", 0x20, 20, 100);  // deleted: may share a cluster
  Sector garbageEnd = ordinary;
  std::memset(garbageEnd.data() + 64, 0x7A, 32);
  Sector sameCluster{};
  Put(sameCluster, 0, "A       TXT", 0x20, 20, 100);
  Put(sameCluster, 1, "B       TXT", 0x20, 20, 100);
  Sector empty{};
  struct Case {
    const char* what;
    const Sector* sector;
    int result;
    int kind;
  };
  const Case cases[] = {
      {"dot and dot-dot", &first, 1, CFATFolderAnalyser::kFolderFirstSector},
      {"entries ending blank", &ordinary, 1, CFATFolderAnalyser::kFolderSector},
      {"entries ending in garbage", &garbageEnd, 0, CFATFolderAnalyser::kNotFolder},
      {"two live entries, one cluster", &sameCluster, 0, CFATFolderAnalyser::kNotFolder},
      {"all zero", &empty, 0, CFATFolderAnalyser::kNotFolder},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CFATFolderAnalyser analyser(512);
    EXPECT_EQ(analyser.AnalyseSector(ByteView(c.sector->data(), c.sector->size())), c.result);
    EXPECT_EQ(analyser.ResultKind(), c.kind);
  }
  CFATFolderAnalyser analyser(512);
  analyser.AnalyseSector(ByteView(first.data(), first.size()));
  EXPECT_EQ(analyser.CurDirCluster(), 9u);
  EXPECT_EQ(analyser.ParentDirCluster(), 3u);
}

}  // namespace
