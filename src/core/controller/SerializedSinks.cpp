#include "core/controller/SerializedSinks.h"

int CSerializedTreeBuilder::Initialize(const char* deviceName, IDrirectoryTree* tree, IRecoveryFilter* filter) {
  std::lock_guard guard(m_lock);
  return m_pBuilder->Initialize(deviceName, tree, filter);
}

int CSerializedTreeBuilder::AddNode(IFileNode* node, _tagSearcherType type) {
  std::lock_guard guard(m_lock);
  return m_pBuilder->AddNode(node, type);
}

int CSerializedTreeBuilder::AddSearcherInfo(_tagSearcherType type, long long rootId) {
  std::lock_guard guard(m_lock);
  return m_pBuilder->AddSearcherInfo(type, rootId);
}

void CSerializedTreeBuilder::FlashBuild(_tagSearcherType type) {
  std::lock_guard guard(m_lock);
  m_pBuilder->FlashBuild(type);
}

void CSerializedTreeBuilder::SetPartitonDevice(CSearchedPartitionInfo* partition, IStorageDevice* device) {
  std::lock_guard guard(m_lock);
  m_pBuilder->SetPartitonDevice(partition, device);
}

void CSerializedProgress::UpdateProgress(_PROGRESS_INFO* info) {
  std::lock_guard guard(m_lock);
  m_pProgress->UpdateProgress(info);
}

int CSerializedProgress::Continued() {
  if (m_bFreeContinued) return m_pProgress->Continued();
  std::lock_guard guard(m_lock);
  return m_pProgress->Continued();
}

int CSerializedProgress::shouldBuild() {
  std::lock_guard guard(m_lock);
  return m_pProgress->shouldBuild();
}
