#pragma once
// ASF (WMA, WMV) files, sized by walking their top-level objects while the
// sweep passes; the stream kinds in the header refine the type.

#include <array>

#include "carving/RawFileAnalyser.h"

namespace BruteForce {

using AsfGuid = std::array<unsigned char, 16>;

class CAsfRawFileInfo : public CRawFileInfo {
 public:
  static constexpr long long kCap = 0x1964000000LL;

  CAsfRawFileInfo() { m_eType = kRawTypeAsf; }
  bool WhetherImplementGuess() override { return true; }
  int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) override;
  // The size, and the type from the streams seen.
  void Close(long long size);

 private:
  unsigned long long m_u64Bytes = 0;
  unsigned long long m_u64TopPosition = 0;
  unsigned long long m_u64HeaderSize = 0;
  unsigned long long m_u64HeaderPosition = 0;
  int m_iAudioOrVideo = 0;
  int m_iVideo = 0;
  int m_iOther = 0;
  bool m_bStarted = false;
};

class CAsfAnalyser : public IRawFileAnalyser {
 public:
  CAsfAnalyser() : IRawFileAnalyser(-1) {}
  bool GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return false; }
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  CRawFileInfo* CreateRawFileInfo() override { return new CAsfRawFileInfo(); }

  // The 16 bytes of a GUID written "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX".
  static AsfGuid Guid(const char* text);
};

}  // namespace BruteForce
