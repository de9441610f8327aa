#include "bridge/QVUIController.h"

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "bridge/JobThreads.h"
#include "bridge/MyNotifyCenter.h"
#include "bridge/QVPublic.h"
#include "bridge/QVUIFilter.h"
#include "bridge/QVUIRecovery.h"
#include "bridge/QVUIScan.h"
#include "core/events/MessageCenter.h"
#include "core/util/Log.h"
#include "engines/RegisterAllEngines.h"

namespace {

constexpr const char* kScanJob = "scan";
constexpr const char* kRecoveryJob = "recovery";
constexpr const char* kPollJob = "recovery-poll";

}  // namespace

void QVUIController::Init() {
  static std::once_flag once;
  std::call_once(once, [] {
    RegisterAllEngines();
    QVUIFilter::InitFileTypes();
  });
}

bool QVUIController::InitDeviceInfo() { return QVUIDeviceData::instance()->InitDeviceInfo(); }

void QVUIController::NotifiyDeviceInfoAfterInit(const std::string& key) {
  switch (QVUIDeviceData::instance()->GetInitState()) {
    case 0:
      QVUIPublic::NotifyMainThreadByPostKey(key, [] { QVUIDeviceData::instance()->InitDeviceInfo(); });
      break;
    case 2:
      QVUIPublic::NotifyMainThread(key);
      break;
    default:
      break;
  }
}

void QVUIController::GetDeviceInfoToArray(std::list<_DiskVolumeData>& rows) {
  QVUIDeviceData::instance()->GetAllDeviceInfo(rows);
}

bool QVUIController::RefreshDeviceInfo() { return QVUIDeviceData::instance()->RefreshDeviceInfo(); }

// Scan commands

void QVUIController::DoScanFn(IStorageDevice* device) {
  CMessageCenter* queue = CMessageCenter::Instance();
  queue->StartReceiveMessage();
  {
    CProgressNotify notify(queue);
    QVUIScan* scan = QVUIScan::instance();
    (void)scan->DoScan(device, nullptr);
    scan->ReCalTotalSize();
  }
  queue->StopReceiveMessage();
}

long long QVUIController::GetBadSectorCount() { return QVUIScan::instance()->GetUnreadableSectors(); }

bool QVUIController::StartScanJob(IStorageDevice* device) {
  QVUIScan* scan = QVUIScan::instance();
  if (scan->GetStatus() == kOpStopRequested) scan->SetStatus(kOpIdle);
  // One job at a time: a scan still unwinding, or a recovery, keeps its data.
  if (!scan->IsOperationExit() || bridge::JobRegistry::instance().Alive() > 0) return false;
  if (device == nullptr) return false;
  QVResetUpdateThrottle();
  scan->ClearData();
  bridge::ResetTreesForNewScan();
  scan->SetStatus(kOpRunning);
  if (!bridge::JobRegistry::instance().Start(kScanJob, [device] { DoScanFn(device); })) {
    scan->SetStatus(kOpIdle);
    return false;
  }
  return true;
}

bool QVUIController::DoScanWithDiskIndex(int disk, int volume, const std::string&, void*) {
  return StartScanJob(QVUIDeviceData::instance()->GetStorageByDiskVolumeIndex(disk, volume));
}

bool QVUIController::DoScanWithDevice(IStorageDevice* device, int deep) {
  if (!QVUIScan::instance()->IsOperationExit() || bridge::JobRegistry::instance().Alive() > 0) return false;
  QVUIScan::instance()->SetDeepScan(deep);
  return StartScanJob(device);
}

bool QVUIController::DoScanWithData(const _DiskVolumeData* row, const std::string& postKey, void* target) {
  if (row == nullptr) return false;
  if (!QVUIScan::instance()->IsOperationExit() || bridge::JobRegistry::instance().Alive() > 0) return false;
  QVUIScan::instance()->SetDeepScan(0);
  return DoScanWithDiskIndex(row->diskIndex, row->volumeIndex, postKey, target);
}

bool QVUIController::DoDeepScanWithData(const _DiskVolumeData* row, const std::string& postKey, void* target) {
  if (row == nullptr) return false;
  if (!QVUIScan::instance()->IsOperationExit() || bridge::JobRegistry::instance().Alive() > 0) return false;
  QVUIScan::instance()->SetDeepScan(1);
  return DoScanWithDiskIndex(row->diskIndex, row->volumeIndex, postKey, target);
}

bool QVUIController::isQdiDoDeepScanWithData(const _DiskVolumeData* row, const std::string& postKey, void* target) {
  return DoDeepScanWithData(row, postKey, target);
}

