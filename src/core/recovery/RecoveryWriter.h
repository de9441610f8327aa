#pragma once
// CDataRecovery: copies chosen found files of one searcher to a destination.

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/recovery/DataRecovery.h"

class CFileNode;
namespace platform {
class FileWriter;
class HeldFolders;
}  // namespace platform
class CCompressFileReader;

class CDataRecovery : public IDataRecovery {
 public:
  static constexpr int kBlockSize = 4 * 1024 * 1024;

  CDataRecovery() = default;
  ~CDataRecovery() override;
  CDataRecovery(const CDataRecovery&) = delete;
  CDataRecovery& operator=(const CDataRecovery&) = delete;

  RESULT Initialize(IFileSystemSearchController* searcher, IStorageDevice* device) override;
  RESULT Initialize(const std::vector<CSearchedPartitionInfo*>& partitions, IStorageDevice* device) override;
  IFileReader* SetRecoverNode(IFileNode* node) override;
  RESULT RecoverTo(const char* path, IProgress* sink, int sizeLimit) override;
  int ReadSmallJPG(char* buf, unsigned len) override;
  void Release() override { delete this; }
  std::vector<CSearchedPartitionInfo*>& GetSearchedPartition() override { return m_partitions; }
  void SetRecoveryRoot(const char* root) override;
  void SetHeldFolders(platform::HeldFolders* folders) override;

  // Sectors that could not be read (and stand as zeros) in the last RecoverTo.
  long long LastUnreadableSectors() const override { return m_llLastUnreadable; }

 private:
  void ClearPartitions();
  void ReleaseReader();
  // Reads one block; unreadable parts are zeros. Adds to `unreadable` the
  // sectors (or pieces) that could not be read.
  void ReadBlock(long long pos, std::size_t len, long long& unreadable);
  // Allocates the block buffer when missing (left unfilled: every block is
  // read into it before it is written).
  std::uint8_t* BlockBuffer();
  int ReadFromReader(long long pos, char* buf, unsigned len, int* err);
  // Creates the destination's missing folders (below the root when one is set).
  void MakeParentFolders(const std::string& path) const;
  // Opens the destination, making its missing folders when it cannot be opened without them.
  bool OpenDestination(platform::FileWriter& out, const char* path) const;
  // Opens the destination in its held folder when there is one, else by its path.
  bool OpenFile(platform::FileWriter& out, const char* path, bool truncate) const;
  // Stamps the file (through `out` while it is open) and its folders below the root.
  void SetTimes(const std::string& path, platform::FileWriter& out) const;

  std::unique_ptr<std::uint8_t[]> m_blockBuffer;
  IFileReader* m_pReader = nullptr;
  std::vector<CSearchedPartitionInfo*> m_partitions;
  IStorageDevice* m_pDevice = nullptr;
  int m_iNtfsCompressed = 0;
  long long m_llCreationTime = 0;
  long long m_llModificationTime = 0;
  long long m_llAccessTime = 0;
  CFileNode* m_pNode = nullptr;
  std::mutex m_mutex;

  std::string m_strRoot;
  platform::HeldFolders* m_pFolders = nullptr;
  long long m_llLastUnreadable = 0;
};
