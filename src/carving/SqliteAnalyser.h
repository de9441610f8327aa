#pragma once
// SQLite databases (and application formats built on them) carved while
// the sweep passes: a walk over the page starts.

#include "carving/StreamMember.h"

namespace BruteForce {

class CFCPEvtFileInfo : public CRawFileInfo {
 public:
  static constexpr long long kCap = 200000000;

  CFCPEvtFileInfo() { m_eType = kRawTypeFcpevent; }
  bool WhetherImplementGuess() override { return true; }
  int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) override;

 private:
  bool PageInformation(const StreamBytes& bytes, long long pos);
  void JudeMuseSuffix(const StreamBytes& bytes, long long pos);
  // 0: go on; 1: the database ends at this page.
  int GuessCalculate(const ByteView& v, std::size_t at);
  // True when two cells of the page hold address-book record names.
  bool AnalyseABCDDBFileType(const ByteView& v, std::size_t page, unsigned cells) const;
  int EndSearch(long long pageOffset, long long sectorNumber);

  int m_iPageSize = 0;
  bool m_bFirst = true;
  long long m_llNextPage = 0;  // file offset of the next page start to examine
  unsigned m_uDbPages = 0;
  // The database's size as its header states it, when the header's page
  // count is current (the change counter matches the version it is valid
  // for); 0: the page walk decides.
  long long m_llStated = 0;
  int m_iRunStarted = 0;
  int m_iRunLength = 0;
  int m_iLastNext = 0;
  unsigned m_uFreelistPages = 0;
  int m_iContentStart = 0;
  int m_iFirstCell = 0;
  int m_iCheckPending = 1;
};

class CFCPEvtAnalyser : public IRawFileAnalyser {
 public:
  CFCPEvtAnalyser() : IRawFileAnalyser(-1) {}
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  CRawFileInfo* CreateRawFileInfo() override { return new CFCPEvtFileInfo(); }
};

}  // namespace BruteForce
