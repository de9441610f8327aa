#pragma once
// The process-wide registry of carving analysers. Set 1 is built once and
// never changes (the FAT engine tests deleted files' first clusters against
// it); set 0 is rebuilt by every carving search.

#include <list>
#include <map>
#include <memory>
#include <vector>

#include "carving/RawFileAnalyser.h"

class IRecoveryFilter;

class CRawFileAnalyserListSingle {
 public:
  using AnalyserList = std::list<IRawFileAnalyser*>;
  // Key: the first four bytes of a sector as a little-endian u32.
  using AnalyserMap = std::map<unsigned int, IRawFileAnalyser*>;
  // Key: the first two bytes as a little-endian u16; equal keys in
  // registration order.
  using AnalyserMultimap = std::multimap<unsigned short, IRawFileAnalyser*>;

  static CRawFileAnalyserListSingle* CreateInstance();

  // Empties set 0 (deleting its analysers) and builds it again. The filter
  // is not consulted.
  void ReinitAnalyzeList(IRecoveryFilter* filter);
  // Empties set 0.
  void ClearAnalyzeList();

  AnalyserList& GetAnalyserList(int set) { return Set(set).list; }
  AnalyserMap& GetAnalyserMap(int set) { return Set(set).map; }
  AnalyserMultimap& GetAnalyserMultimap(int set) { return Set(set).multimap; }

  // The registration table: one new analyser per entry.
  static void BuildRawFileAnalyserMap(AnalyserMap& map);
  static void BuildRawFileListMultimap(AnalyserMultimap& multimap);
  static void BuildRawFileAnalyserList(AnalyserList& list);
  // A keyless list for chosen types (all types when none are given).
  static void BuildRawFileAnalyserListByFileType(AnalyserList& list, const std::vector<RAW_FILE_TYPE>* types);
  static void CraetePartRawFileAnalyser(RAW_FILE_TYPE type, AnalyserList& list);

  CRawFileAnalyserListSingle(const CRawFileAnalyserListSingle&) = delete;
  CRawFileAnalyserListSingle& operator=(const CRawFileAnalyserListSingle&) = delete;
  ~CRawFileAnalyserListSingle();

 private:
  struct AnalyserSet {
    AnalyserList list;
    AnalyserMap map;
    AnalyserMultimap multimap;
    void Clear();
  };

  CRawFileAnalyserListSingle();
  AnalyserSet& Set(int set) { return set != 0 ? m_set1 : m_set0; }
  static void Build(AnalyserSet& set);

  AnalyserSet m_set0;
  AnalyserSet m_set1;
};
