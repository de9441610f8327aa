#pragma once
// Builds the files of one found NTFS partition: re-reads the FILE records the
// sweep noted inside it, assigns each to the $MFT whose runs hold it, and
// hands one tree per $MFT to the tree builder, breadth first from the root
// folder, then what no folder reached. Records that lie in no $MFT of the
// partition follow as lost files.

#include <map>
#include <memory>
#include <set>
#include <vector>

#include "core/model/Contracts.h"
#include "ntfs/FileProperties.h"
#include "ntfs/FindFileFromLogFile.h"
#include "ntfs/NtfsFoundRecords.h"
#include "ntfs/SearchedNtfsPartitionInfo.h"

// One ordinary FILE record read back for tree building.
struct CCommonFileRecordInfo {
  long long number = -1;  // own MFT record number, -1 unknown
  long long parent = -1;  // parent folder's record number, -1 unknown
  bool directory = false;
  std::unique_ptr<CNTFSFileProperties> properties;
};

class CNTFSDirectoryTreeBuilder {
 public:
  // Largest block of FILE-record sectors read at once.
  static constexpr long long kBlockMaxTotalSectors = 128;

  CNTFSDirectoryTreeBuilder(IStorageDevice& device, IDirecotryTreeBuilder& builder,
                            const std::vector<std::unique_ptr<CMFTInfo>>& mfts,
                            const std::vector<CCommonFileRecordPositionInfo>& positions)
      : m_device(device), m_builder(builder), m_mfts(mfts), m_positions(positions) {}

  // Builds partition `index`; nodes get ids shifted by the index.
  void BuildDirectoryTree(const CSearchedNTFSPartitionInfo& partition, int index);

  // MFT record number of the record at `byte` through the $MFT's runs; -1
  // when the place is not a record boundary of that $MFT.
  static long long GetMFTNumber(long long byte, const CMFTInfo& mft, long long clusterBase, int sectorsPerCluster);

 private:
  struct BuildInfo {
    const CMFTInfo* mft;
    MftGeometry geometry;
    std::unique_ptr<CFindFileFromLogFile> logFile;
    std::vector<CCommonFileRecordInfo> records;
  };

  void MatchMfts(const CSearchedNTFSPartitionInfo& p);
  void ReadRecords(const CSearchedNTFSPartitionInfo& p);
  void AnalyzeRecord(const CSearchedNTFSPartitionInfo& p, long long byte, const ByteView& bytes);
  BuildInfo* InfoHolding(const CSearchedNTFSPartitionInfo& p, long long sector);
  bool BuildRecord(const CSearchedNTFSPartitionInfo& p, BuildInfo* info, long long byte, const ByteView& bytes,
                   CCommonFileRecordInfo& out);
  void BuildTree(std::vector<CCommonFileRecordInfo>& records);
  bool Offer(CCommonFileRecordInfo& record);

  IStorageDevice& m_device;
  IDirecotryTreeBuilder& m_builder;
  const std::vector<std::unique_ptr<CMFTInfo>>& m_mfts;
  const std::vector<CCommonFileRecordPositionInfo>& m_positions;
  std::vector<BuildInfo> m_infos;
  std::vector<CCommonFileRecordInfo> m_unmatched;
  // Records outside every $MFT already built for an earlier partition.
  std::set<long long> m_lostBuilt;
  int m_iPartition = -1;
  long long m_llNextUnknownId = 0;
};
