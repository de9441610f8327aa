#pragma once
// The tree builder and the progress sink as the searchers of a complete scan
// see them while they sweep on threads of their own: every call goes to the
// real object under one lock, so the searchers reach it one at a time, as
// they would from a single thread. The one exception is Continued() of a
// sink that says it may be asked from any thread: the searchers ask it before
// every sector, and it answers without the lock.

#include <mutex>

#include "core/model/Contracts.h"

class CSerializedTreeBuilder final : public IDirecotryTreeBuilder {
 public:
  explicit CSerializedTreeBuilder(IDirecotryTreeBuilder* builder) : m_pBuilder(builder) {}

  int Initialize(const char* deviceName, IDrirectoryTree* tree, IRecoveryFilter* filter) override;
  int AddNode(IFileNode* node, _tagSearcherType type) override;
  int AddSearcherInfo(_tagSearcherType type, long long rootId) override;
  void FlashBuild(_tagSearcherType type) override;
  // The real builder belongs to the controller: nothing to release here.
  void Release() override {}
  void SetPartitonDevice(CSearchedPartitionInfo* partition, IStorageDevice* device) override;

 private:
  IDirecotryTreeBuilder* m_pBuilder;
  std::recursive_mutex m_lock;
};

class CSerializedProgress final : public IProgress {
 public:
  explicit CSerializedProgress(IProgress* progress)
      : m_pProgress(progress), m_bFreeContinued(progress != nullptr && progress->ContinuedIsThreadSafe()) {}

  void UpdateProgress(_PROGRESS_INFO* info) override;
  int Continued() override;
  int shouldBuild() override;
  bool ContinuedIsThreadSafe() const override { return true; }

 private:
  IProgress* m_pProgress;
  const bool m_bFreeContinued;
  std::recursive_mutex m_lock;
};