bool QVUIController::DoDeepScan(void* target, const std::string& postKey) {
  IStorageDevice* saved = QVUIScan::instance()->GetSavedStorage();
  if (saved == nullptr) return false;
  int disk = -1;
  int volume = -1;
  if (!QVUIDeviceData::instance()->GetDiskVolumeIndexByStorage(saved, disk, volume) || disk == -1) return false;
  if (!QVUIScan::instance()->IsOperationExit() || bridge::JobRegistry::instance().Alive() > 0) return false;
  QVUIScan::instance()->SetDeepScan(1);
  return DoScanWithDiskIndex(disk, volume, postKey, target);
}

void QVUIController::PauseOrResumeScan() { QVUIScan::instance()->PauseOrResumeOperation(); }
void QVUIController::StopScan(int flag) { QVUIScan::instance()->StopOperation(flag); }
void QVUIController::ResetShouldBuild() { QVUIScan::instance()->SetShouldBuildTree(1); }

bool QVUIController::IsScanRunning() {
  const int s = QVUIScan::instance()->GetStatus();
  return s == kOpStopRequested || s == kOpRunning || s == kOpPaused;
}

bool QVUIController::IsPause() { return QVUIScan::instance()->GetStatus() == kOpPaused; }
bool QVUIController::IsDeepScan() { return QVUIScan::instance()->IsDeepScan() != 0; }
void QVUIController::SetViewType(int viewType) { QVUIScan::instance()->SetScanType(viewType); }

long long QVUIController::EstimateRemaining(std::int64_t elapsed, std::uint64_t total, std::uint64_t done) {
  const double percent = static_cast<double>(done) * 100.0 / static_cast<double>(total == 0 ? 1 : total);
  if (elapsed < 1 || done == 0 || percent < 1.0) return -1;
  const std::uint64_t left = total > done ? total - done : 0;
  long long secs = static_cast<std::int32_t>(static_cast<std::uint64_t>(elapsed) * left / done);
  if (secs < 0) secs = 0;
  long long adjusted = secs;
  if (done < (total >> 2))
    adjusted = static_cast<long long>(static_cast<double>(secs) * 0.5);
  else if (done < (total >> 1))
    adjusted = static_cast<long long>(static_cast<double>(secs) * 0.7);
  if (adjusted > 0) secs = adjusted;
  return secs;
}

std::string QVUIController::FormatRemaining(long long secs) {
  if (secs < 0 || secs / 3600 > 100) return "-:-:-";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", static_cast<int>(secs / 3600), static_cast<int>((secs % 3600) / 60),
                static_cast<int>(secs % 60));
  return buf;
}

std::string QVUIController::GetScanProgress(double& percent, std::uint64_t& files) {
  QVUIScan* scan = QVUIScan::instance();
  const _PROGRESS_INFO info = scan->GetProgressInfo();
  files = scan->GetFilesFoundSoFar();
  // A whole disk's volumes each report from 0: place them side by side.
  int count = 1;
  int started = 1;
  scan->GetVolumeProgress(count, started);
  const double own =
      info.total == 0 ? 0.0 : std::min(1.0, static_cast<double>(info.done) / static_cast<double>(info.total));
  double fraction = own;
  if (count > 1) fraction = (std::max(0, started - 1) + own) / count;
  percent = scan->ClampPercent(fraction * 100.0);
  constexpr std::uint64_t kScale = 1000000;
  const auto done = static_cast<std::uint64_t>(percent / 100.0 * kScale);
  const long long estimate = EstimateRemaining(scan->GetScanElapseTime(), kScale, done);
  if (estimate < 0) return "-:-:-";
  return FormatRemaining(scan->ClampEstimate(estimate));
}

void QVUIController::GetScanFileSize(std::uint64_t& size, std::uint64_t& count) {
  size = QVUIScan::instance()->GetScanFileSize();
  count = QVUIScan::instance()->GetScanFileCnt();
}

// Recovery commands

void QVUIController::SetRecoveryType(unsigned mask) { QVUIFilter::instance()->ResetFilter(mask); }

std::vector<IFileNode*> QVUIController::GetSelectedFilesAndSize(std::uint64_t& size) {
  std::vector<IFileNode*> out;
  for (const auto& [category, nodes] : QVUIScan::instance()->GetTypeMap()) {
    for (IFileNode* n : nodes) {
      if (n->IsNodeShow() && n->GetCheckedStatus() == kChecked) {
        out.push_back(n);
        if (n->GetFileSize() > 0) size += static_cast<std::uint64_t>(n->GetFileSize());
      }
    }
  }
  return out;
}

void QVUIController::GetSelectedFilesAmout(int& count, std::uint64_t& size) {
  const std::vector<IFileNode*> nodes = GetSelectedFilesAndSize(size);
  count = static_cast<int>(nodes.size());
  QVUIRecovery::instance()->SetRecoveryTotalSize(size);
  QVUIRecovery::instance()->SetRecoveryTotalFilesCnt(nodes.size());
}

