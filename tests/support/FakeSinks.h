#pragma once
// Sinks of the user-interface side, recording what the engine tells them or
// taking it in silence, and the tree builder of a complete scan without its
// pauses.

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "core/model/Contracts.h"

namespace testsupport {

// A progress that lets every scan run to its end and keeps nothing.
class QuietProgress : public IProgress {
 public:
  void UpdateProgress(_PROGRESS_INFO*) override {}
  int Continued() override { return 1; }
  int shouldBuild() override { return 1; }
};

// A filter that lets every node pass.
class AcceptAllFilter : public IRecoveryFilter {
 public:
  int ShowNormalFiles() const override { return 1; }
  void SetScanType(_SCAN_TYPE) override {}
  int IsFileNodeValid(IFileNode*) override { return 1; }
  void SetFilterTypes(unsigned) override {}
  unsigned GetNodeFileType(IFileNode*) override { return kFilterOther; }
  void Release() override {}
};

// A tree view that shows nothing.
class NullTree : public IDrirectoryTree {
 public:
  void ShowNodes(IFileNode**, unsigned int, int) override {}
  void ShowFilesystemNode(IFilesystemNode*) override {}
};

// A tree builder whose every call but AddNode succeeds and does nothing: the
// base of the builders that look at the nodes a searcher hands over.
class NodeSink : public IDirecotryTreeBuilder {
 public:
  int Initialize(const char*, IDrirectoryTree*, IRecoveryFilter*) override { return 1; }
  int AddSearcherInfo(_tagSearcherType, long long) override { return 1; }
  void FlashBuild(_tagSearcherType) override {}
  void Release() override {}
  void SetPartitonDevice(CSearchedPartitionInfo*, IStorageDevice*) override {}
};

// Takes every node and frees it.
class ReleasingSink : public NodeSink {
 public:
  int AddNode(IFileNode* node, _tagSearcherType) override {
    if (node == nullptr) return 0;
    node->Release();
    return 1;
  }
};

struct BuilderRelease {
  void operator()(IDirecotryTreeBuilder* builder) const { builder->Release(); }
};
using TreeBuilderPtr = std::unique_ptr<IDirecotryTreeBuilder, BuilderRelease>;
// The application's tree builder for a complete scan of every file type,
// showing its trees on `tree`, that never pauses.
TreeBuilderPtr MakeCompleteScanBuilder(IDrirectoryTree& tree);

class FakeProgress : public IProgress {
 public:
  void UpdateProgress(_PROGRESS_INFO* info) override {
    std::lock_guard g(m_lock);
    m_reports.push_back(*info);
  }
  int Continued() override { return m_cancelled ? 0 : 1; }
  int shouldBuild() override { return m_build ? 1 : 0; }

  std::vector<_PROGRESS_INFO> Reports() {
    std::lock_guard g(m_lock);
    return m_reports;
  }
  std::atomic<bool> m_cancelled{false};
  std::atomic<bool> m_build{true};

 private:
  std::mutex m_lock;
  std::vector<_PROGRESS_INFO> m_reports;
};

class RecordingTree : public IDrirectoryTree {
 public:
  struct Batch {
    std::vector<IFileNode*> nodes;
    int last;
  };
  void ShowNodes(IFileNode** nodes, unsigned int count, int last) override {
    m_batches.push_back({std::vector<IFileNode*>(nodes, nodes + count), last});
  }
  void ShowFilesystemNode(IFilesystemNode* root) override { m_roots.push_back(root); }

  std::vector<IFilesystemNode*> m_roots;
  std::vector<Batch> m_batches;
};

}  // namespace testsupport
