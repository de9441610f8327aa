#pragma once
// PDF and Illustrator files carved while the sweep passes: the end is the
// "%%EOF" before zero fill; the information dictionary names and labels
// the find.

#include <memory>

#include "carving/FilePDFAnalyser.h"
#include "carving/FileProperty.h"
#include "carving/PdfTitleAnalyzer.h"

namespace BruteForce {

class PdfAnalyzer : public IRawFileAnalyser {
 public:
  static constexpr long long kCap = 200000000;

  class PdfRawFileInfo : public CRawFileInfo {
   public:
    PdfRawFileInfo() { m_eType = FilePDFAnalyser::kTypePdf; }
    bool WhetherImplementGuess() override { return true; }
    void WillBeRemove(unsigned char* sector, long long sectorNumber) override;
    int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) override;
    // Name, label and time from the information dictionary.
    void PdfTagDealwith(const FileProperty& property);

    FileProperty m_property;
    bool m_bInfoPending = true;

   private:
    static long long EndAmidData(const unsigned char* sector, int sectorSize, long long d);
    bool m_bAiPending = true;
    long long m_llCap = kCap;
    PdfTitleAnalyzer m_title;
  };

  PdfAnalyzer() : IRawFileAnalyser(FilePDFAnalyser::kTypePdf), m_pReader(std::make_unique<FilePDFAnalyser>()) {}
  bool GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return false; }
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  CRawFileInfo* CreateRawFileInfo() override { return new PdfRawFileInfo(); }
  IRawFileAnalyser* Reader() const { return m_pReader.get(); }

 private:
  std::unique_ptr<FilePDFAnalyser> m_pReader;
};

}  // namespace BruteForce
