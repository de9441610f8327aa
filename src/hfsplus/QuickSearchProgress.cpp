#include "hfsplus/QuickSearchProgress.h"

CHFSPlusQuickFileSystemSearchProgress::CHFSPlusQuickFileSystemSearchProgress(IProgress* sink, bool silent)
    : m_pSink(sink), m_pInfo(std::make_unique<_PROGRESS_INFO>()), m_bSilent(silent) {
  m_pInfo->state = kProgressRunning;
}

CHFSPlusQuickFileSystemSearchProgress::~CHFSPlusQuickFileSystemSearchProgress() {
  if (!m_bSilent && m_pSink != nullptr) {
    m_pInfo->state = kProgressFinished;
    m_pSink->UpdateProgress(m_pInfo.get());
  }
}

void CHFSPlusQuickFileSystemSearchProgress::UpdateProgress() {
  if (m_bSilent) return;
  ++m_pInfo->done;
  if (m_pSink != nullptr) m_pSink->UpdateProgress(m_pInfo.get());
}

int CHFSPlusQuickFileSystemSearchProgress::Continued() { return m_pSink == nullptr ? 1 : m_pSink->Continued(); }

void CHFSPlusQuickFileSystemSearchProgress::SetTotal(std::uint64_t total) { m_pInfo->total = total; }
