#pragma once
// MIDI carving while the sweep passes: a walk over the track chunks.

#include <memory>

#include "carving/FileMIDAnalyser.h"
#include "carving/StreamMember.h"

namespace RawSpeed {

class MIDAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kCap = 10000000;

  class MIDRawFileInfo : public CStreamRecord {
   public:
    explicit MIDRawFileInfo(IRawFileAnalyser* reader) : CStreamRecord(38, reader) {}
    int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) override;

   private:
    long long m_llWalk = 14;
  };

  MIDAnalyser() : IRawFileAnalyser(kRawTypeMid), m_pReader(std::make_unique<FileMIDAnalyser>()) {}
  bool GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return false; }
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override {
    return m_pReader->AnalyseBuffer(sector, probe);
  }
  CRawFileInfo* CreateRawFileInfo() override { return new MIDRawFileInfo(m_pReader.get()); }

 private:
  std::unique_ptr<FileMIDAnalyser> m_pReader;
};

}  // namespace RawSpeed
