#pragma once
// 3D Studio meshes (the main chunk's length) and Nintendo 3DS images (the
// NCSD media size).

#include <memory>

#include "carving/StreamMember.h"

class File3DSAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kLimit = 1000000000;

  File3DSAnalyser() : IRawFileAnalyser(kRawType3ds) {}
  bool GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  static bool IsMeshHeader(const unsigned char* sector);
  static bool IsNcsd(const unsigned char* sector);
};

namespace RawSpeed {

class New3DSAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kCap = 200000000;

  class New3DSRawFileInfo : public CStreamRecord {
   public:
    explicit New3DSRawFileInfo(IRawFileAnalyser* reader) : CStreamRecord(1, reader) {}
    int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) override;
  };

  New3DSAnalyser() : IRawFileAnalyser(kRawType3ds), m_pReader(std::make_unique<File3DSAnalyser>()) {}
  bool GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return false; }
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  CRawFileInfo* CreateRawFileInfo() override { return new New3DSRawFileInfo(m_pReader.get()); }

 private:
  std::unique_ptr<File3DSAnalyser> m_pReader;
};

}  // namespace RawSpeed
