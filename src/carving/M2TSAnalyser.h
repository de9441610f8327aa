#pragma once
// MPEG-2 transport streams of 188- or 192-byte packets, sized by walking the
// packets' sync bytes while the sweep passes.

#include "carving/RawFileAnalyser.h"

namespace BruteForce {

class CM2TSAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kMinSize = 0x4FFF;
  static constexpr long long kCap = 10000000000LL;

  class CM2TSFileInfo : public CRawFileInfo {
   public:
    CM2TSFileInfo() { m_eType = kRawTypeM2ts; }
    ~CM2TSFileInfo() override;
    bool WhetherImplementGuess() override { return true; }
    int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) override;

   private:
    int Finish(long long size);
    int m_iOffset = 0;
    int m_iGroup = 0;
    long long m_llWalked = 0;
    bool m_bOpen = true;
  };

  // A new registry (a new search) starts with no stream open.
  CM2TSAnalyser() : IRawFileAnalyser(-1) {
    s_open = false;
    s_packetSize = 188;
  }
  bool GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return false; }
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  CRawFileInfo* CreateRawFileInfo() override { return new CM2TSFileInfo(); }

  static bool s_open;
  static int s_packetSize;
};

}  // namespace BruteForce
