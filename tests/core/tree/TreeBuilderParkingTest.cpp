// Builds made during a scan set aside the loose nodes they cannot link yet.
// The batches shown and the trees built must be exactly those of walking
// every pending node each time: random forests (folders arriving after
// their files, deleted folders, missing folders, ids found twice) go through
// a builder that parks and one that does not.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "TreeRecorder.h"
#include "TreeTestNodes.h"
#include "core/tree/DirectoryTreeBuilder.h"

namespace {

std::vector<Arrival> RandomScan(unsigned seed, int count) {
  std::mt19937 rng(seed);
  auto chance = [&rng](int percent) { return static_cast<int>(rng() % 100) < percent; };
  std::vector<Arrival> out;
  std::vector<long long> folders = {5};  // 5 is the root id
  long long next = 100;
  for (int i = 0; i < count; ++i) {
    NodeSpec s;
    s.dir = chance(12);
    // Mostly a known folder; sometimes one that never turns up, or an id
    // that is given to a second folder.
    if (chance(8)) {
      s.parent = 50000 + static_cast<long long>(rng() % 40);
    } else {
      s.parent = folders[rng() % folders.size()];
    }
    s.id = s.dir && chance(5) && folders.size() > 1 ? folders[1 + rng() % (folders.size() - 1)] : next++;
    if (s.id == s.parent) s.id = next++;
    s.name = (s.dir ? "d" : "f") + std::to_string(i);
    s.deleted = chance(s.dir ? 20 : 30);
    s.size = chance(5) ? 0 : 1 + static_cast<long long>(rng() % 5000);
    s.mtime = static_cast<long long>(rng() % 1000);
    s.ctime = s.mtime;
    s.partition = static_cast<unsigned short>(rng() % 2);
    if (s.dir) folders.push_back(s.id);
    out.push_back({s, chance(4) ? 3 : 0});
  }
  // Arrival order is not tree order.
  for (std::size_t i = out.size(); i > 1; --i) {
    const std::size_t j = rng() % i;
    if (rng() % 3 != 0) std::swap(out[i - 1], out[j]);
  }
  return out;
}

// Every batch as names in the order given, then the trees in child order.
std::string RunScan(const std::vector<Arrival>& scan, int scanType, bool parking) {
  FakeClock clock;
  FakeFilter filter;
  filter.m_scanType = scanType;
  OrderedTree sink;
  std::string text;
  {
    CDirectoryTreeBuilder builder(false, clock);
    builder.SetParking(parking);
    builder.Initialize("disk", &sink, &filter);
    builder.AddSearcherInfo(kSearcherNtfs, 5);
    for (const Arrival& a : scan) {
      clock.m_now += a.secondsBefore;
      auto* node = new TreeNode(a.spec, kSearcherNtfs);
      if (builder.AddNode(node, kSearcherNtfs) == 0) node->Release();
    }
    builder.FlashBuild(kSearcherNtfs);
    for (const auto& batch : sink.m_batches) {
      text += "batch " + std::to_string(batch.last) + ":";
      for (IFileNode* n : batch.nodes) text += std::string(" ") + n->GetFileName();
      text += "\n";
    }
    for (IFilesystemNode* root : sink.m_roots) OrderedDump(root, 0, text);
  }
  EXPECT_EQ(TreeNode::s_live, 0);
  return text;
}

TEST(TreeBuilderParking, SameBatchesAndTreesAsWalkingEveryNode) {
  for (unsigned seed = 1; seed <= 12; ++seed) {
    const std::vector<Arrival> scan = RandomScan(seed, 1100 + static_cast<int>(seed) * 97);
    for (int scanType : {kScanQuick, kScanComplete}) {
      const std::string parked = RunScan(scan, scanType, true);
      const std::string walked = RunScan(scan, scanType, false);
      ASSERT_FALSE(walked.empty());
      ASSERT_EQ(parked, walked) << "seed " << seed << ", scan type " << scanType;
    }
  }
}

}  // namespace
