// A searcher that never hands two nodes with one id lets the builder free, as
// they come, the live files no build could ever show. The batches shown and
// the trees built must be exactly those of a builder that keeps every node
// until the end: random scans (folders arriving after their files, deleted
// folders, folders that never turn up, trash and recycle-bin folders, names
// that begin with a dot) go through both.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "TreeRecorder.h"
#include "TreeTestNodes.h"
#include "core/tree/DirectoryTreeBuilder.h"

namespace {

std::string FolderName(std::mt19937& rng, int i) {
  switch (rng() % 40) {
    case 0:
    case 1:
      return ".Trash";
    case 2:
      return ".Trashes";
    case 3:
      return "$RECYCLE.BIN";
    case 4:
      return ".hidden" + std::to_string(i);
    case 5:
      return "Users";
    case 6:
      return "home";
    default:
      return "d" + std::to_string(i);
  }
}

std::string FileName(std::mt19937& rng, int i) {
  switch (rng() % 60) {
    case 0:
      return "$R" + std::to_string(i) + ".txt";
    case 1:
      return "$I" + std::to_string(i) + ".txt";
    case 2:
      return ".f" + std::to_string(i);
    default:
      return "f" + std::to_string(i);
  }
}

// Every id is given once; a parent may be any folder id, one that comes
// later or one that never comes.
std::vector<Arrival> RandomScan(unsigned seed, int count) {
  std::mt19937 rng(seed);
  auto chance = [&rng](int percent) { return static_cast<int>(rng() % 100) < percent; };
  std::vector<Arrival> out;
  std::vector<long long> folders = {5};  // 5 is the root id
  // "Users" and "home" folders at the top, and the folders in them: a trash
  // in one of those is the user's, found when its path is known.
  std::vector<long long> homeRoots;
  std::vector<long long> homes;
  auto contains = [](const std::vector<long long>& ids, long long id) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
  };
  long long next = 100;
  for (int i = 0; i < count; ++i) {
    NodeSpec s;
    s.dir = chance(10);
    s.id = next++;
    s.parent = chance(5) ? 50000 + static_cast<long long>(rng() % 40) : folders[rng() % folders.size()];
    s.name = s.dir ? FolderName(rng, i) : FileName(rng, i);
    if (s.name == "Users" || s.name == "home") {
      s.parent = 5;
      homeRoots.push_back(s.id);
    } else if (s.dir && !homeRoots.empty() && chance(20)) {
      s.parent = homeRoots[rng() % homeRoots.size()];
    } else if (s.name.rfind(".Trash", 0) == 0 && !homes.empty() && chance(70)) {
      s.parent = homes[rng() % homes.size()];
    }
    if (s.dir && contains(homeRoots, s.parent)) homes.push_back(s.id);
    s.deleted = chance(s.dir ? 8 : 15);
    s.size = chance(5) ? 0 : 1 + static_cast<long long>(rng() % 5000);
    s.mtime = static_cast<long long>(rng() % 1000);
    s.ctime = s.mtime;
    if (s.dir) folders.push_back(s.id);
    out.push_back({s, chance(3) ? 3 : 0});
  }
  // Arrival order is not tree order.
  for (std::size_t i = out.size(); i > 1; --i) {
    const std::size_t j = rng() % i;
    if (rng() % 4 == 0) std::swap(out[i - 1], out[j]);
  }
  return out;
}

struct ScanResult {
  std::string text;  // every batch, then the trees in child order
  int heldBeforeFinish = 0;
};

ScanResult RunScan(const std::vector<Arrival>& scan, int scanType, bool uniqueIds) {
  FakeClock clock;
  FakeFilter filter;
  filter.m_scanType = scanType;
  OrderedTree sink;
  ScanResult result;
  {
    CDirectoryTreeBuilder builder(false, clock);
    builder.Initialize("disk", &sink, &filter);
    builder.AddSearcherInfo(kSearcherNtfs, 5);
    if (uniqueIds) builder.SetUniqueIds(kSearcherNtfs);
    for (const Arrival& a : scan) {
      clock.m_now += a.secondsBefore;
      auto* node = new TreeNode(a.spec, kSearcherNtfs);
      if (builder.AddNode(node, kSearcherNtfs) == 0) node->Release();
    }
    result.heldBeforeFinish = TreeNode::s_live;
    builder.FlashBuild(kSearcherNtfs);
    for (const auto& batch : sink.m_batches) {
      result.text += "batch " + std::to_string(batch.last) + ":";
      for (IFileNode* n : batch.nodes) result.text += std::string(" ") + n->GetFileName();
      result.text += "\n";
    }
    for (IFilesystemNode* root : sink.m_roots) OrderedDump(root, 0, result.text);
  }
  EXPECT_EQ(TreeNode::s_live, 0);
  return result;
}

TEST(TreeBuilderUniqueIds, SameBatchesAndTreesAsKeepingEveryNode) {
  for (unsigned seed = 1; seed <= 12; ++seed) {
    const std::vector<Arrival> scan = RandomScan(seed, 1500 + static_cast<int>(seed) * 113);
    for (int scanType : {kScanQuick, kScanComplete}) {
      const ScanResult freed = RunScan(scan, scanType, true);
      const ScanResult kept = RunScan(scan, scanType, false);
      ASSERT_FALSE(kept.text.empty());
      ASSERT_EQ(freed.text, kept.text) << "seed " << seed << ", scan type " << scanType;
      if (scanType == kScanQuick) {
        // Live files under folders that stay live are gone before the end.
        EXPECT_LT(freed.heldBeforeFinish, kept.heldBeforeFinish) << "seed " << seed;
      } else {
        // Live files are shown: nothing may go.
        EXPECT_EQ(freed.heldBeforeFinish, kept.heldBeforeFinish) << "seed " << seed;
      }
    }
  }
}

// Ids handed before the searcher said they are unique, or by a second
// searcher of the same type, may repeat: nothing is freed early then.
TEST(TreeBuilderUniqueIds, OnlyForATreeNoNodeReachedYet) {
  const std::vector<Arrival> scan = RandomScan(99, 400);
  for (int variant = 0; variant < 2; ++variant) {
    FakeClock clock;
    FakeFilter filter;
    OrderedTree sink;
    {
      CDirectoryTreeBuilder builder(false, clock);
      builder.Initialize("disk", &sink, &filter);
      builder.AddSearcherInfo(kSearcherNtfs, 5);
      auto* first = new TreeNode({100000, 5, "early", true}, kSearcherNtfs);
      if (variant == 0) {
        ASSERT_EQ(builder.AddNode(first, kSearcherNtfs), 1);
        builder.SetUniqueIds(kSearcherNtfs);
      } else {
        builder.SetUniqueIds(kSearcherNtfs);
        ASSERT_EQ(builder.AddNode(first, kSearcherNtfs), 1);
        builder.AddSearcherInfo(kSearcherNtfs, 5);
      }
      int added = 1;
      for (const Arrival& a : scan) {
        auto* node = new TreeNode(a.spec, kSearcherNtfs);
        if (builder.AddNode(node, kSearcherNtfs) == 0) {
          node->Release();
        } else {
          ++added;
        }
      }
      // Every node taken is still held (none was freed as it came).
      EXPECT_EQ(TreeNode::s_live, added) << "variant " << variant;
      builder.FlashBuild(kSearcherNtfs);
    }
    EXPECT_EQ(TreeNode::s_live, 0);
  }
}

}  // namespace
