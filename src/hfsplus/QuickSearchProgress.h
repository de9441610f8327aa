#pragma once
// Progress wrapper of an HFS+ walk: counts nodes into one progress record
// and passes cancel requests on. A silent wrapper reports nothing.

#include <memory>

#include "core/model/Progress.h"

class CHFSPlusQuickFileSystemSearchProgress {
 public:
  CHFSPlusQuickFileSystemSearchProgress(IProgress* sink, bool silent);
  // Not silent: a last report with state 3.
  ~CHFSPlusQuickFileSystemSearchProgress();
  CHFSPlusQuickFileSystemSearchProgress(const CHFSPlusQuickFileSystemSearchProgress&) = delete;
  CHFSPlusQuickFileSystemSearchProgress& operator=(const CHFSPlusQuickFileSystemSearchProgress&) = delete;

  void UpdateProgress();
  // The sink's answer; 1 without a sink.
  int Continued();
  void SetTotal(std::uint64_t total);
  const _PROGRESS_INFO& Info() const { return *m_pInfo; }

 private:
  IProgress* m_pSink;
  std::unique_ptr<_PROGRESS_INFO> m_pInfo;
  bool m_bSilent;
};
