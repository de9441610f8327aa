#pragma once
// A found NTFS partition: its geometry, the evidence that proves it and the
// system files located for it.

#include "core/model/SearchedPartitionInfo.h"

// Evidence flags.
enum NtfsEvidence : unsigned {
  kEvidenceBoot = 0x01,
  kEvidenceBootCopy = 0x02,
  kEvidenceMftConfirmed = 0x04,
  kEvidenceMft = 0x08,
  kEvidenceMftMirror = 0x10,
  kEvidenceIndex = 0x20,
  kEvidenceRestart1 = 0x40,
  kEvidenceRestart2 = 0x80,
};

class CSearchedNTFSPartitionInfo final : public CSearchedPartitionInfo {
 public:
  explicit CSearchedNTFSPartitionInfo(int sectorSize) : CSearchedPartitionInfo(sectorSize) { m_iFileSystem = 3; }
  int GetType() const override { return 0; }

  void AddPartitionBuildFromFlag(unsigned flags) { m_uFlags |= flags; }
  unsigned GetPartitionBuildFromFlags() const { return m_uFlags; }
  // 30 boot, 10 copy, 30 confirmed MFT, 10 MFT, 10 mirror, 10 + 10 restart
  // pages, and up to 10 each for $UpCase, $LogFile and $AttrDef contents.
  int ComputeScore() const;

  long long m_llSerialNumber = 0;
  unsigned m_uFlags = 0;
  int m_iHasMft = 0;
  long long m_llTotalClusters = -1;
  long long m_llLogFileMatch = -1;
  long long m_llAttrDefMatch = -1;
  long long m_llUpCaseMatch = -1;
  long long m_llMftSector = -1;
  long long m_llLogFileSector = -1;
  long long m_llAttrDefSector = -1;
  long long m_llUpCaseSector = -1;
  long long m_llBitmapSectors = -1;
  // Device byte of the $MFT record (the sector above, exactly), -1 unknown.
  long long m_llMftByte = -1;
  int m_iRecordBytes = 1024;
  int m_iScore = 0;
};
