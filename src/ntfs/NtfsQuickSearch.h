#pragma once
// Quick scan of one NTFS volume: reads the master file table through its own
// run list and hands every user record, deleted ones included, to the tree
// builder. Deleted records whose extents were wiped are repaired from $LogFile.

#include <memory>
#include <vector>

#include "core/model/Contracts.h"
#include "ntfs/FindFileFromLogFile.h"
#include "ntfs/MftGeometry.h"

class CNTFSDBR;

// Codes of the NTFS quick scan (module 0x0112).
enum NtfsQuickCode : std::uint32_t {
  kNtfsQuickBadArgument = 0x5,
  kNtfsQuickBadBootSector = 0x10,
  kNtfsQuickNoMft = 0x11,
};

class CNTFSQuickSearch final : public IQuickFileSystemSearchController {
 public:
  CNTFSQuickSearch();
  ~CNTFSQuickSearch() override = default;

  void SetDirecotryTreeBuilder(IDirecotryTreeBuilder* builder) override { m_pBuilder = builder; }
  // One record describing the volume (owned by the caller).
  int GetSearchedPartitionInfo(CSearchedPartitionInfo** out, int capacity) override;
  [[nodiscard]] RESULT QuickSearchFiles(IStorageDevice* device, IProgress* progress) override;

  const CFindFileFromLogFile& LogFile() const { return m_logFile; }

 private:
  // Run list of $MFT from its own record, else from the mirror's.
  bool GetMFTInfo(const CNTFSDBR& boot);
  bool ReadMFTInfoFromFileRecord(long long cluster);
  RESULT BuildFileNodeFromMFTFileRecord();
  void Report(int state, std::uint64_t total, std::uint64_t done);

  IDirecotryTreeBuilder* m_pBuilder = nullptr;
  IStorageDevice* m_pDevice = nullptr;
  IProgress* m_pProgress = nullptr;
  CSearchedPartitionInfo m_partition;
  MftGeometry m_geometry;
  CNTFSDataRunList m_mftRuns;
  CFindFileFromLogFile m_logFile;
};

[[nodiscard]] IQuickFileSystemSearchController* CreateNTFSQuickSearcher();
