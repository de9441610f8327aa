#pragma once
// RealMedia (RM and RMVB) carved while the sweep passes.

#include <memory>

#include "carving/StreamMember.h"

class FileRM_RMVBAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kRmvbLimit = 0x104000001LL;

  FileRM_RMVBAnalyser() : IRawFileAnalyser(kRawTypeRm) {}
  bool GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  // True when a stream header announces video within 160 bytes of the
  // first "MDPR" in `head`.
  static bool HasVideo(const unsigned char* head, long long length);
  static bool KnownChunk(const unsigned char* id);
};

namespace Kalder {

class RM_RMVBAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kCap = 0xC800000;

  class RM_RMVBRawFileInfo : public CStreamRecord {
   public:
    explicit RM_RMVBRawFileInfo(IRawFileAnalyser* reader) : CStreamRecord(0, reader) { initRM_RMVBFileInfoMemValue(); }
    int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) override;

   private:
    void initRM_RMVBFileInfoMemValue();
    int bContinue(unsigned char* sector, int sectorSize, long long pos, long long sectorEnd, bool startSector,
                  const SearchContext& context);
    int ChunkWalk(const StreamBytes& bytes, long long pos, long long sectorEnd);
    int EndSearch(unsigned char* sector, int sectorSize, long long pos, long long sectorEnd,
                  const SearchContext& context);

    long long m_llWalk = 0;
    bool m_bRm = true;
    long long m_llCap = kCap;
  };

  RM_RMVBAnalyser() : IRawFileAnalyser(kRawTypeRm), m_pReader(std::make_unique<FileRM_RMVBAnalyser>()) {}
  bool GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return false; }
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo&) override;
  CRawFileInfo* CreateRawFileInfo() override { return new RM_RMVBRawFileInfo(m_pReader.get()); }

 private:
  std::unique_ptr<FileRM_RMVBAnalyser> m_pReader;
};

}  // namespace Kalder
