#pragma once
// Reads FAT folders and hands every entry, live or deleted, to the tree
// builder as a node.

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "carving/RawFileAnalyserList.h"

#include "core/util/ByteView.h"
#include "fat/FatBuildDataRun.h"
#include "fat/FatBuildGeometry.h"
#include "fat/FatDirEntry.h"
#include "fat/FatFileNode.h"

// The end of the run of the last deleted FAT32 file whose first cluster was
// confirmed or lay above 0xFFFF; set to 0 whenever a FAT32 builder is made.
extern unsigned long long g_u64PreReadFileCluNum;

class CFATBuildChildren {
 public:
  using FolderQueue = std::deque<CFATFileNode*>;

  // Folder extents are read at most this many sectors at a time.
  static constexpr std::uint32_t kExtentSectors = 128;
  // A long-name run cut by an extent's end is carried when shorter than this.
  static constexpr std::size_t kMaxCarryBytes = 1024;

  CFATBuildChildren(const FatBuildGeometry& geometry, FatVisitedClusters& visited, FatFolderMap& folders);

  // 1 when the root folder was read (or build is 0: nothing, 0).
  int BuildRoot(FolderQueue& queue, int build);
  // 1 when the folder was walked; 0 when its first cluster was visited or
  // does not open like a folder of its kind.
  int BuildChildren(CFATFileNode* folder, std::uint32_t firstCluster, FolderQueue& queue, int isRoot);
  // The offset of a long-name run still open at the end (for the caller to
  // carry), else the offset reached; -1 when a third "." entry ends the folder.
  long long BuildChildrenFromBuffer(const ByteView& buffer, CFATFileNode* folder, FolderQueue& queue,
                                    int stopAtInvalid);

  bool ReviseSwitch() const { return m_revise; }

  // true: a file's guessed first cluster is tested against the file-sector
  // map; false: its first sector is read and tested against signatures.
  void SetQuickScan(bool useFileSectorMap) { m_bUseFileSectorMap = useFileSectorMap; }
  void SetFileSectorMap(FileSectorMap* map) { m_pFileSectorMap = map; }

  // FAT32: guesses the lost high half of a deleted entry's first cluster and
  // writes an accepted guess into `entry`; sets the properties' first
  // cluster. `base` is the parent's first cluster (0 for the root and
  // made-up parents); `running` is carried from entry to entry.
  void ReverseDelFileFirstNum(CTempFATDirEntry& entry, unsigned long long base, unsigned long long& running,
                              CFATFileProperties& properties, bool madeUp);
  // Candidates start, start + 0x10000, ... (count - 1 of them); the first
  // that passes, else `start` with found false.
  unsigned long long TryGetRealFirstNum(unsigned long long start, bool& found, int count, bool folder);
  // Claims `cluster` for the entry in the folder or file map (at most 10
  // rounds, moving on past clusters claimed under other names).
  bool bInDelFileOrDIRMap(unsigned long long& cluster, CTempFATDirEntry& entry, CFATFileProperties& properties,
                          bool& found, unsigned long long& previous, int folder);
  // The cluster starts with "." and ".." entries.
  bool bEffectiveDIRFDT(unsigned cluster);
  // false when the cluster starts a file of the current extension (file
  // sector map) or of a known signature (read and test).
  bool bReviseFAT32FileFirstClu(long long cluster, bool useFileSectorMap);
  bool bInAnalyzeMap(std::uint32_t key);
  bool bInAnalyzeMultimap(std::uint16_t key, unsigned char* data);
  bool bInAnalyzeList(unsigned char* data);
  // "MZ" at 0 and "PE" at the offset stored at 60, inside `length` bytes.
  static bool bWindowsPEFiles(const unsigned char* data, std::size_t length);
  // Copies the carving analysers of registry set 1 (once).
  void IniRawDllValue();

  const std::string& CurrentExtension() const { return m_strCurExt; }

 private:
  // Reads `count` sectors at `sector` into `out`; false on failure.
  bool ReadSectors(std::uint64_t sector, std::uint32_t count, std::uint8_t* out);
  bool CutToRuns(CFATFileProperties& props, IDataRunList& runs) const;
  void AddEntryNode(const ByteView& run, CFATFileNode* folder, std::uint32_t parentCluster, bool folderDeleted,
                    unsigned long long base, unsigned long long& running, bool madeUp, FolderQueue& queue);

  const FatBuildGeometry& m_geometry;
  FatVisitedClusters& m_visited;
  FatFolderMap& m_folders;
  CFATBuildDataRun m_runs;
  std::vector<std::uint8_t> m_buffer;
  bool m_revise = false;

  // Reads one sector into the scratch buffer; false for sector 0, the
  // device's last 10 sectors, or a failed read.
  bool ReadScratchSector(std::uint64_t sector);

  std::string m_strCurExt;
  std::vector<std::uint8_t> m_scratch;
  bool m_analysersCopied = false;
  CRawFileAnalyserListSingle::AnalyserList m_analyserList;
  CRawFileAnalyserListSingle::AnalyserMap m_analyserMap;
  CRawFileAnalyserListSingle::AnalyserMultimap m_analyserMultimap;
  std::map<unsigned long long, std::string> m_folderNames;
  std::map<unsigned long long, std::string> m_fileNames;
  FileSectorMap* m_pFileSectorMap = nullptr;
  bool m_bUseFileSectorMap = false;
};
