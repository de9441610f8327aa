#pragma once
// The run lists NTFS nodes carry, and the packed form file properties keep
// them in.

#include <cstdint>
#include <memory>
#include <vector>

#include "core/model/DataRun.h"
#include "ntfs/DataRuns.h"

class IRSData;

// Data inside a FILE record: one run {record sector, 1} and the byte offset
// of the value within the bytes read from that sector.
class CResidentNTFSDataRunList final : public CDataRunList {
 public:
  CResidentNTFSDataRunList() { m_iResident = 1; }
  void InitList(long long start, long long length, unsigned offset);
  IDataRunList* Clone() const override;
  long long GetOffset() const override { return m_uOffset; }
  int GetDataRunListType() const override { return 1; }

 private:
  unsigned m_uOffset = 0;
};

// Runs {LCN or -1 for sparse, length in clusters}, kept as given.
class CNoneResidentNTFSDataRunList final : public CDataRunList {
 public:
  bool InitFromBuffer(const ByteView& pairs);
  void AddDataRun(const DataRun* run) override;
  IDataRunList* Clone() const override;
  int GetDataRunListType() const override { return 2; }
};

// A run list packed as mapping pairs with a 0 terminator.
class CCompressedDataRunList {
 public:
  // Null for an empty list or a resident list without offset.
  [[nodiscard]] static std::unique_ptr<CCompressedDataRunList> Compress(IDataRunList& list);
  // A new list owned by the caller (freed by Release), or null.
  [[nodiscard]] IDataRunList* Decompress() const;
  std::size_t GetCompressedDataRunSize() const { return m_bytes.size(); }
  const std::vector<std::uint8_t>& Bytes() const { return m_bytes; }
  void Save(IRSData& out) const;
  bool Restore(IRSData& in);

  // Smallest signed width (1..8 bytes) that holds v.
  static int GetNeedBytes(long long v);

 private:
  unsigned m_uOffset = 0;
  std::vector<std::uint8_t> m_bytes;
};

// A non-resident list of {LCN, length} in list order; null for an empty list.
[[nodiscard]] IDataRunList* BuildNonResidentDataRunListfromNTFSDataRunList(const CNTFSDataRunList& runs,
                                                                           long long& clusterTotal);