void QVUIController::QueryStatusAndUpdateUI(QVUIOperation* operation, const std::string& key) {
  while (!operation->IsOperationExit()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (operation->IsNeedUIUpdate()) {
      operation->SetNeedUIUpdate(0);
      if (operation->IsOpTreeFinished()) {
        QVUIPublic::NotifyMainThread(key);
      }
    }
  }
  // The end is always told once.
  QVUIPublic::NotifyMainThread(key);
  operation->SetNeedUIUpdate(0);
  CatchExeception::WriteLog("!!!!!!! The state query thread is exited!!!!!!!!!\n");
}

RESULT QVUIController::DoRecovery(bool haveTrees, const char* path, const std::string& postKey, void*) {
  if (!haveTrees || path == nullptr) return kUiNoRecoveryArgument;
  QVUIRecovery* recovery = QVUIRecovery::instance();
  if (bridge::JobRegistry::instance().Alive() > 0 || !recovery->IsOperationExit()) return kUiBusy;
  std::string destination = path;
  if (destination.empty() || destination.back() != '/') destination += "/";
  if (recovery->RecoveryPathIsSameDevice(destination.c_str())) {
    CatchExeception::WriteLog("recovery refused: %s is on the scanned device\n", destination.c_str());
    return kUiDestinationOnSource;
  }
  recovery->SetRecoveryPath(destination.c_str());
  recovery->ClearCreateDirIndex();
  recovery->SetStatus(kOpRunning);
  auto& jobs = bridge::JobRegistry::instance();
  if (!jobs.Start(
          kPollJob, [recovery, postKey] { QueryStatusAndUpdateUI(recovery, postKey); }, 0)) {
    recovery->SetStatus(kOpIdle);
    return kUiNoThread;
  }
  if (!jobs.Start(kRecoveryJob, [recovery] { (void)recovery->DoRecovery(); })) {
    recovery->SetStatus(kOpIdle);
    return kUiNoThread;
  }
  return 0;
}

std::string QVUIController::GetRecoveryProgressTotal(std::uint64_t& total, std::uint64_t& current,
                                                     std::uint64_t& error) {
  QVUIRecovery* recovery = QVUIRecovery::instance();
  const _PROGRESS_INFO info = recovery->GetProgressInfo();
  total = info.total;
  current = info.done;
  error = info.result;
  IFileNode* node = recovery->GetCurrentRecoveryNode();
  const char* name = node != nullptr ? node->GetFileName() : nullptr;
  return name != nullptr ? name : "";
}

bool QVUIController::IsRecoveryRunning() {
  const int s = QVUIRecovery::instance()->GetStatus();
  return s == kOpRunning || s == kOpPaused;
}

bool QVUIController::IsRecoveryBusy() { return QVUIRecovery::instance()->IsOperationExit() == 0; }

void QVUIController::StopRecvoery() { QVUIRecovery::instance()->StopOperation(1); }
void QVUIController::PauseOrResumeRecovery() { QVUIRecovery::instance()->PauseOrResumeOperation(); }

bool QVUIController::IsRecoveryToSameDevice(const std::string& path) {
  return QVUIRecovery::instance()->RecoveryPathIsSameDevice(path.c_str()) != 0;
}

std::uint64_t QVUIController::GetRecoveridedSize() { return QVUIRecovery::instance()->GetRecoveriedFileSize(); }
std::uint64_t QVUIController::GetRecoveridedFiles() { return QVUIRecovery::instance()->GetWrittenFilesCnt(); }
int QVUIController::GetCurrentScanRecoveryCnt() { return QVUIScan::instance()->GetCurrentScanRecoveryCnt(); }

void QVUIController::ReleaseDataRecovery() {
  if (bridge::JobRegistry::instance().Alive() > 0) return;
  QVUIScan::instance()->ReleaseDataRecovery();
  QVUIRecovery::instance()->ReleaseDataRecovery();
}

bool QVUIController::WaitForJobs(int milliseconds) {
  return bridge::JobRegistry::instance().WaitIdle(std::chrono::milliseconds(milliseconds));
}

void QVUIController::CloseApp() {
  QVUIScan::instance()->StopOperation(1);
  QVUIRecovery::instance()->StopOperation(1);
  StopSearch();
  WaitForJobs(10000);
  SpyIDEnd();
  CMessageCenter::Instance()->StopReceiveMessage();
  std::fflush(nullptr);
  std::_Exit(0);
}

VolumeConfigDictionary QVUIController::WXGetConfigDictionary(const std::string& volumePath) {
  return ::WXGetConfigDictionary(volumePath);
}

bool QVUIController::WXGetCompleteProtect(const std::string& volumePath) { return ::WXGetCompleteProtect(volumePath); }

bool QVUIController::WXGetQuickProtect(const std::string& volumePath) { return ::WXGetQuickProtect(volumePath); }

bool QVUIController::IsAppRunning() { return QVCPPPublic::instance()->IsAppRunning() != 0; }
