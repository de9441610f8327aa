#include "bridge/QVUIScan.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "bridge/DeviceIdentity.h"
#include "bridge/QVPublic.h"
#include "bridge/QVUIDeviceData.h"
#include "bridge/QVUIFilter.h"
#include "bridge/QVUIRecovery.h"
#include "core/controller/RecoveryController.h"
#include "core/device/AsyncReader.h"
#include "core/device/DeviceData.h"
#include "core/recovery/DataRecovery.h"
#include "core/util/Locks.h"
#include "core/util/Log.h"
#include "core/util/WindowWaits.h"

namespace {

mutex_locker g_lockerAddData;
std::mutex g_hookLock;
std::function<void(int)> g_treeRebuildHook;
std::int64_t g_timeCount = 0;  // guarded by g_lockerAddData

}  // namespace

void QVSetTreeRebuildHook(std::function<void(int)> hook) {
  std::lock_guard g(g_hookLock);
  g_treeRebuildHook = std::move(hook);
}

mutex_locker& QVTreeLocker() { return g_lockerAddData; }

void QVResetUpdateThrottle() {
  autolocker<mutex_locker> hold(g_lockerAddData);
  g_timeCount = 0;
}

void QVNotifyUIUpdateData(int final) {
  QVUIScan* scan = QVUIScan::instance();
  // While the trees are rebuilt elsewhere only the final update goes out.
  if (scan->IsOpTreeFinished() == 0 && final == 0) return;
  autolocker<mutex_locker> hold(g_lockerAddData);
  std::function<void(int)> hook;
  {
    std::lock_guard g(g_hookLock);
    hook = g_treeRebuildHook;
  }
  if (hook) hook(final);
  if (final != 0) {
    QVUIPublic::NotifyMainThread(kNormalScranValue);
    return;
  }
  const std::int64_t now = scan->Now();
  if (now - g_timeCount >= 2) {
    g_timeCount = now;
    QVUIPublic::NotifyMainThread(kNormalScranValue);
  }
}

QVUIScan* QVUIScan::instance() {
  // Never destroyed: a job or polling thread may still use it at exit.
  static QVUIScan* object = new QVUIScan();
  return object;
}

QVUIScan::QVUIScan() = default;

QVUIScan::~QVUIScan() {
  ReleaseDataRecovery();
  if (m_pController != nullptr) m_pController->Release();
}

bool QVUIScan::SendFinalUpdate() {
  {
    std::lock_guard g(m_mutex);
    if (m_bFinalSent) return false;
    m_bFinalSent = true;
  }
  QVNotifyUIUpdateData(1);
  return true;
}

RESULT QVUIScan::Finish(RESULT code, bool post) {
  if (GetStatus() != kOpIdle) SetStatus(kOpIdle);
  SetNeedUIUpdate(1);
  if (post) SendFinalUpdate();
  std::lock_guard g(m_mutex);
  m_pRestoreSink = nullptr;
  m_lastResult = code;
  return code;
}

