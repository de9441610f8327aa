#pragma once
// AAC in ADTS framing, sized by walking its frames while the sweep passes.

#include "carving/RawFileAnalyser.h"
#include "core/util/ByteView.h"

namespace BruteForce {

class CADTSRawFileInfo : public CRawFileInfo {
 public:
  CADTSRawFileInfo() { m_eType = kRawTypeM4a; }
  ~CADTSRawFileInfo() override;
  bool WhetherImplementGuess() override { return true; }
  int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) override;

 private:
  unsigned long long m_u64Frames = 0;
  unsigned long long m_u64Bytes = 0;
  long long m_llWalk = 0;  // file offset of the next frame header
};

class CADTSAnalyser : public IRawFileAnalyser, public ISpecialRawFileAnalyser {
 public:
  static constexpr int kProbeFrames = 5;

  // A new registry (a new search) clears the overflow flag.
  CADTSAnalyser() : IRawFileAnalyser(-1) { s_overflow = false; }
  bool GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return false; }
  CRawFileInfo* CreateRawFileInfo() override { return new CADTSRawFileInfo(); }
  ISpecialRawFileAnalyser* GetSpecialRawFile() override { return this; }
  int AnalyseBufferEx(unsigned char* sector, CRawFileInfo& probe, long long sectorSize, long long sectorNumber,
                      long long previousBlockStartSector, long long blockEndSector) override;

  // The frame length of a valid ADTS header at `at` of the view, 0 if none.
  static unsigned FrameLength(const ByteView& v, std::size_t at);

  static bool s_overflow;
};

}  // namespace BruteForce
