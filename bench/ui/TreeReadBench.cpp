// Lock hold times of the ways a window can read a result tree of about
// 100,000 nodes (1,000 folders of 100 files), side by side in one run:
//   snapshot   - the whole tree copied in one hold of the tree lock;
//   level      - what a model reads on an update: the roots and the levels
//                it shows (here the root's 1,000 folders and one folder);
//   per-read   - the peer: the lock taken in every data() call, reading
//                every row once (as a view scrolled through everything).
// Usage: quarnel_tree_read_bench [folders] [files per folder] [rounds]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bridge/OpNodeData.h"
#include "bridge/QVUIScan.h"
#include "core/model/FileNode.h"
#include "core/util/Locks.h"
#include "ui/bridge_qt/TreeReader.h"

namespace {

class BenchNode : public CFileNode {
 public:
  BenchNode(long long id, std::string name, bool dir) : m_name(std::move(name)), m_dir(dir) { SetNodeID(id); }
  const char* GetFileName() override { return m_name.c_str(); }
  long long GetFileSize() override { return m_dir ? 0 : 4096; }
  unsigned int GetAttribute() override { return m_dir ? 0x10 : 0; }
  long long GetCreationTime() override { return 0; }
  long long GetModificationTime() override { return 0; }
  long long GetLastAccessTime() override { return 0; }
  int IsDirectory() override { return m_dir ? 1 : 0; }
  int IsDeleted() override { return 1; }
  IFileNode* Clone() override { return new BenchNode(GetCurrentNodeID(), m_name, m_dir); }
  void MarkDeleted() override {}
  void FilterFileNameByDot() override {}

 private:
  std::string m_name;
  bool m_dir;
};

using Clock = std::chrono::steady_clock;

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

}  // namespace

int main(int argc, char** argv) {
  const int folders = argc > 1 ? std::atoi(argv[1]) : 1000;
  const int files = argc > 2 ? std::atoi(argv[2]) : 100;
  const int rounds = argc > 3 ? std::atoi(argv[3]) : 5;
  std::vector<std::unique_ptr<BenchNode>> nodes;
  OpNodeArray roots;
  __TreeNodeData__ rootData;
  auto rootNode = std::make_unique<BenchNode>(1, "volume", true);
  rootData.isDirectory = 1;
  rootData.isFileSystem = 1;
  rootData.node = rootNode.get();
  OpNodePtr root = OpNodeData::initWithNodeData(rootData);
  roots.push_back(root);
  long long id = 2;
  for (int f = 0; f < folders; ++f) {
    auto folder = std::make_unique<BenchNode>(id++, "Folder " + std::to_string(f), true);
    OpNodePtr item = OpNodeData::initWithFileNode(folder.get());
    item->setParent(root.get());
    for (int i = 0; i < files; ++i) {
      auto file = std::make_unique<BenchNode>(id++, "IMG_" + std::to_string(f * files + i) + ".JPG", false);
      item->addChildObject(file.get());
      nodes.push_back(std::move(file));
    }
    root->addChildObject(item);
    nodes.push_back(std::move(folder));
  }
  const std::size_t total = 1 + static_cast<std::size_t>(folders) * (1 + static_cast<std::size_t>(files));

  double snapshot = 1e300, level = 1e300, perReadTotal = 1e300, perReadMax = 0;
  std::size_t copied = 0;
  for (int r = 0; r < rounds; ++r) {
    auto t0 = Clock::now();
    const bridge_qt::TreeSnapshot snap = bridge_qt::TreeSnapshot::Take(roots);
    snapshot = std::min(snapshot, ms(Clock::now() - t0));
    copied = snap.rows.size();

    t0 = Clock::now();
    const auto top = bridge_qt::ReadRoots(roots);
    const auto firstLevel = bridge_qt::ReadChildren(*top.front().item);
    const auto oneFolder = bridge_qt::ReadChildren(*std::get<OpNodePtr>((*root->children())[0]));
    level = std::min(level, ms(Clock::now() - t0));

    // Peer: one lock per row read.
    double longest = 0;
    t0 = Clock::now();
    std::size_t read = 0;
    for (const OpNodeChild& c : *root->children()) {
      const OpNodeData* folder = OpNodeItemOf(c);
      for (const OpNodeChild& fc : *folder->children()) {
        const auto h0 = Clock::now();
        autolocker<mutex_locker> hold(QVTreeLocker());
        read += bridge_qt::RowOfFileLocked(OpNodeRowOf(fc)).name.size() > 0 ? 1 : 0;
        longest = std::max(longest, ms(Clock::now() - h0));
      }
    }
    perReadTotal = std::min(perReadTotal, ms(Clock::now() - t0));
    perReadMax = std::max(perReadMax, longest);
    if (read == 0 || firstLevel.size() != static_cast<std::size_t>(folders) ||
        oneFolder.size() != static_cast<std::size_t>(files))
      return 1;
  }
  std::printf("tree of %zu nodes (%d folders x %d files), best of %d rounds\n", total, folders, files, rounds);
  std::printf("snapshot of the whole tree: one hold of %.2f ms (%zu rows)\n", snapshot, copied);
  std::printf("levels shown on an update (roots, %d folders, one folder): %.3f ms\n", folders, level);
  std::printf("per-read locking over every row: %.2f ms in all, longest single hold %.4f ms\n", perReadTotal,
              perReadMax);
  std::printf("ratio whole snapshot / shown levels: %.0f\n", level > 0 ? snapshot / level : 0.0);
  for (auto& n : nodes) n.release()->Release();
  rootNode.release()->Release();
  return 0;
}