RESULT QVUIScan::DoScan(IStorageDevice* device, RestoreScanSink* sink) {
  CatchExeception::WriteLog("%s:%d started!\r\n", "DoScan", 43);
  if (window_waits::Enabled()) std::this_thread::sleep_for(std::chrono::milliseconds(80));
  std::lock_guard scanLock(m_scanLock);
  const bool wasActive = GetStatus() != kOpIdle;
  {
    std::lock_guard g(m_mutex);
    m_pRestoreSink = sink;
    m_bFinalSent = false;
  }
  QVUIRecovery::instance()->ReleaseDataRecovery();

  RESULT r = kScanBusy;
  if (device == nullptr) return Finish(r, wasActive);

  SaveScanSorage(device);
  {
    std::lock_guard g(m_mutex);
    m_unreadableAtStart = UnreadableBytesSoFar();
    m_unreadableSectorSize = device->GetSectorSize() > 0 ? device->GetSectorSize() : 512;
  }
  SetNeedUIUpdate(0);
  const _RECOVERY_CONTROLLER_TYPE kind = GetScanControllerType(device);
  if (kind == kControllerNone) {
    SetDeepScan(0);
    return Finish(r, true);
  }

  const int deep = IsDeepScan();
  ClearData();
  ResetRecoveryController(kind);
  {
    std::lock_guard g(m_mutex);
    m_identity = IdentityOfDevice(device);
    m_deviceHold = QVUIDeviceData::instance()->HoldDevices();
  }
  SetSearchKey("");

  IRecoveryFilter* filter = QVUIFilter::instance()->GetFilter();
  if (filter == nullptr) return Finish(r, true);

  QVUIDeviceData* devices = QVUIDeviceData::instance();
  if (deep == 0 && devices->IsDiskStorage(device)) {
    std::vector<IStorageDevice*> volumes;
    devices->GetDiskVolumeStorage(device, volumes);
    {
      std::lock_guard g(m_mutex);
      m_iRemainingVolumes = static_cast<int>(volumes.size());
      m_iVolumeCount = std::max(1, m_iRemainingVolumes);
    }
    for (IStorageDevice* volume : volumes) {
      {
        std::lock_guard g(m_mutex);
        if (m_iRemainingVolumes <= 0) break;
        --m_iRemainingVolumes;
      }
      if (!devices->IsVolumeStorageSupported(volume)) continue;
      filter->SetScanType(kScanQuick);
      r = DoVolumeStorageScan(volume);
      // A stop ends the whole disk; a failed volume only itself.
      if (GetStatus() == kOpStopRequested || GetStatus() == kOpIdle) break;
    }
  } else {
    filter->SetScanType(deep != 0 ? kScanComplete : kScanQuick);
    r = DoVolumeStorageScan(device);
  }

  QVUIRecovery::instance()->ResetParam();
  CatchExeception::WriteLog("%s:%d end!\r\n", "DoScan", 137);
  return Finish(r, true);
}

_RECOVERY_CONTROLLER_TYPE QVUIScan::GetScanControllerType(IStorageDevice* device) {
  if (device == nullptr) return kControllerNone;
  if (IsDeepScan())
    return QVUIDeviceData::instance()->IsDiskStorage(device) ? kControllerWholeDisk : kControllerComplete;
  return kControllerQuick;
}

void QVUIScan::SetDeepScan(int deep) {
  std::lock_guard g(m_mutex);
  m_iDeepScan = deep;
}

int QVUIScan::IsDeepScan() {
  std::lock_guard g(m_mutex);
  if (m_iDeepScan == 0 && !QVUIDeviceData::instance()->IsDiskStorage(m_pSavedStorage)) {
    m_iDeepScan = IsStorageVolumeUnknow(m_pSavedStorage);
  }
  return m_iDeepScan;
}

void QVUIScan::ResetRecoveryController(_RECOVERY_CONTROLLER_TYPE kind) {
  std::lock_guard g(m_mutex);
  if (m_pController != nullptr) m_pController->Release();
  m_pController = CreateRecoveryController(kind);
  if (m_pController != nullptr && m_pRestoreSink != nullptr && kind <= kControllerWholeDisk) {
    m_pController->m_pRestoreSink = m_pRestoreSink;
  }
}

IRecoveryController* QVUIScan::GetRecoveryController() const {
  std::lock_guard g(m_mutex);
  return m_pController;
}

RESULT QVUIScan::DoVolumeStorageScan(IStorageDevice* device) {
  IRecoveryController* controller = GetRecoveryController();
  if (device == nullptr || controller == nullptr || Continued() == 0) return kScanNotStarted;
  SetStatus(kOpRunning);
  controller->Initialize(QVUIFilter::instance()->GetFilter());
  if (const CCollectedVolumeDeviceInfoStruct* info = GetStorageVolumeInfo(device)) {
    int remaining;
    {
      std::lock_guard g(m_mutex);
      remaining = m_iRemainingVolumes;
    }
    CatchExeception::WriteLog("=======scan volumes(%d):(%s)======\n", remaining, info->volumeName.c_str());
  }
  return controller->StartDataRecovery(device, this, this);
}

void QVUIScan::ClearData() {
  ReleaseDataRecovery();
  const std::int64_t now = Now();
  std::lock_guard g(m_mutex);
  m_iRemainingVolumes = 0;
  m_iVolumeCount = 1;
  m_startTime = now;
  m_lastProgressTime = now;
  m_u64FilesFound = 0;
  m_u64SizeFound = 0;
  m_u64SweepBase = 0;
  m_u64SweepFound = 0;
  m_iRecoveryCount = 0;
  m_fileSystemNodes.clear();
  m_allFolders.clear();
  m_refreshFolders.clear();
  m_typeMap.clear();
  m_newFolders.clear();
  m_nodeItems.clear();
  m_pendingFolders.clear();
  m_createTimeMap.clear();
  m_modifyTimeMap.clear();
  m_accessTimeMap.clear();
  m_dLastPercent = 0;
  m_llLastEstimate = -1;
  SetProgressInfo(_PROGRESS_INFO{});
}

