#pragma once
// The bridge's single door: everything the windows and the command-line
// tool ask of the engine. All members are static; every command returns at
// once and the job runs on a worker thread of its own.

#include <cstddef>
#include <cstdint>
#include <list>
#include <string>
#include <vector>

#include <optional>

#include "bridge/OpNodeData.h"
#include "bridge/QVResultTrees.h"
#include "bridge/QVThumbnail.h"
#include "bridge/QVUIDeviceData.h"
#include "bridge/VolumeConfig.h"
#include "core/model/Contracts.h"

// Result codes of the commands (module 0x0102).
inline constexpr RESULT kUiNoRecoveryArgument = 0x102052400000001ull;
// The destination lies on the scanned storage.
inline constexpr RESULT kUiDestinationOnSource = 0x102052500000010ull;
// Another job is still running.
inline constexpr RESULT kUiBusy = 0x102052600000011ull;
// No worker thread could be made.
inline constexpr RESULT kUiNoThread = 0x102052700000012ull;

class QVUIController {
 public:
  // Once at start: engines, category lists, the event queue.
  static void Init();

  // Device list.
  static bool InitDeviceInfo();
  static void NotifiyDeviceInfoAfterInit(const std::string& key);
  static void GetDeviceInfoToArray(std::list<_DiskVolumeData>& rows);
  static bool RefreshDeviceInfo();
  // A volume's own settings (".Quarnelfiles/config.plist" under its path).
  static VolumeConfigDictionary WXGetConfigDictionary(const std::string& volumePath);
  static bool WXGetCompleteProtect(const std::string& volumePath);
  static bool WXGetQuickProtect(const std::string& volumePath);

  // Scan commands; false when nothing was started.
  static bool DoScanWithDiskIndex(int disk, int volume, const std::string& postKey, void* target);
  static bool DoScanWithData(const _DiskVolumeData* row, const std::string& postKey, void* target);
  static bool DoDeepScanWithData(const _DiskVolumeData* row, const std::string& postKey, void* target);
  static bool isQdiDoDeepScanWithData(const _DiskVolumeData* row, const std::string& postKey, void* target);
  static bool DoDeepScan(void* target, const std::string& postKey);
  // Scans a device directly (deep 1: complete scan).
  static bool DoScanWithDevice(IStorageDevice* device, int deep);
  static void PauseOrResumeScan();
  static void StopScan(int flag);
  static void ResetShouldBuild();
  static bool IsScanRunning();
  static bool IsPause();
  static bool IsDeepScan();
  static void SetViewType(int viewType);
  // Percentage and files found; the remaining time "%02d:%02d:%02d" or
  // "-:-:-". Neither the percentage nor the estimate moves backwards during
  // one scan.
  static std::string GetScanProgress(double& percent, std::uint64_t& files);
  static void GetScanFileSize(std::uint64_t& size, std::uint64_t& count);
  // Sectors of the scanned device that could not be read in this scan; the
  // windows hear of them as they happen through "BadSectorNotify".
  static long long GetBadSectorCount();

  // Recovery commands.
  static void SetRecoveryType(unsigned mask);
  static std::vector<IFileNode*> GetSelectedFilesAndSize(std::uint64_t& size);
  static void GetSelectedFilesAmout(int& count, std::uint64_t& size);
  static RESULT DoRecovery(bool haveTrees, const char* path, const std::string& postKey, void* object);
  static std::string GetRecoveryProgressTotal(std::uint64_t& total, std::uint64_t& current, std::uint64_t& error);
  static bool IsRecoveryRunning();
  // True until a recovery has wholly ended (also while a stop is under way).
  static bool IsRecoveryBusy();
  static void StopRecvoery();
  static void PauseOrResumeRecovery();
  static bool IsRecoveryToSameDevice(const std::string& path);
  static std::uint64_t GetRecoveridedSize();
  static std::uint64_t GetRecoveridedFiles();
  static int GetCurrentScanRecoveryCnt();
  static void ReleaseDataRecovery();
  // True when another copy of the program runs for this user.
  static bool IsAppRunning();

