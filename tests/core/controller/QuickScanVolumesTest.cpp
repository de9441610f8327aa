// A quick scan of a disk's volumes one after another on one controller: the
// trees of the earlier volumes stay valid until the controller is released.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "core/cache/PatternDevice.h"
#include "core/controller/RecordingSearchers.h"
#include "core/controller/RecoveryController.h"
#include "core/engines/EngineRegistry.h"
#include "support/FakeSinks.h"

using namespace controllertest;

namespace {

class Node : public CFileNode {
 public:
  Node(long long id, long long parent, std::string name, bool dir) : m_name(std::move(name)), m_dir(dir) {
    SetNodeID(id);
    SetParentNodeID(parent);
  }
  const char* GetFileName() override { return m_name.c_str(); }
  long long GetFileSize() override { return m_dir ? 0 : 10; }
  unsigned int GetAttribute() override { return m_dir ? 0x10 : 0; }
  long long GetCreationTime() override { return 0; }
  long long GetModificationTime() override { return 0; }
  long long GetLastAccessTime() override { return 0; }
  int IsDirectory() override { return m_dir ? 1 : 0; }
  int IsDeleted() override { return 1; }
  _tagSearcherType GetSearcheType() const override { return kSearcherFat; }
  IFileNode* Clone() override { return new Node(GetCurrentNodeID(), GetParentNodeID(), m_name, m_dir); }
  void MarkDeleted() override {}
  void FilterFileNameByDot() override {}

 private:
  std::string m_name;
  bool m_dir;
};

// Delivers one deleted folder holding one deleted file per volume.
class EmittingSearcher : public IQuickFileSystemSearchController {
 public:
  void SetDirecotryTreeBuilder(IDirecotryTreeBuilder* builder) override { m_builder = builder; }
  int GetSearchedPartitionInfo(CSearchedPartitionInfo**, int) override { return 0; }
  RESULT QuickSearchFiles(IStorageDevice* device, IProgress* progress) override {
    const std::string tag = std::to_string(device->GetTotalSectors());
    m_builder->AddSearcherInfo(kSearcherFat, 0);
    for (IFileNode* n : {static_cast<IFileNode*>(new Node(5, 0, "dir" + tag, true)),
                         static_cast<IFileNode*>(new Node(6, 5, "file" + tag, false))}) {
      if (m_builder->AddNode(n, kSearcherFat) == 0) n->Release();
    }
    m_builder->FlashBuild(kSearcherFat);
    _PROGRESS_INFO end{};
    end.state = kProgressFinished;
    progress->UpdateProgress(&end);
    return 0;
  }

 private:
  IDirecotryTreeBuilder* m_builder = nullptr;
};

IQuickFileSystemSearchController* MakeEmitting() { return new EmittingSearcher(); }

}  // namespace

TEST(QuickScanVolumes, EarlierTreesStayValidUntilRelease) {
  engine_registry::Clear();
  engine_registry::RegisterQuickSearcher(kFsFat32, &MakeEmitting);
  AcceptAllFilter filter;
  filter.SetScanType(kScanQuick);
  testsupport::FakeProgress progress;
  testsupport::RecordingTree tree;
  {
    std::unique_ptr<IRecoveryController, ControllerRelease> c(CreateRecoveryController(kControllerQuick));
    c->Initialize(&filter);
    testsupport::PatternDevice first(1000, 512, kDeviceVolume);
    testsupport::PatternDevice second(2000, 512, kDeviceVolume);
    first.SetVolumeRecord(kFsFat32);
    second.SetVolumeRecord(kFsFat32);
    ASSERT_EQ(c->StartDataRecovery(&first, &progress, &tree), 0u);
    ASSERT_EQ(c->StartDataRecovery(&second, &progress, &tree), 0u);

    std::vector<std::string> names;
    for (const auto& batch : tree.m_batches) {
      for (IFileNode* n : batch.nodes) names.push_back(n->GetFileName());
    }
    for (IFilesystemNode* root : tree.m_roots) names.push_back(root->GetFileName());
    auto has = [&names](const std::string& name) { return std::find(names.begin(), names.end(), name) != names.end(); };
    EXPECT_TRUE(has("file1000")) << "the first volume's nodes are still readable";
    EXPECT_TRUE(has("file2000"));
  }
  engine_registry::Clear();
}
