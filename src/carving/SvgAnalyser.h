#pragma once
// SVG drawings and other XML documents (GPX, plist, Evernote exports, CSL
// styles) carved while the sweep passes.

#include <memory>

#include "carving/FileSVGAnalyser.h"
#include "carving/StreamMember.h"

namespace Kalder {

class SVGAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kCap = 0xA00000;

  class SVGRawFileInfo : public CStreamRecord {
   public:
    explicit SVGRawFileInfo(IRawFileAnalyser* reader) : CStreamRecord(91, reader) { initSVGFileInfoMemValue(); }
    int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) override;

   private:
    void initSVGFileInfoMemValue();
    int GpxAndPlistSize(unsigned char* sector, int sectorSize, long long pos, long long sectorNumber,
                        const SearchContext& context);
    int SvgOtherVerRawSize(const StreamBytes& bytes, long long pos, long long sectorNumber);
    // kWalkNeedsMore, or kWalkEnded: the end is found.
    int bContinue(unsigned char* sector, int sectorSize, long long pos, long long sectorNumber,
                  const SearchContext& context);

    bool m_bFirst = true;
    bool m_bOtherForm = false;
    long long m_llWalkedEnd = 0;
    long long m_llCap = kCap;
  };

  SVGAnalyser() : IRawFileAnalyser(kRawTypeSvg), m_pReader(std::make_unique<FileSVGAnalyser>()) {}
  bool GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return false; }
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  CRawFileInfo* CreateRawFileInfo() override { return new SVGRawFileInfo(m_pReader.get()); }

 private:
  static int JudeGpxAndPlist(const unsigned char* sector);
  std::unique_ptr<FileSVGAnalyser> m_pReader;
};

}  // namespace Kalder
