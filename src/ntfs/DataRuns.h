#pragma once
// NTFS mapping pairs: the run-buffer test, the decoder and the run list with
// its cluster lookups.

#include <cstdint>
#include <vector>

#include "core/util/ByteView.h"

class IDataRunList;
class IRSData;

// One extent of an attribute: LCN (-1 sparse), VCN and length in clusters.
struct CDataRun {
  long long lcn = -1;
  long long vcn = 0;
  long long length = 0;
  bool operator==(const CDataRun&) const = default;
};

namespace ntfsruns {
// Most runs one attribute may give (a 4 KiB record holds far fewer).
inline constexpr std::size_t kMaxRuns = 1u << 16;

// Walks the pairs of a buffer: a header byte (low nibble: bytes of the
// length, high nibble: bytes of the offset) and its two fields, up to the
// header 0. Each reader decides which widths it accepts.
class RunPairs {
 public:
  explicit RunPairs(ByteView pairs) : m_pairs(pairs) {}
  // On to the next pair; false at the header 0 (Ended()) or past the buffer.
  bool Next();
  bool Ended() const { return m_ended; }
  unsigned LengthBytes() const { return m_lengthBytes; }
  unsigned OffsetBytes() const { return m_offsetBytes; }
  // Both fields lie inside the buffer.
  bool Whole() const { return m_pairs.Has(m_at + 1, m_lengthBytes + m_offsetBytes); }
  // The length field, read as its first `n` bytes (little-endian).
  std::uint64_t Length(unsigned n) const { return Field(m_at + 1, n); }
  // The offset field as it is stored (unsigned, not yet sign-extended).
  std::uint64_t RawOffset() const { return Field(m_at + 1 + m_lengthBytes, m_offsetBytes); }

 private:
  std::uint64_t Field(std::size_t from, unsigned n) const;

  ByteView m_pairs;
  std::size_t m_at = 0;
  std::size_t m_next = 0;
  unsigned m_lengthBytes = 0;
  unsigned m_offsetBytes = 0;
  bool m_ended = false;
};
// Pair headers whose nibbles are both at most 4, ending with a 0 header
// inside the buffer.
bool IsValid(const ByteView& pairs);
// Decodes pairs with VCNs from `startVcn`. Stops at a 0 header or the end of
// the buffer; false (with the runs decoded so far) when a pair is cut, wider
// than 8 bytes, or an LCN or VCN overflows or turns negative.
bool Decode(const ByteView& pairs, long long startVcn, std::vector<CDataRun>& out);
// Sum of the length fields (each read as up to 4 bytes, 32-bit sum).
std::uint32_t SumLengths(const ByteView& pairs);
}  // namespace ntfsruns

class CNTFSDataRunList {
 public:
  static bool IsValid(const ByteView& pairs) { return ntfsruns::IsValid(pairs); }
  // Clears, tests and decodes.
  bool InitFromBuffer(const ByteView& pairs);
  // Tests, decodes with VCNs from `startVcn` and appends.
  bool AddDataRunsfromBuffer(const ByteView& pairs, long long startVcn);
  void Add(const CDataRun& run) { m_runs.push_back(run); }

  // VCN of an LCN, LCN of a VCN; -1 when no run holds it.
  long long GetVCN(long long lcn) const;
  long long GetLCN(long long vcn) const;
  bool IsLCNContained(long long lcn) const { return GetVCN(lcn) >= 0; }
  long long GetTotalClusters() const;
  // Highest cluster of the allocated runs, -1 when none.
  long long GetLastCluster() const;
  static long long GetTotalClusters(const ByteView& pairs) { return ntfsruns::SumLengths(pairs); }
  bool IsEqual(const CNTFSDataRunList& other) const { return m_runs == other.m_runs; }
  void Sort();
  // Appends every run {LCN, length} to `list`.
  void GetDataRunList(IDataRunList& list) const;
  bool IsEmpty() const { return m_runs.empty(); }
  void ClearDataRunList() { m_runs.clear(); }
  const std::vector<CDataRun>& Runs() const { return m_runs; }

  // A u64 count, then per run its LCN, length and VCN (8 bytes each).
  void Save(IRSData& out) const;
  bool Restore(IRSData& in);

 private:
  std::vector<CDataRun> m_runs;
};
