#pragma once
// The carving engine's cancel gate: one progress sink for the process.

#include <atomic>

class IProgress;

class CNotifyCenter {
 public:
  static CNotifyCenter& Instance();
  void SetProgress(IProgress* progress) { m_pProgress.store(progress); }
  // Forgets the sink.
  void Reset() { m_pProgress.store(nullptr); }
  // 1 without a sink, else the sink's Continued().
  int isContinue();

 private:
  std::atomic<IProgress*> m_pProgress{nullptr};
};
