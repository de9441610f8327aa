#include "ntfs/DataRuns.h"

#include <algorithm>

#include "core/archive/IRSData.h"
#include "core/model/DataRun.h"

namespace ntfsruns {

bool RunPairs::Next() {
  if (m_ended || m_next >= m_pairs.Size()) return false;
  m_at = m_next;
  const std::uint8_t h = m_pairs.U8(m_at);
  if (h == 0) {
    m_ended = true;
    return false;
  }
  m_lengthBytes = h & 0x0F;
  m_offsetBytes = h >> 4;
  m_next = m_at + 1 + m_lengthBytes + m_offsetBytes;
  return true;
}

std::uint64_t RunPairs::Field(std::size_t from, unsigned n) const {
  std::uint64_t value = 0;
  for (unsigned i = n; i-- > 0;) value = (value << 8) | m_pairs.U8(from + i);
  return value;
}

bool IsValid(const ByteView& pairs) {
  RunPairs pair(pairs);
  while (pair.Next()) {
    if (pair.LengthBytes() > 4 || pair.OffsetBytes() > 4) return false;
  }
  return pair.Ended();
}

bool Decode(const ByteView& pairs, long long startVcn, std::vector<CDataRun>& out) {
  long long previous = 0;
  long long vcn = startVcn;
  RunPairs pair(pairs);
  while (pair.Next()) {
    const unsigned lengthBytes = pair.LengthBytes();
    const unsigned offsetBytes = pair.OffsetBytes();
    if (lengthBytes == 0 || lengthBytes > 8 || offsetBytes > 8 || !pair.Whole()) return false;
    const std::uint64_t length = pair.Length(lengthBytes);
    std::uint64_t raw = pair.RawOffset();
    if (offsetBytes > 0 && offsetBytes < 8 && (raw >> (8 * offsetBytes - 1)) & 1) raw |= ~0ull << (8 * offsetBytes);
    if (length > static_cast<std::uint64_t>(INT64_MAX)) return false;
    CDataRun run;
    run.length = static_cast<long long>(length);
    run.vcn = vcn;
    if (offsetBytes == 0) {
      run.lcn = -1;
    } else {
      long long lcn = 0;
      if (__builtin_add_overflow(previous, static_cast<long long>(raw), &lcn) || lcn < 0) return false;
      previous = lcn;
      run.lcn = lcn;
    }
    if (__builtin_add_overflow(vcn, run.length, &vcn)) return false;
    if (out.size() >= kMaxRuns) return false;
    if (run.length > 0) out.push_back(run);
  }
  return true;
}

std::uint32_t SumLengths(const ByteView& pairs) {
  std::uint32_t sum = 0;
  RunPairs pair(pairs);
  while (pair.Next()) sum += static_cast<std::uint32_t>(pair.Length(std::min(pair.LengthBytes(), 4u)));
  return sum;
}

}  // namespace ntfsruns

bool CNTFSDataRunList::InitFromBuffer(const ByteView& pairs) {
  m_runs.clear();
  return AddDataRunsfromBuffer(pairs, 0);
}

bool CNTFSDataRunList::AddDataRunsfromBuffer(const ByteView& pairs, long long startVcn) {
  if (!ntfsruns::IsValid(pairs)) return false;
  std::vector<CDataRun> runs;
  const bool ok = ntfsruns::Decode(pairs, startVcn, runs);
  if (m_runs.size() + runs.size() > ntfsruns::kMaxRuns) return false;
  m_runs.insert(m_runs.end(), runs.begin(), runs.end());
  return ok;
}

long long CNTFSDataRunList::GetVCN(long long lcn) const {
  for (const CDataRun& r : m_runs) {
    if (r.lcn < 0) continue;
    if (lcn >= r.lcn && lcn - r.lcn < r.length) return r.vcn + (lcn - r.lcn);
  }
  return -1;
}

long long CNTFSDataRunList::GetLCN(long long vcn) const {
  for (const CDataRun& r : m_runs) {
    if (vcn >= r.vcn && vcn - r.vcn < r.length) return r.lcn < 0 ? -1 : r.lcn + (vcn - r.vcn);
  }
  return -1;
}

long long CNTFSDataRunList::GetTotalClusters() const {
  long long total = 0;
  for (const CDataRun& r : m_runs) {
    if (__builtin_add_overflow(total, r.length, &total)) return INT64_MAX;
  }
  return total;
}

long long CNTFSDataRunList::GetLastCluster() const {
  long long last = -1;
  for (const CDataRun& r : m_runs) {
    long long end = 0;
    if (r.lcn < 0 || __builtin_add_overflow(r.lcn, r.length - 1, &end)) continue;
    last = std::max(last, end);
  }
  return last;
}

void CNTFSDataRunList::Sort() {
  std::stable_sort(m_runs.begin(), m_runs.end(), [](const CDataRun& a, const CDataRun& b) { return a.vcn < b.vcn; });
}

void CNTFSDataRunList::GetDataRunList(IDataRunList& list) const {
  for (const CDataRun& r : m_runs) {
    const DataRun run{r.lcn, r.length};
    list.AddDataRun(&run);
  }
}

void CNTFSDataRunList::Save(IRSData& out) const {
  const std::uint64_t count = m_runs.size();
  out.WriteCurFrame(&count, sizeof count);
  for (const CDataRun& r : m_runs) {
    const long long fields[3] = {r.lcn, r.length, r.vcn};
    out.WriteCurFrame(fields, sizeof fields);
  }
}

bool CNTFSDataRunList::Restore(IRSData& in) {
  m_runs.clear();
  std::uint64_t count = 0;
  in.ReadCurFrame(&count, sizeof count);
  if (count > ntfsruns::kMaxRuns) return false;
  for (std::uint64_t i = 0; i < count; ++i) {
    long long fields[3] = {};
    in.ReadCurFrame(fields, sizeof fields);
    m_runs.push_back({fields[0], fields[2], fields[1]});
  }
  return true;
}
