#pragma once
// Interfaces between the controllers, the searchers, the tree builder and the
// sinks of the user-interface side.

#include <map>
#include <vector>

#include "core/model/FileNode.h"
#include "core/model/Progress.h"
#include "core/model/ResultCode.h"
#include "core/model/SearchedPartitionInfo.h"
#include "core/model/SearcherTypes.h"

class IStorageDevice;
class TBitmap;
class IDataRecovery;

// Codes of the recovery controllers (module 0x0104).
enum ControllerCode : std::uint32_t {
  kCtrlBadQuickArgument = 0x001,
  kCtrlNoTreeBuilder = 0x004,
  kCtrlNoProgressOrCache = 0x005,
  kCtrlNoQuickSearcher = 0x401,
  kCtrlNoCompleteSearcher = 0x402,
  kCtrlBadCompleteArgument = 0x403,
  kCtrlQuickOnWholeDisk = 0x404,
};

class IRecoveryFilter {
 public:
  virtual ~IRecoveryFilter() = default;
  virtual int ShowNormalFiles() const = 0;
  virtual void SetScanType(_SCAN_TYPE type) = 0;
  virtual int IsFileNodeValid(IFileNode* node) = 0;
  virtual void SetFilterTypes(unsigned mask) = 0;
  virtual unsigned GetNodeFileType(IFileNode* node) = 0;
  virtual void Release() = 0;
};

class IDrirectoryTree {
 public:
  virtual ~IDrirectoryTree() = default;
  virtual void ShowNodes(IFileNode** nodes, unsigned int count, int last) = 0;
  virtual void ShowFilesystemNode(IFilesystemNode* root) = 0;
};

class IDirecotryTreeBuilder {
 public:
  virtual ~IDirecotryTreeBuilder() = default;
  virtual int Initialize(const char* deviceName, IDrirectoryTree* tree, IRecoveryFilter* filter) = 0;
  virtual int AddNode(IFileNode* node, _tagSearcherType type) = 0;
  virtual int AddSearcherInfo(_tagSearcherType type, long long rootId) = 0;
  virtual void FlashBuild(_tagSearcherType type) = 0;
  virtual void Release() = 0;
  virtual void SetPartitonDevice(CSearchedPartitionInfo* partition, IStorageDevice* device) = 0;
};

class IFileSystemSearchController {
 public:
  virtual void SetDirecotryTreeBuilder(IDirecotryTreeBuilder* builder) = 0;
  virtual int GetSearchedPartitionInfo(CSearchedPartitionInfo** out, int capacity) = 0;

 protected:
  ~IFileSystemSearchController() = default;
};

using FileSectorMap = std::map<long long, unsigned>;

class ICompleteFileSystemSearchController : public IFileSystemSearchController {
 public:
  virtual ~ICompleteFileSystemSearchController() = default;
  virtual void SetDevice(IStorageDevice* device) = 0;
  virtual void SetBlockSize(int sectors) = 0;
  virtual int PreparetoSearch() = 0;
  virtual void EndSearch(int build) {}
  virtual int AnalyzeBlock(long long startSector, long long sectorCount) = 0;
  // May come before AnalyzeBlock of the same block, while the searchers
  // this one waits for are still at it: work on the block that needs
  // nothing searchers write during the sweep (reading it in, say).
  // AnalyzeBlock does whatever was not done here.
  virtual void PrepareBlock(long long startSector, long long sectorCount) {}
  virtual void SetIProgressSink(IProgress* progress) {}
  virtual void SetBitmap(TBitmap* bitmap) {}
  virtual void SetFileSectorMap(FileSectorMap* map) {}
  virtual TBitmap* GetBitmap() { return nullptr; }
  virtual void SetActivePartition(bool active) {}
  // Files this searcher has recognised so far in the blocks it was given
  // (before its trees are built); shown while the sweep runs.
  virtual std::uint64_t GetFoundFileCount() const { return 0; }
};

class IQuickFileSystemSearchController : public IFileSystemSearchController {
 public:
  virtual ~IQuickFileSystemSearchController() = default;
  virtual RESULT QuickSearchFiles(IStorageDevice* device, IProgress* progress) = 0;
};

class IFileProperties {
 public:
  virtual ~IFileProperties() = default;
  virtual int GetFileNameLength() = 0;
  virtual void SetFileName(const char* name) = 0;
  virtual const char* GetFileName() = 0;
  virtual long long GetFileSize() = 0;
  virtual unsigned int GetAttribute() = 0;
  virtual long long GetRawFileCreateTime() = 0;
  virtual long long GetCreationTime() = 0;
  virtual long long GetModificationTime() = 0;
  virtual long long GetLastAccessTime() = 0;
  virtual unsigned short GetState() = 0;
  virtual void SetState(unsigned short state) = 0;
  virtual IDataRunList* GetDataRunList() = 0;
  virtual IFileProperties* Clone() = 0;
};

// Replays a saved scan instead of reading the device.
class RestoreScanSink {
 public:
  virtual ~RestoreScanSink() = default;
  virtual RESULT SetDirecotryTreeBuilder(IDirecotryTreeBuilder* builder, IProgress* progress,
                                         IStorageDevice* device) = 0;
  virtual std::vector<CSearchedPartitionInfo*>& GetSearchedPartition(_tagSearcherType type) = 0;
};

class IRecoveryController {
 public:
  RestoreScanSink* m_pRestoreSink = nullptr;

  virtual ~IRecoveryController() = default;
  virtual int thisType() = 0;
  virtual int Initialize(IRecoveryFilter* filter) = 0;
  virtual RESULT StartDataRecovery(IStorageDevice* device, IProgress* progress, IDrirectoryTree* tree) = 0;
  virtual IDataRecovery* GetDataRecovery(_tagSearcherType type) const = 0;
  virtual void Release() = 0;
};