void QVUIScan::SaveScanSorage(IStorageDevice* device) {
  std::lock_guard g(m_mutex);
  m_pSavedStorage = device;
}

IStorageDevice* QVUIScan::GetSavedStorage() const {
  std::lock_guard g(m_mutex);
  return m_pSavedStorage;
}

int QVUIScan::IsStorageVolumeUnknow(IStorageDevice* device) {
  if (device == nullptr || QVUIDeviceData::instance()->IsDiskStorage(device)) return 0;
  // Without a volume record nothing tells the file system: a complete scan.
  const CCollectedVolumeDeviceInfoStruct* info = GetStorageVolumeInfo(device);
  return (info == nullptr || info->fileSystem == kFsUnknown) ? 1 : 0;
}

CCollectedVolumeDeviceInfoStruct* QVUIScan::GetStorageVolumeInfo(IStorageDevice* device) {
  return device == nullptr ? nullptr : ::GetVolumeInfo(device);
}

void QVUIScan::UpdateProgress(_PROGRESS_INFO* info) {
  if (info == nullptr) return;
  SetProgressInfo(*info);
  TrackSweepCount(*info);
  if (info->state == kProgressFinished) {
    bool ends = false;
    {
      std::lock_guard g(m_mutex);
      if (m_iRemainingVolumes <= 0 || GetStatus() == kOpStopRequested) {
        m_iRemainingVolumes = 0;
        ends = true;
      }
    }
    if (ends) {
      SetStatus(kOpIdle);
      SendFinalUpdate();
    } else {
      QVNotifyUIUpdateData(0);
    }
    CatchExeception::WriteLog("=====Scan Progress finished!=====\n");
  }
  const std::int64_t now = Now();
  std::lock_guard g(m_mutex);
  m_lastProgressTime = now;
  SetNeedUIUpdate(1);
}

int QVUIScan::IsOpTreeFinished() {
  std::lock_guard g(m_mutex);
  return m_iTreeFinished;
}

void QVUIScan::SetOpTreeFinished(int finished) {
  std::lock_guard g(m_mutex);
  m_iTreeFinished = finished;
}

void QVUIScan::ShowNodes(IFileNode** nodes, unsigned int count, int) {
  if (nodes == nullptr || count == 0) return;
  IRecoveryFilter* filter = QVUIFilter::instance()->GetFilter();
  std::uint64_t files = 0;
  for (unsigned i = 0; i < count; ++i) {
    IFileNode* node = nodes[i];
    if (node == nullptr) continue;
    std::lock_guard g(m_mutex);
    if (node->IsDirectory()) {
      m_refreshFolders.push_back(node);
      m_allFolders.push_back(node);
      m_newFolders.push_back(node);
      m_pendingFolders[node] = 0;
      continue;
    }
    ++files;
    int year = 0;
    int month = 0;
    if (const long long t = node->GetCreationTime(); t != 0) {
      QVCPPPublic::instance()->GetYearMonthByFileTime(&year, &month, static_cast<std::uint64_t>(t));
      m_createTimeMap[year][month].push_back(node);
    }
    if (const long long t = node->GetModificationTime(); t != 0) {
      QVCPPPublic::instance()->GetYearMonthByFileTime(&year, &month, static_cast<std::uint64_t>(t));
      m_modifyTimeMap[year][month].push_back(node);
    }
    if (filter != nullptr) m_typeMap[filter->GetNodeFileType(node)].push_back(node);
    const long long size = node->GetFileSize();
    if (size > 0) m_u64SizeFound += static_cast<std::uint64_t>(size);
  }
  {
    std::lock_guard g(m_mutex);
    m_u64FilesFound += files;
  }
  SetNeedUIUpdate(1);
  QVNotifyUIUpdateData(0);
}

