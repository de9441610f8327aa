#include "carving/RawFileAnalyserList.h"

void CRawFileAnalyserListSingle::AnalyserSet::Clear() {
  for (IRawFileAnalyser* a : list) delete a;
  for (auto& [key, a] : map) delete a;
  for (auto& [key, a] : multimap) delete a;
  list.clear();
  map.clear();
  multimap.clear();
}

CRawFileAnalyserListSingle* CRawFileAnalyserListSingle::CreateInstance() {
  static CRawFileAnalyserListSingle instance;
  return &instance;
}

CRawFileAnalyserListSingle::CRawFileAnalyserListSingle() { Build(m_set1); }

CRawFileAnalyserListSingle::~CRawFileAnalyserListSingle() {
  m_set0.Clear();
  m_set1.Clear();
}

void CRawFileAnalyserListSingle::Build(AnalyserSet& set) {
  BuildRawFileAnalyserMap(set.map);
  BuildRawFileListMultimap(set.multimap);
  BuildRawFileAnalyserList(set.list);
}

void CRawFileAnalyserListSingle::ReinitAnalyzeList(IRecoveryFilter*) {
  m_set0.Clear();
  Build(m_set0);
}

void CRawFileAnalyserListSingle::ClearAnalyzeList() { m_set0.Clear(); }

void CRawFileAnalyserListSingle::BuildRawFileAnalyserListByFileType(AnalyserList& list,
                                                                    const std::vector<RAW_FILE_TYPE>* types) {
  if (types != nullptr) {
    for (RAW_FILE_TYPE t : *types) CraetePartRawFileAnalyser(t, list);
    return;
  }
  for (RAW_FILE_TYPE t = 1; t < kRawFileTypeCount; ++t) CraetePartRawFileAnalyser(t, list);
}
