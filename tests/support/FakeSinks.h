#pragma once
// Sinks of the user-interface side, recording what the engine tells them.

#include <atomic>
#include <mutex>
#include <vector>

#include "core/model/Contracts.h"

namespace testsupport {

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