void QVUIScan::ShowFilesystemNode(IFilesystemNode* root) {
  const char* name = root != nullptr ? root->GetFileName() : nullptr;
  CatchExeception::WriteLog("=====ShowFileSystemNodes:%s\n", name != nullptr ? name : "");
  if (root == nullptr || !root->IsDirectory()) return;
  {
    std::lock_guard g(m_mutex);
    const auto type = static_cast<_tagSearcherType>(QVCPPPublic::instance()->GetNodeSearcheType(root));
    if (m_pController != nullptr && m_pController->thisType() == kControllerQuick &&
        m_dataRecoveryMap.find(root) == m_dataRecoveryMap.end()) {
      m_dataRecoveryMap[root] = m_pController->GetDataRecovery(type);
    }
    bool known = false;
    for (IFileNode* n : m_fileSystemNodes) known = known || n == root;
    if (!known) {
      m_fileSystemNodes.push_back(root);
      m_newFolders.push_back(root);
    }
  }
  SetNeedUIUpdate(1);
}

QVTimeMap QVUIScan::GetCreateTimeMap() const {
  std::lock_guard g(m_mutex);
  return m_createTimeMap;
}

QVTimeMap QVUIScan::GetModifyTimeMap() const {
  std::lock_guard g(m_mutex);
  return m_modifyTimeMap;
}

QVTimeMap QVUIScan::GetAccessTimeMap() const {
  std::lock_guard g(m_mutex);
  return m_accessTimeMap;
}

QVTypeMap QVUIScan::GetTypeMap() const {
  std::lock_guard g(m_mutex);
  return m_typeMap;
}

std::vector<IFileNode*> QVUIScan::GetFileSystemNode() const {
  std::lock_guard g(m_mutex);
  return m_fileSystemNodes;
}

std::vector<IFileNode*> QVUIScan::QVGetNewPathNode() {
  std::lock_guard g(m_mutex);
  std::vector<IFileNode*> out;
  out.swap(m_newFolders);
  return out;
}

std::vector<IFileNode*> QVUIScan::QVGetAllPathNode() const {
  std::lock_guard g(m_mutex);
  std::vector<IFileNode*> out = m_fileSystemNodes;
  out.insert(out.end(), m_allFolders.begin(), m_allFolders.end());
  return out;
}

void* QVUIScan::QVGetFileNode(IFileNode* node) {
  const auto it = m_nodeItems.find(node);
  return it == m_nodeItems.end() ? nullptr : it->second;
}

void QVUIScan::QVSetFileNode(IFileNode* node, void* item) {
  if (node != nullptr && item != nullptr) m_nodeItems[node] = item;
}

void QVUIScan::QVResetFileNode() { m_nodeItems.clear(); }

int QVUIScan::FindRemoveData(IFileNode* node) {
  if (node == nullptr) return 0;
  if (node->IsDirectory()) return 1;
  std::lock_guard g(m_mutex);
  return m_pendingFolders.erase(node) != 0 ? 1 : 0;
}

void QVUIScan::RefreshAllData() {
  std::lock_guard g(m_mutex);
  m_refreshFolders = m_allFolders;
  for (IFileNode* f : m_allFolders) m_pendingFolders[f] = 0;
}

void QVUIScan::DoSearch(std::vector<IFileNode*>& out) {
  RefreshAllData();
  out.clear();
  const QVTypeMap types = GetTypeMap();
  const std::string key = GetSearchKey();
  for (const auto& [category, nodes] : types) {
    for (IFileNode* node : nodes) {
      const bool match = key.empty() || QVCPPPublic::instance()->IsStringInFileNode(key.c_str(), node) != 0;
      node->ShowNode(match ? 1 : 0);
      if (match && !node->IsDirectory()) out.push_back(node);
    }
  }
}

void QVUIScan::SetSearchKey(const char* key) {
  if (key == nullptr) return;
  std::lock_guard g(m_mutex);
  m_searchKey = key;
}

std::string QVUIScan::GetSearchKey() const {
  std::lock_guard g(m_mutex);
  return m_searchKey;
}

void QVUIScan::SetSearching(int searching) {
  std::lock_guard g(m_mutex);
  m_iSearching = searching;
}

int QVUIScan::IsSearching() const {
  std::lock_guard g(m_mutex);
  return m_iSearching;
}

void QVUIScan::SetScanType(int viewType) {
  std::lock_guard g(m_mutex);
  m_iViewType = viewType;
}

int QVUIScan::GetScanType() const {
  std::lock_guard g(m_mutex);
  return m_iViewType;
}