  // Result trees. The arrays stay the caller's; readers on other threads
  // than the bridge's hold QVTreeLocker() while they look.
  static void initFileType();
  static int QVSetTreeNodeData(const QVTreeNodeArrays* arrays);
  // A scan update's rebuild; the caller holds the tree lock.
  static int QVGetTreeNodeData(int final, const std::string& key);
  static int GetScanTreeNodeData(OpNodeArray* roots, int clear);
  static void RefreshData();
  static int GetFileNodeToArray(std::vector<IFileNode*>* rows, OpNodeData* item);
  static std::uint64_t GetNodeChildrenCnt(OpNodeData* item);
  static void RefreshTypeTreeState(OpNodeData* item);
  static void RefreshTimeTreeState(OpNodeArray* roots, int change);
  static void QVTableViewCellCilck();
  static bool getImageForType(const std::string& ext, bridge::Image& out);
  static int QVCleanOpNodeSate();
  static void QVResetTreeNodeData();
  static void UnselectedAllNodes();
  static void QVSetFlag(int flag);

  // Search in the scan's results.
  static int DoSearchWithString(const std::string& text, void* object, const std::string& postKey);
  static std::string GetSearchString();
  static void StopSearch();
  static int QVGetIsSearching();
  static void GetSearchResultToArr(std::vector<IFileNode*>* rows);

  // Previews; nullopt for a null node or without a category filter.
  static std::optional<bridge::Image> GetNSImageByFildNode(IFileNode* node);
  static std::optional<bridge::Image> GetNSImageByFildNodeNSNumber(std::int64_t number);
  static std::optional<bridge::Image> GetNSImageByNode(const OpNodeData* item);
  static bridge::Image getVideoThumbFromPath(const std::string& path);
  // The first bytes of a found file (at most `limit`), read through the
  // engine as a recovery reads them; false when there is no reader, a
  // recovery job runs or nothing could be read.
  static bool GetFileHeadBytes(IFileNode* node, std::size_t limit, std::string& out);

  // Usage statistics (nothing without the plug-in).
  static void SpyIDInstall();
  static void SetUserParticipart(bool flag);
  static void SpyIDIncreateTable1(int key);
  static void SpyIDIncreateTable2(int key, int value);
  static void SpyIDStringTable1(int key, const std::string& text);
  static void SpyIDWStringTable1(int key, const std::string& text);
  static void SpyIDStringTable2(int key, const std::string& text);
  static void SpyIDSaveToServerTable();
  static void SpyIDEnd();

  // Saving and loading scan results. RestorPostUIUpdate starts the polling
  // that posts `postKey` and "QueryProgressFinish"; beginSaveOrRestoreNode
  // starts the save (save non-zero) or load: 0, -1 bad argument, -2 no
  // thread, -3 another job runs. The polling follows the save or load begun
  // just before it, else the next one, and ends with it.
  static int RestorPostUIUpdate(const std::string& postKey, int save);
  static int beginSaveOrRestoreNode(int save, const std::string& path, const std::string& qdiPath);
  static void GetSaveorRestoreProgress(long long& total, long long& current, long long& error, int saver);
  static void SavePathToPList(const std::string& path);
  static std::string GetSavePath();
  // "<device name>_MM-DD-YYYY at hh:mm:ss" of the scanned device, local time.
  static std::string GetSaveFileName();

  // Waits for every job to end (closing, tests); false on timeout.
  static bool WaitForJobs(int milliseconds);
  // Stops the jobs, waits for them a bounded time and ends the process.
  [[noreturn]] static void CloseApp();

  // The remaining-time text of an estimate in seconds.
  static std::string FormatRemaining(long long seconds);
  // The estimate: elapsed × (total − done) / done, scaled 0.5 below a
  // quarter and 0.7 below a half; -1 when none can be given.
  static long long EstimateRemaining(std::int64_t elapsed, std::uint64_t total, std::uint64_t done);

 private:
  static bool StartScanJob(IStorageDevice* device);
  static void DoScanFn(IStorageDevice* device);
  static void QueryStatusAndUpdateUI(class QVUIOperation* operation, const std::string& key);
};
