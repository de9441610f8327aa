#pragma once
// The scan: runs one scan of a disk, a volume or an image on the calling
// (worker) thread, and is at the same time the engine's progress sink and
// the sink of found nodes, which it files by folder, category and date.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "bridge/QVUIOperation.h"
#include "core/device/DeviceData.h"
#include "core/model/Contracts.h"
#include "platform/SourceIdentity.h"

class IDataRecovery;

using QVTimeMap = std::map<int, std::map<int, std::vector<IFileNode*>>>;
using QVTypeMap = std::map<unsigned, std::vector<IFileNode*>>;

// Result codes of the scan (module 0x0104).
inline constexpr RESULT kScanBusy = 0x104003300000001ull;
inline constexpr RESULT kScanNotStarted = 0x104014F00000001ull;

class QVUIScan : public QVUIOperation, public IDrirectoryTree {
 public:
  static QVUIScan* instance();
  ~QVUIScan() override;

  RESULT DoScan(IStorageDevice* device, RestoreScanSink* sink);
  _RECOVERY_CONTROLLER_TYPE GetScanControllerType(IStorageDevice* device);
  void SetDeepScan(int deep);
  int IsDeepScan();
  void ResetRecoveryController(_RECOVERY_CONTROLLER_TYPE kind);
  IRecoveryController* GetRecoveryController() const;
  RESULT DoVolumeStorageScan(IStorageDevice* device);
  void ClearData();
  void SaveScanSorage(IStorageDevice* device);
  IStorageDevice* GetSavedStorage() const;
  int IsStorageVolumeUnknow(IStorageDevice* device);
  CCollectedVolumeDeviceInfoStruct* GetStorageVolumeInfo(IStorageDevice* device);

  // Engine callbacks (worker thread).
  void UpdateProgress(_PROGRESS_INFO* info) override;
  int IsOpTreeFinished() override;
  void SetOpTreeFinished(int finished) override;
  void ShowNodes(IFileNode** nodes, unsigned int count, int last) override;
  void ShowFilesystemNode(IFilesystemNode* root) override;

  // Copies of the scan's data.
  QVTimeMap GetCreateTimeMap() const;
  QVTimeMap GetModifyTimeMap() const;
  QVTimeMap GetAccessTimeMap() const;
  QVTypeMap GetTypeMap() const;
  std::vector<IFileNode*> GetFileSystemNode() const;
  std::vector<IFileNode*> QVGetNewPathNode();
  std::vector<IFileNode*> QVGetAllPathNode() const;
  void* QVGetFileNode(IFileNode* node);
  void QVSetFileNode(IFileNode* node, void* item);
  void QVResetFileNode();
  int FindRemoveData(IFileNode* node);
  void RefreshAllData();
  void DoSearch(std::vector<IFileNode*>& out);
  void SetSearchKey(const char* key);
  std::string GetSearchKey() const;
  void SetSearching(int searching);
  int IsSearching() const;
  void SetScanType(int viewType);
  int GetScanType() const;
  IDataRecovery* GetFileNodeDataRecover(IFileNode* node);
  void ReleaseDataRecovery();
  void UnselectAllNodes();
  static std::string GetNodeExt(IFileNode* node);
  std::uint64_t GetScanFileCnt() const;
  // Files found so far: those shown in the trees or, while a complete scan
  // sweeps, the larger number its searchers have recognised.
  std::uint64_t GetFilesFoundSoFar() const;
  std::uint64_t GetScanFileSize() const;
  void ReCalTotalSize();
  int GetCurrentScanRecoveryCnt() const;
  void SetCurrentScanRecoveryCnt(int count);

  // What the scanned device occupies, kept with the result (the device list
  // may be rebuilt meanwhile).
  platform::SourceIdentity GetScannedIdentity() const;
  // Volumes of this scan and how many have started (whole-disk quick scans).
  void GetVolumeProgress(int& count, int& started) const;
  // Remembers and hands back the last shown percentage and estimate so that
  // both only move one way during a scan.
  double ClampPercent(double percent);
  long long ClampEstimate(long long seconds);
  // Posts the final update once per scan; false when already posted.
  bool SendFinalUpdate();
  // The result of the last DoScan.
  RESULT GetLastScanResult() const;
  // Sectors that could not be read (and stand as zeros) since the last scan
  // began, each counted once however often it was read.
  long long GetUnreadableSectors() const;

 private:
  QVUIScan();
  RESULT Finish(RESULT code, bool post);
  void TrackSweepCount(const _PROGRESS_INFO& info);

  RestoreScanSink* m_pRestoreSink = nullptr;
  IStorageDevice* m_pSavedStorage = nullptr;
  IRecoveryController* m_pController = nullptr;
  int m_iDeepScan = 0;
  int m_iTreeFinished = 1;
  std::vector<IFileNode*> m_fileSystemNodes;
  QVTimeMap m_createTimeMap;
  QVTimeMap m_modifyTimeMap;
  QVTimeMap m_accessTimeMap;
  QVTypeMap m_typeMap;
  std::map<IFileNode*, void*> m_nodeItems;
  std::vector<IFileNode*> m_newFolders;
  std::vector<IFileNode*> m_allFolders;
  std::vector<IFileNode*> m_refreshFolders;
  std::map<IFileNode*, int> m_pendingFolders;
  std::string m_searchKey;
  int m_iSearching = 0;
  int m_iViewType = 0;
  int m_iRemainingVolumes = 0;
  int m_iVolumeCount = 1;
  std::uint64_t m_u64FilesFound = 0;
  std::uint64_t m_u64SizeFound = 0;
  // During a sweep: the files shown when it began and those its searchers
  // have recognised since.
  std::uint64_t m_u64SweepBase = 0;
  std::uint64_t m_u64SweepFound = 0;
  int m_iRecoveryCount = 0;
  std::map<IFilesystemNode*, IDataRecovery*> m_dataRecoveryMap;
  std::mutex m_scanLock;

  bool m_bFinalSent = false;
  RESULT m_lastResult = 0;
  long long m_unreadableAtStart = 0;
  int m_unreadableSectorSize = 512;
  double m_dLastPercent = 0;
  long long m_llLastEstimate = -1;
  platform::SourceIdentity m_identity;
  std::shared_ptr<void> m_deviceHold;
};

// Rebuilds the result trees and posts "NormalScranValue" on the main thread:
// always when `final`, else when at least two clock seconds passed since the
// last such post.
void QVNotifyUIUpdateData(int final);
// Resets the throttle of the non-final posts.
void QVResetUpdateThrottle();
// The display trees' rebuild step, run under the tree lock on every update
// (set by the result trees; none by default).
void QVSetTreeRebuildHook(std::function<void(int final)> hook);
// The tree lock: held while the result trees change.
class mutex_locker;
mutex_locker& QVTreeLocker();

inline constexpr const char* kNormalScranValue = "NormalScranValue";
