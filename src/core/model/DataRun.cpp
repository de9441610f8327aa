#include "core/model/DataRun.h"

const DataRun* CDataRunList::GetFirst() {
  m_cursor = m_runs.cbegin();
  return m_cursor == m_runs.cend() ? nullptr : &*m_cursor;
}

const DataRun* CDataRunList::GetNext() {
  if (m_cursor == m_runs.cend()) return nullptr;
  ++m_cursor;
  return m_cursor == m_runs.cend() ? nullptr : &*m_cursor;
}

bool CDataRunList::IsDone() const { return m_cursor == m_runs.cend(); }

void CDataRunList::AddDataRun(const DataRun* run) {
  if (run == nullptr) return;
  if (!m_runs.empty()) {
    DataRun& last = m_runs.back();
    long long end = 0;
    long long grown = 0;
    if (last.start >= 0 && run->start >= 0 && !__builtin_add_overflow(last.start, last.length, &end) &&
        end == run->start && !__builtin_add_overflow(last.length, run->length, &grown)) {
      last.length = grown;
      return;
    }
  }
  const bool cursorAtEnd = m_cursor == m_runs.cend();
  m_runs.push_back(*run);
  if (cursorAtEnd) m_cursor = m_runs.cend();
}

IDataRunList* CDataRunList::Clone() const {
  auto* copy = new CDataRunList();
  for (const DataRun& r : m_runs) copy->AddDataRun(&r);
  return copy;
}

IDataRunList* CreateDataRunList() { return new CDataRunList(); }