IDataRecovery* QVUIScan::GetFileNodeDataRecover(IFileNode* node) {
  IFilesystemNode* root = QVCPPPublic::instance()->GetFileSystemNode(node);
  if (root == nullptr) return nullptr;
  std::lock_guard g(m_mutex);
  const auto it = m_dataRecoveryMap.find(root);
  return it == m_dataRecoveryMap.end() ? nullptr : it->second;
}

void QVUIScan::ReleaseDataRecovery() {
  std::map<IFilesystemNode*, IDataRecovery*> objects;
  {
    std::lock_guard g(m_mutex);
    objects.swap(m_dataRecoveryMap);
  }
  for (auto& [root, recovery] : objects) {
    if (recovery != nullptr) recovery->Release();
  }
}

void QVUIScan::UnselectAllNodes() {
  for (IFileNode* root : GetFileSystemNode()) root->SetCheck(kUnchecked);
}

std::string QVUIScan::GetNodeExt(IFileNode* node) {
  if (node == nullptr || node->GetFileName() == nullptr) return "";
  const std::string name = node->GetFileName();
  const auto dot = name.find_last_of('.');
  if (dot == std::string::npos) return "";
  std::string ext = name.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

std::uint64_t QVUIScan::GetScanFileCnt() const {
  std::lock_guard g(m_mutex);
  return m_u64FilesFound;
}

// A complete scan's sweep reports carry in their result field the files its
// searchers have recognised; they are counted in the trees only once built.
void QVUIScan::TrackSweepCount(const _PROGRESS_INFO& info) {
  std::lock_guard g(m_mutex);
  if (info.state == kProgressFirstSweep) {
    m_u64SweepBase = m_u64FilesFound;
    m_u64SweepFound = info.result;
  } else if (info.state == kProgressRunning) {
    m_u64SweepFound = std::max(m_u64SweepFound, info.result);
  } else if (info.state == kProgressFinished) {
    // The built trees hold the real count.
    m_u64SweepBase = 0;
    m_u64SweepFound = 0;
  }
}

std::uint64_t QVUIScan::GetFilesFoundSoFar() const {
  std::lock_guard g(m_mutex);
  return std::max(m_u64FilesFound, m_u64SweepBase + m_u64SweepFound);
}

std::uint64_t QVUIScan::GetScanFileSize() const {
  std::lock_guard g(m_mutex);
  return m_u64SizeFound;
}

void QVUIScan::ReCalTotalSize() {
  std::lock_guard g(m_mutex);
  std::uint64_t total = 0;
  for (const auto& [category, nodes] : m_typeMap) {
    for (IFileNode* n : nodes) {
      if (n->IsNodeShow() && n->GetFileSize() > 0) total += static_cast<std::uint64_t>(n->GetFileSize());
    }
  }
  m_u64SizeFound = total;
}

int QVUIScan::GetCurrentScanRecoveryCnt() const {
  std::lock_guard g(m_mutex);
  return m_iRecoveryCount;
}

void QVUIScan::SetCurrentScanRecoveryCnt(int count) {
  std::lock_guard g(m_mutex);
  m_iRecoveryCount = count;
}

RESULT QVUIScan::GetLastScanResult() const {
  std::lock_guard g(m_mutex);
  return m_lastResult;
}

long long QVUIScan::GetUnreadableSectors() const {
  std::lock_guard g(m_mutex);
  const long long bytes = UnreadableBytesSoFar() - m_unreadableAtStart;
  return bytes <= 0 ? 0 : (bytes + m_unreadableSectorSize - 1) / m_unreadableSectorSize;
}

platform::SourceIdentity QVUIScan::GetScannedIdentity() const {
  std::lock_guard g(m_mutex);
  return m_identity;
}

void QVUIScan::GetVolumeProgress(int& count, int& started) const {
  std::lock_guard g(m_mutex);
  count = m_iVolumeCount;
  started = m_iVolumeCount - m_iRemainingVolumes;
}

double QVUIScan::ClampPercent(double percent) {
  std::lock_guard g(m_mutex);
  if (percent < m_dLastPercent) percent = m_dLastPercent;
  m_dLastPercent = percent;
  return percent;
}

long long QVUIScan::ClampEstimate(long long seconds) {
  std::lock_guard g(m_mutex);
  if (m_llLastEstimate >= 0 && seconds > m_llLastEstimate) seconds = m_llLastEstimate;
  m_llLastEstimate = seconds;
  return seconds;
}
