// Every tree a scan fills for the windows (by folder path, by
// category, by creation and by modification date), with each node's id,
// parent id, flags, size and times, compared line by line with the dumps
// stored in tests/cli/trees/. The images are made from seeded content at a
// fixed clock, or are the shared third-party images. A change meant to be
// faster must leave every line as it is; a change that means to alter what
// is found rewrites the dumps with
//   QUARNEL_WRITE_TREE_DUMPS=1 ctest -R ResultTreeDump
// and the difference is reviewed with the change.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "bridge/MainThreadDispatcher.h"
#include "bridge/OpNodeData.h"
#include "bridge/QVResultTrees.h"
#include "bridge/QVUIController.h"
#include "bridge/QVUIScan.h"
#include "cli/CliArgs.h"
#include "cli/CliCommands.h"
#include "core/util/Locks.h"
#include "core/util/WindowWaits.h"
#include "cli/StoredDump.h"
#include "support/Absent.h"
#include "support/TempDir.h"

namespace {

struct ImageCase {
  const char* name;   // test name and dump file stem
  const char* made;   // kind of make-tree-images.sh, or null
  const char* found;  // file under the shared fixtures (".gz": unpacked first), or null
  // A deep scan of the volume: no quick searcher reads APFS, and an HFS+
  // quick scan shows only deleted files, of which these images have none.
  bool deep = false;
};

const ImageCase kCases[] = {
    {"Fat32", "fat", nullptr},
    {"Fat16", "fat16", nullptr},
    {"ExFat", "exfat", nullptr},
    {"Ntfs", "ntfs", nullptr},
    {"Fat16Windows", nullptr, "fat32-lib/complex.img.gz"},
    {"ExFatMac", nullptr, "fat32-lib/exfat-test.dmg.gz"},
    {"HfsPlusDeep", nullptr, "dfvfs/hfsplus.raw", true},
    {"HfsPlusSmallDeep", nullptr, "hfsplus-forensic/hfs_plus_volume.bin", true},
    {"ApfsDeep", nullptr, "dfvfs/apfs.raw", true},
    {"ApfsForensicDeep", nullptr, "apfs-forensic/apfs_content.bin", true},
};

void PrintTo(const ImageCase& c, std::ostream* os) { *os << c.name; }

testsupport::Lack MissingFor(const std::string& kind) {
  testsupport::Lack lack = testsupport::MissingTool({"faketime"});
  if (!lack.empty()) return lack;
  if (kind == "fat" || kind == "fat16") {
    return testsupport::MissingTool({"python3", "mkfs.vfat", "mmd", "mcopy", "mdel", "mdeltree"});
  }
  lack = testsupport::MissingFuse();
  if (!lack.empty()) return lack;
  if (kind == "exfat") return testsupport::MissingTool({"python3", "mkfs.exfat", "mount.exfat-fuse", "losetup"});
  return testsupport::MissingTool({"python3", "mkntfs", "ntfs-3g"});
}

std::string NodeLine(IFileNode* node) {
  char buf[256];
  std::snprintf(buf, sizeof buf, " #%lld ^%lld %s%s size=%lld attr=%u c=%lld m=%lld a=%lld", node->GetCurrentNodeID(),
                node->GetParentNodeID(), node->IsDirectory() != 0 ? "d" : "f", node->IsDeleted() != 0 ? "x" : "-",
                node->GetFileSize(), node->GetAttribute(), node->GetCreationTime(), node->GetModificationTime(),
                node->GetLastAccessTime());
  const char* name = node->GetFileName();
  return std::string(name != nullptr ? name : "") + buf;
}

// The found nodes as linked under the scan's roots, in their order.
void DumpNodes(IFileNode* node, int depth, std::set<IFileNode*>& seen, std::string& out) {
  if (!seen.insert(node).second) return;
  out += std::string(depth * 2, ' ') + NodeLine(node) + "\n";
  for (IFileNode* c = node->GetFirstChild(); c != nullptr; c = c->GetNextNode()) DumpNodes(c, depth + 1, seen, out);
}

// A tree of items as the windows hold it. Siblings are sorted: the bridge
// places items as batches arrive, in an order that depends on timing.
void DumpItem(const OpNodeData& item, int depth, std::vector<std::string>& out) {
  std::string line = std::string(depth * 2, ' ') + (item.isFileSystem() == 1 ? "<root>" : item.name());
  if (IFileNode* node = item.fileNode()) line += " #" + std::to_string(node->GetCurrentNodeID());
  out.push_back(line);
  if (!item.children()) return;
  std::vector<std::vector<std::string>> blocks;
  for (const OpNodeChild& c : *item.children()) {
    std::vector<std::string> block;
    if (const OpNodeData* child = OpNodeItemOf(c)) {
      DumpItem(*child, depth + 1, block);
    } else if (IFileNode* row = OpNodeRowOf(c)) {
      block.push_back(std::string((depth + 1) * 2, ' ') + "- " + NodeLine(row));
    }
    blocks.push_back(std::move(block));
  }
  std::sort(blocks.begin(), blocks.end());
  for (const auto& b : blocks) out.insert(out.end(), b.begin(), b.end());
}

std::string DumpArray(const char* title, const OpNodeArray& array) {
  std::vector<std::vector<std::string>> blocks;
  for (const OpNodePtr& item : array) {
    blocks.emplace_back();
    DumpItem(*item, 0, blocks.back());
  }
  std::sort(blocks.begin(), blocks.end());
  std::string out = std::string("== ") + title + "\n";
  for (const auto& b : blocks) {
    for (const std::string& line : b) out += line + "\n";
  }
  return out;
}

class ResultTreeDump : public ::testing::TestWithParam<ImageCase> {
 protected:
  void TearDown() override {
    QVUIController::QVResetTreeNodeData();
    QVTreeNodeArrays none;
    QVUIController::QVSetTreeNodeData(&none);
  }

