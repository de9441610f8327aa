#pragma once
// The tree builder and the progress sink as the searchers of a complete scan
// see them while they sweep on threads of their own: every call goes to the
// real object under one lock, so the searchers reach it one at a time, as
// they would from a single thread.

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
  explicit CSerializedProgress(IProgress* progress) : m_pProgress(progress) {}

  void UpdateProgress(_PROGRESS_INFO* info) override;
  int Continued() override;
  int shouldBuild() override;

 private:
  IProgress* m_pProgress;
  std::recursive_mutex m_lock;
};
