#include "ntfs/NtfsRunLists.h"

#include "core/archive/IRSData.h"

void CResidentNTFSDataRunList::InitList(long long start, long long length, unsigned offset) {
  m_runs.clear();
  m_runs.push_back({start, length});
  m_cursor = m_runs.cend();
  m_uOffset = offset;
}

IDataRunList* CResidentNTFSDataRunList::Clone() const {
  auto* copy = new CResidentNTFSDataRunList();
  copy->m_runs = m_runs;
  copy->m_cursor = copy->m_runs.cend();
  copy->m_uOffset = m_uOffset;
  return copy;
}

bool CNoneResidentNTFSDataRunList::InitFromBuffer(const ByteView& pairs) {
  std::vector<CDataRun> runs;
  ntfsruns::Decode(pairs, 0, runs);
  for (const CDataRun& r : runs) {
    const DataRun run{r.lcn, r.length};
    AddDataRun(&run);
  }
  return true;
}

void CNoneResidentNTFSDataRunList::AddDataRun(const DataRun* run) {
  if (run == nullptr) return;
  const bool cursorAtEnd = m_cursor == m_runs.cend();
  m_runs.push_back(*run);
  if (cursorAtEnd) m_cursor = m_runs.cend();
}

IDataRunList* CNoneResidentNTFSDataRunList::Clone() const {
  auto* copy = new CNoneResidentNTFSDataRunList();
  copy->m_runs = m_runs;
  copy->m_cursor = copy->m_runs.cend();
  return copy;
}

int CCompressedDataRunList::GetNeedBytes(long long v) {
  for (int n = 1; n < 8; ++n) {
    const long long limit = 1LL << (8 * n - 1);
    if (v >= -limit && v < limit) return n;
  }
  return 8;
}

std::unique_ptr<CCompressedDataRunList> CCompressedDataRunList::Compress(IDataRunList& list) {
  auto packed = std::make_unique<CCompressedDataRunList>();
  if (list.GetDataRunListType() == 1) {
    if (list.GetOffset() <= 0 || list.GetOffset() > UINT32_MAX) return nullptr;
    packed->m_uOffset = static_cast<unsigned>(list.GetOffset());
  } else if (list.GetOffset() != 0) {
    return nullptr;
  }
  long long previous = 0;
  for (const DataRun* r = list.GetFirst(); r != nullptr; r = list.GetNext()) {
    if (r->length <= 0) continue;
    long long delta = 0;
    const bool sparse = r->start < 0;
    if (!sparse && __builtin_sub_overflow(r->start, previous, &delta)) return nullptr;
    const int offsetBytes = sparse ? 0 : GetNeedBytes(delta);
    const int lengthBytes = GetNeedBytes(r->length);
    packed->m_bytes.push_back(static_cast<std::uint8_t>((offsetBytes << 4) | (lengthBytes & 0x0F)));
    for (int i = 0; i < lengthBytes; ++i) packed->m_bytes.push_back(static_cast<std::uint8_t>(r->length >> (8 * i)));
    for (int i = 0; i < offsetBytes; ++i) {
      packed->m_bytes.push_back(static_cast<std::uint8_t>(static_cast<unsigned long long>(delta) >> (8 * i)));
    }
    if (!sparse) previous = r->start;
  }
  if (packed->m_bytes.empty()) return nullptr;
  packed->m_bytes.push_back(0);
  return packed;
}

IDataRunList* CCompressedDataRunList::Decompress() const {
  if (m_bytes.empty()) return nullptr;
  std::vector<CDataRun> runs;
  ntfsruns::Decode(ByteView(m_bytes.data(), m_bytes.size()), 0, runs);
  if (m_uOffset != 0) {
    if (runs.empty()) return nullptr;
    auto* list = new CResidentNTFSDataRunList();
    list->InitList(runs.front().lcn, runs.front().length, m_uOffset);
    return list;
  }
  auto* list = new CNoneResidentNTFSDataRunList();
  for (const CDataRun& r : runs) {
    const DataRun run{r.lcn, r.length};
    list->AddDataRun(&run);
  }
  return list;
}

void CCompressedDataRunList::Save(IRSData& out) const {
  const auto size = static_cast<std::uint32_t>(m_bytes.size());
  out.WriteCurFrame(&size, sizeof size);
  if (size != 0) out.WriteCurFrame(m_bytes.data(), size);
  const auto offset = static_cast<std::uint16_t>(m_uOffset);
  out.WriteCurFrame(&offset, sizeof offset);
}

bool CCompressedDataRunList::Restore(IRSData& in) {
  std::uint32_t size = 0;
  in.ReadCurFrame(&size, sizeof size);
  if (size > (1u << 20)) return false;
  m_bytes.assign(size, 0);
  if (size != 0) in.ReadCurFrame(m_bytes.data(), size);
  std::uint16_t offset = 0;
  in.ReadCurFrame(&offset, sizeof offset);
  m_uOffset = offset;
  return true;
}

IDataRunList* BuildNonResidentDataRunListfromNTFSDataRunList(const CNTFSDataRunList& runs, long long& clusterTotal) {
  clusterTotal = 0;
  if (runs.IsEmpty()) return nullptr;
  auto* list = new CNoneResidentNTFSDataRunList();
  for (const CDataRun& r : runs.Runs()) {
    const DataRun run{r.lcn, r.length};
    list->AddDataRun(&run);
    if (__builtin_add_overflow(clusterTotal, r.length, &clusterTotal)) clusterTotal = INT64_MAX;
  }
  return list;
}
