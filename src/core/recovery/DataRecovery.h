#pragma once
// The recovery writer: copies one found file at a time to a destination.

#include <vector>

#include "core/model/Contracts.h"

class IFileReader;
namespace platform {
class HeldFolders;
}

// Codes of the recovery writer (module 0x010D).
enum DataRecoveryCode : std::uint32_t {
  kRecNoReader = 0xD02,
  kRecNoPartition = 0xD01,
  kRecWriteFailed = 0xD03,
  kRecBadArgument = 5,
  kRecDestination = 0xF,
  kRecCompressedFailed = 1,
};

class IDataRecovery {
 public:
  virtual ~IDataRecovery() = default;
  virtual RESULT Initialize(IFileSystemSearchController* searcher, IStorageDevice* device) = 0;
  virtual IFileReader* SetRecoverNode(IFileNode* node) = 0;
  virtual RESULT RecoverTo(const char* path, IProgress* sink, int sizeLimit) = 0;
  virtual int ReadSmallJPG(char* buf, unsigned len) = 0;
  virtual void Release() = 0;
  // Replay of a saved scan: the partitions come from the file.
  virtual RESULT Initialize(const std::vector<CSearchedPartitionInfo*>& partitions, IStorageDevice* device) = 0;
  virtual std::vector<CSearchedPartitionInfo*>& GetSearchedPartition() = 0;
  // The folder that recovered trees go under. Folders are created and
  // stamped with their nodes' times only below it; unset, only the file
  // itself is stamped.
  virtual void SetRecoveryRoot(const char* root) {}
  // Folders of the destination that the caller has made and holds open:
  // files in them are opened and stamped relative to them. Null: none.
  virtual void SetHeldFolders(platform::HeldFolders* folders) {}
  // Sectors of the last RecoverTo that could not be read and stand as zeros
  // in the written file; above 0 the file is incomplete.
  virtual long long LastUnreadableSectors() const { return 0; }
};

[[nodiscard]] IDataRecovery* CreateDataRecoveryObj();
