#pragma once
// The small records a complete NTFS sweep keeps for each piece of evidence:
// FILE records of the system files, runs of ordinary FILE records, folders
// with an index allocation and the INDX records they place.
//
// Records are addressed by device byte (sector × sector size + offset) so that
// 1024- and 4096-byte FILE records on 512- and 4096-byte sectors all work.

#include <memory>

#include "ntfs/DataRuns.h"
#include "ntfs/FileRecord.h"
#include "ntfs/MftGeometry.h"

// Cluster bytes of a non-resident attribute: allocated size over its clusters;
// 0 when it cannot be derived.
long long ClusterBytesOfAttribute(const ByteView& attribute);
// Runs of the record's unnamed non-resident $DATA appended to `runs`.
bool AddUnnamedDataRuns(const CNTFSFileRecord& record, CNTFSDataRunList& runs);

// A found system file: where its FILE record lies, the runs of its $DATA,
// the record's $LogFile sequence number and the cluster size its $DATA implies.
class CMetaFileInfo {
 public:
  virtual ~CMetaFileInfo() = default;
  // Fails on an invalid record, an empty run list, or (when `needClusterSize`)
  // a cluster size that cannot be derived.
  bool InitFromBuffer(const CNTFSFileRecord& record, long long byteAddress, int sectorSize, bool needClusterSize);
  long long GetByteAddress() const { return m_llByte; }
  long long GetSectorAddress() const { return m_llByte / m_iSectorSize; }
  // The LCN that holds VCN 0, -1 when none does.
  long long GetFirstClusterNO() const { return m_runs.GetLCN(0); }
  const CNTFSDataRunList& GetDataRunList() const { return m_runs; }
  // Device sectors per cluster, 0 when unknown.
  int GetSectorsPerCluster() const { return m_iSectorsPerCluster; }
  int GetRecordBytes() const { return m_iRecordBytes; }
  std::uint64_t GetLogFileSequenceNumber() const { return m_u64Lsn; }

 protected:
  long long m_llByte = -1;
  int m_iSectorSize = 512;
  int m_iSectorsPerCluster = 0;
  int m_iRecordBytes = 1024;
  std::uint64_t m_u64Lsn = 0;
  CNTFSDataRunList m_runs;
};

class CAttrDefFileInfo final : public CMetaFileInfo {};
class CUpCaseFileInfo final : public CMetaFileInfo {};
class CLogFileInfo final : public CMetaFileInfo {};
class CMFTMirrInfo final : public CMetaFileInfo {
 public:
  [[nodiscard]] static std::unique_ptr<CMFTMirrInfo> Build(const CNTFSFileRecord& record, long long byteAddress,
                                                           int sectorSize);
};

// A found $MFT: its FILE record's place and the runs of its data.
class CMFTInfo final : public CMetaFileInfo {
 public:
  // Null unless the cluster size is known and the runs map VCN 0.
  [[nodiscard]] static std::unique_ptr<CMFTInfo> Build(const CNTFSFileRecord& record, long long byteAddress,
                                                       int sectorSize);
  // A $MFT known only from a copy of its record, placed at its data's start.
  [[nodiscard]] static std::unique_ptr<CMFTInfo> FromCopy(const CMFTInfo& copy, long long byteAddress);
  // Whether the FILE record lies at the first byte of its own data under
  // the given cluster base and size.
  bool LiesAtItsData(long long clusterBase, int sectorsPerCluster) const;
  MftGeometry Geometry(long long clusterBase, int sectorsPerCluster) const;
};

class CBitmapFileInfo {
 public:
  // The size must be positive and the runs must cover a cluster.
  bool InitFromBuffer(const CNTFSFileRecord& record);
  long long GetFileSize() const { return m_llSize; }

 private:
  long long m_llSize = -1;
};

// A run of ordinary FILE records lying one record apart.
class CCommonFileRecordPositionInfo {
 public:
  CCommonFileRecordPositionInfo(long long firstByte, int recordBytes)
      : m_llFirst(firstByte), m_iRecordBytes(recordBytes), m_llCount(1) {}
  // Accepted when `byte` is the place right after the last record.
  bool Merge(long long byte, int recordBytes);
  long long GetFirstByte() const { return m_llFirst; }
  long long GetFileRecordCount() const { return m_llCount; }
  int GetRecordBytes() const { return m_iRecordBytes; }
  long long ByteOf(long long index) const { return m_llFirst + index * m_iRecordBytes; }

 private:
  long long m_llFirst;
  int m_iRecordBytes;
  long long m_llCount;
};

// A folder FILE record that owns an $INDEX_ALLOCATION.
class CFolderIndexAllocationInfo {
 public:
  // Refused for an invalid or extension record, without a usable index
  // allocation, or when the folder's number is unknown or the root's.
  bool InitFromBuffer(const CNTFSFileRecord& record, long long byteAddress, int sectorSize);
  // LCN of a VCN of the index allocation, -1 when no run maps it.
  long long GetLCN(long long vcn) const { return m_runs.GetLCN(vcn); }
  int GetSectorsPerCluster() const { return m_iSectorsPerCluster; }
  long long GetMFTFileRecordNumber() const { return m_llNumber; }
  long long GetByteAddress() const { return m_llByte; }

 private:
  long long m_llByte = -1;
  CNTFSDataRunList m_runs;
  std::uint64_t m_u64Lsn = 0;
  long long m_llNumber = -1;
  int m_iSectorsPerCluster = 0;
};

// One INDX record and the folder that owns it.
struct CIndexRecordInfo {
  long long sector = -1;
  long long vcn = 0;
  std::uint64_t lsn = 0;
  long long owner = -1;
};