  OpNodeArray m_path;
  OpNodeArray m_type;
  OpNodeArray m_created;
  OpNodeArray m_modified;
};

TEST_P(ResultTreeDump, ScanFillsTheStoredTrees) {
  const ImageCase& c = GetParam();
  testsupport::TempDir dir;
  std::string image;
  if (c.made != nullptr) {
    const testsupport::Lack missing = MissingFor(c.made);
    if (!missing.empty()) QUARNEL_SKIP_LACK(missing);
    // A fixed clock: the tools stamp folders and records with it.
    const std::string script = std::string(QUARNEL_CLI_TESTS_DIR) + "/make-tree-images.sh";
    ASSERT_EQ(testsupport::Run("faketime -f '2023-01-02 03:04:06' '" + script + "' '" + dir.Path().string() + "' " +
                               c.made + " >/dev/null 2>&1"),
              0);
    image = dir.File(std::string(c.made) + ".img");
  } else {
    const std::string fixtures = testsupport::FixturesDir();
    const std::string source = fixtures.empty() ? std::string() : fixtures + "/" + c.found;
    if (source.empty() || !std::filesystem::exists(source)) QUARNEL_SKIP_NO_FIXTURE() << c.found << " is absent";
    image = source;
    if (image.ends_with(".gz")) {
      image = dir.File("image");
      ASSERT_EQ(testsupport::Run("gzip -dc '" + source + "' >'" + image + "'"), 0);
    }
  }

  window_waits::SetEnabled(false);
  bridge::DefaultQueue().BindToCurrentThread();
  QVTreeNodeArrays arrays;
  arrays.path = &m_path;
  arrays.type = &m_type;
  arrays.createTime = &m_created;
  arrays.modifyTime = &m_modified;
  QVUIController::QVSetTreeNodeData(&arrays);

  cli::Options options;
  options.command = cli::Command::kScan;
  options.source = image;
  options.deep = c.deep;
  std::FILE* sink = std::fopen("/dev/null", "w");
  ASSERT_NE(sink, nullptr);
  const int status = cli::RunScan(options, sink);
  std::fclose(sink);
  ASSERT_EQ(status, 0) << image;
  QVUIController::RefreshData();
  QVUIController::SetViewType(0);
  QVUIController::GetScanTreeNodeData(&m_path, 0);

  std::string found = "== nodes\n";
  std::set<IFileNode*> seen;
  for (IFileNode* root : QVUIScan::instance()->GetFileSystemNode()) {
    if (root != nullptr) DumpNodes(root, 0, seen, found);
  }
  {
    autolocker<mutex_locker> hold(QVTreeLocker());
    found += DumpArray("path", m_path) + DumpArray("category", m_type) + DumpArray("created", m_created) +
             DumpArray("modified", m_modified);
  }

  clitest::ExpectStoredDump(found, std::string(c.name) + ".trees",
                            std::string("the trees found on ") + c.name + " differ from");
}

INSTANTIATE_TEST_SUITE_P(Images, ResultTreeDump, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
