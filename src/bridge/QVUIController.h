#pragma once
// The bridge's single door: everything the windows and the command-line
// tool ask of the engine. All members are static; every command returns at
// once and the job runs on a worker thread of its own.

#include <cstdint>
#include <list>
#include <string>
#include <vector>

#include "bridge/QVUIDeviceData.h"
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

  // Recovery commands.
  static void SetRecoveryType(unsigned mask);
  static std::vector<IFileNode*> GetSelectedFilesAndSize(std::uint64_t& size);
  static void GetSelectedFilesAmout(int& count, std::uint64_t& size);
  static RESULT DoRecovery(bool haveTrees, const char* path, const std::string& postKey, void* object);
  static std::string GetRecoveryProgressTotal(std::uint64_t& total, std::uint64_t& current, std::uint64_t& error);
  static bool IsRecoveryRunning();
  static void StopRecvoery();
  static void PauseOrResumeRecovery();
  static bool IsRecoveryToSameDevice(const std::string& path);
  static std::uint64_t GetRecoveridedSize();
  static std::uint64_t GetRecoveridedFiles();
  static int GetCurrentScanRecoveryCnt();
  static void ReleaseDataRecovery();

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
