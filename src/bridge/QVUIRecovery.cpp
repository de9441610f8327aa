#include "bridge/QVUIRecovery.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <system_error>

#include "bridge/QVPublic.h"
#include "bridge/QVUIScan.h"
#include "core/device/AsyncReader.h"
#include "core/recovery/DataRecovery.h"
#include "core/recovery/FileReader.h"
#include "core/util/Log.h"
#include "platform/FolderProblem.h"
#include "platform/SafeFolders.h"

namespace {

constexpr _tagSearcherType kRecoveryTypes[] = {kSearcherHfsPlus,   kSearcherFat,  kSearcherExFat,
                                               kSearcherRawByType, kSearcherNtfs, kSearcherApfs};

std::string Counter(int n) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d", n);
  return buf;
}

std::string TreePath(IFileNode* node) {
  std::vector<const char*> names;
  for (IFileNode* n = node; n != nullptr && n->GetParent() != nullptr; n = n->GetParent()) {
    names.push_back(n->GetFileName());
  }
  std::string path;
  for (auto it = names.rbegin(); it != names.rend(); ++it) {
    path.push_back('/');
    if (*it != nullptr) path.append(*it);
  }
  return path.empty() ? std::string(1, '/') : path;
}

// Whether something is at `path`: looked for in its held folder when the
// run holds it, else by the whole path; a link is never followed.
bool EntryExists(const std::string& path) {
  if (const std::optional<bool> held = QVUIRecovery::instance()->Folders().EntryExists(path)) return *held;
  return platform::PathEntryExists(path);
}

std::string Parent(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

}  // namespace

QVUIRecovery* QVUIRecovery::instance() {
  // Never destroyed: a job or polling thread may still use it at exit.
  static QVUIRecovery* object = new QVUIRecovery();
  return object;
}

QVUIRecovery::QVUIRecovery() { ResetParam(); }

QVUIRecovery::~QVUIRecovery() { ReleaseDataRecovery(); }

void QVUIRecovery::ReleaseDataRecovery() {
  std::map<_tagSearcherType, IDataRecovery*> objects;
  {
    std::lock_guard g(m_mutex);
    objects.swap(m_recoveryObjects);
    m_pController = nullptr;
  }
  for (auto& [type, object] : objects) {
    if (object != nullptr) object->Release();
  }
}

void QVUIRecovery::ResetParam() {
  {
    std::lock_guard g(m_mutex);
    m_pController = nullptr;
    m_pCurrentNode = nullptr;
  }
  InitDataRecoveryController();
  std::lock_guard g(m_mutex);
  if (GetStatus() != kOpRunning) {
    m_recoveredSize = 0;
    m_totalSize = 0;
  }
  m_totalFiles = 0;
  SetNeedUIUpdate(0);
  SetProgressInfo(_PROGRESS_INFO{});
}

void QVUIRecovery::InitDataRecoveryController() {
  IRecoveryController* controller = nullptr;
  {
    std::lock_guard g(m_mutex);
    if (m_pController == nullptr) m_pController = QVUIScan::instance()->GetRecoveryController();
    controller = m_pController;
  }
  if (controller == nullptr) return;
  std::map<_tagSearcherType, IDataRecovery*> fresh;
  for (_tagSearcherType type : kRecoveryTypes) fresh[type] = controller->GetDataRecovery(type);
  fresh[kSearcherRawByLabel] = controller->GetDataRecovery(kSearcherRawByType);
  std::map<_tagSearcherType, IDataRecovery*> old;
  {
    std::lock_guard g(m_mutex);
    old.swap(m_recoveryObjects);
    m_recoveryObjects = std::move(fresh);
  }
  for (auto& [type, object] : old) {
    if (object != nullptr) object->Release();
  }
  if (QVUIScan::instance()->IsDeepScan()) {
    std::lock_guard g(m_mutex);
    m_iDeep = 1;
  }
}

void QVUIRecovery::SetRecoveryPath(const char* path) {
  std::lock_guard g(m_mutex);
  m_destination = path != nullptr ? path : "";
}

std::string QVUIRecovery::GetRecoveryPath() const {
  std::lock_guard g(m_mutex);
  return m_destination;
}

void QVUIRecovery::SetRecoveryTotalSize(std::uint64_t size) {
  std::lock_guard g(m_mutex);
  m_totalSize = size;
}

void QVUIRecovery::SetRecoveryTotalFilesCnt(std::uint64_t count) {
  std::lock_guard g(m_mutex);
  m_totalFiles = count;
}

std::uint64_t QVUIRecovery::GetRecoveriedFileSize() const {
  std::lock_guard g(m_mutex);
  return m_recoveredSize;
}

std::uint64_t QVUIRecovery::GetRecoveriedFilesCnt() const {
  std::lock_guard g(m_mutex);
  return m_filesStarted;
}

IFileNode* QVUIRecovery::GetCurrentRecoveryNode() const {
  std::lock_guard g(m_mutex);
  return m_pCurrentNode;
}

void QVUIRecovery::SetCreateDirIndex(_tagSearcherType type, int index) {
  std::lock_guard g(m_mutex);
  m_dirIndex[type] = index;
}

int QVUIRecovery::GetCreateDirIndex(_tagSearcherType type) const {
  std::lock_guard g(m_mutex);
  const auto it = m_dirIndex.find(type);
  return it == m_dirIndex.end() ? 0 : it->second;
}

void QVUIRecovery::ClearCreateDirIndex() {
  std::lock_guard g(m_mutex);
  m_dirIndex.clear();
  m_typeFolders.clear();
  m_folders.Clear();
}

IDataRecovery* QVUIRecovery::GetDataRecoveryByType(_tagSearcherType type) const {
  std::lock_guard g(m_mutex);
  const auto it = m_recoveryObjects.find(type);
  return it == m_recoveryObjects.end() ? nullptr : it->second;
}

int QVUIRecovery::CheckWhetherNeedReset() const {
  std::lock_guard g(m_mutex);
  return m_recoveryObjects.empty() ? 1 : 0;
}

int QVUIRecovery::RecoveryPathIsSameDevice(const char* path) const {
  if (path == nullptr) return 0;
  const platform::SourceIdentity id = QVUIScan::instance()->GetScannedIdentity();
  return platform::DestinationOnSource(id, path) ? 1 : 0;
}

std::uint64_t QVUIRecovery::GetWrittenFilesCnt() const {
  std::lock_guard g(m_mutex);
  return m_written;
}

std::uint64_t QVUIRecovery::GetFailedFilesCnt() const {
  std::lock_guard g(m_mutex);
  return m_failed;
}

std::uint64_t QVUIRecovery::GetIncompleteFilesCnt() const {
  std::lock_guard g(m_mutex);
  return m_incomplete;
}

std::uint64_t QVUIRecovery::GetWrittenBytes() const {
  std::lock_guard g(m_mutex);
  return m_writtenBytes;
}

std::vector<FailedRecovery> QVUIRecovery::GetFailedFiles() const {
  std::lock_guard g(m_mutex);
  return m_failedFiles;
}

// Records why `node` was not written whole. What was written of it is kept
// under its name with ".part" added, so that nothing in the destination
// looks complete without being so; an empty leftover is removed.
void QVUIRecovery::AddFailure(IFileNode* node, const std::string& path, RESULT result, std::uint64_t done,
                              const char* why) {
  FailedRecovery failure;
  failure.name = node != nullptr ? TreePath(node) : "";
  const long long size = node != nullptr ? node->GetFileSize() : 0;
  std::error_code ec;
  const bool leftover = !path.empty() && std::filesystem::is_regular_file(path, ec);
  const std::uintmax_t kept = leftover ? std::filesystem::file_size(path, ec) : 0;
  if (leftover && !ec) done = std::max<std::uint64_t>(done, kept);
  const std::string written = std::to_string(done) + " of " + std::to_string(size) + " bytes written";
  const std::string folderProblem = platform::FolderWriteProblem(path.empty() ? GetRecoveryPath() : Parent(path));
  const std::uint32_t code = result::CodeOf(result);
  bool writeFailed;
  {
    std::lock_guard g(m_mutex);
    writeFailed = m_writeFailed;
  }
  if (why != nullptr) {
    failure.reason = why;
  } else if (path.empty()) {
    failure.reason = "no destination path could be made" + (folderProblem.empty() ? "" : ": " + folderProblem);
  } else if (!writeFailed && result::Succeeded(result) && GetStatus() != kOpRunning) {
    failure.reason = "stopped before its end (" + written + ")";
  } else if (code == kRecNoReader) {
    failure.reason = "its data could not be found on the source";
  } else if (!writeFailed && result::Succeeded(result)) {
    failure.reason = "the source gave less than its size (" + written + ")";
  } else if (code == kRecDestination || code == kRecWriteFailed || result::Succeeded(result)) {
    failure.reason = "writing failed (" + written + ")" + (folderProblem.empty() ? "" : ": " + folderProblem);
  } else {
    failure.reason = "the recovery failed (code " + std::to_string(code) + ")";
  }
  if (leftover) {
    if (kept == 0 || ec) {
      std::filesystem::remove(path, ec);
    } else {
      const std::string part = FreeRecoveryName(path + ".part");
      if (!part.empty() && !std::filesystem::exists(part, ec)) {
        std::filesystem::rename(path, part, ec);
        failure.written = ec ? path : part;
      } else {
        failure.written = path;
      }
    }
  }
  CatchExeception::WriteLog("not recovered: %s: %s\n", failure.name.c_str(), failure.reason.c_str());
  std::lock_guard g(m_mutex);
  ++m_failed;
  m_failedFiles.push_back(std::move(failure));
}

std::string QVUIRecovery::TypeFolder(_tagSearcherType type, const std::string& destination) {
  std::lock_guard g(m_mutex);
  const auto known = m_typeFolders.find(type);
  if (known != m_typeFolders.end()) return known->second;
  std::error_code ec;
  std::filesystem::create_directories(destination, ec);
  const std::string prefix = QVUIPublic::GetFileSystemStrByType(type);
  for (int n = 1; n <= 9999; ++n) {
    const std::string name = prefix + Counter(n);
    const std::string folder = destination + name;
    if (EntryExists(folder)) continue;
    if (!m_folders.MakeBelow(destination, name)) return "";
    m_dirIndex[type] = n;
    m_typeFolders[type] = folder;
    return folder;
  }
  return "";
}

std::string FreeRecoveryName(const std::string& target) {
  if (!EntryExists(target)) return target;
  const auto slash = target.find_last_of('/');
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const auto dot = target.find_last_of('.');
  const bool hasExt = dot != std::string::npos && dot > nameStart;
  const std::string stem = hasExt ? target.substr(0, dot) : target;
  const std::string ext = hasExt ? target.substr(dot) : "";
  for (int n = 1; n <= 9999; ++n) {
    const std::string candidate = stem + "_" + Counter(n) + ext;
    if (!EntryExists(candidate)) return candidate;
  }
  return "";
}

std::string CreateRecoveryFilePathByNode(IFileNode* node, const char* destination) {
  if (node == nullptr || destination == nullptr || !node->IsNodeShow()) return "";
  const auto type = static_cast<_tagSearcherType>(QVCPPPublic::instance()->GetNodeSearcheType(node));
  if (type == kSearcherNone) return "";
  const std::string folder = QVUIRecovery::instance()->TypeFolder(type, destination);
  if (folder.empty()) return "";
  // Every name is one safe component, so the path stays inside the folder.
  const std::string relative = bridge::SafeRelativePath(node);
  platform::HeldFolders& folders = QVUIRecovery::instance()->Folders();
  if (node->IsDirectory()) {
    folders.MakeBelow(folder, relative);
    return "";
  }
  const auto slash = relative.find_last_of('/');
  if (!folders.MakeBelow(folder, relative.substr(0, slash))) return "";
  std::string target = folder + relative;
  for (int tries = 0; tries < 4; ++tries) {
    target = FreeRecoveryName(target);
    if (target.empty()) return "";
    if (!EntryExists(target)) return target;
  }
  return "";
}

void QVUIRecovery::ResetCounts() {
  std::lock_guard g(m_mutex);
  m_recoveredSize = 0;
  m_filesStarted = 0;
  m_written = 0;
  m_failed = 0;
  m_incomplete = 0;
  m_writtenBytes = 0;
  m_lastDone = 0;
  m_failedFiles.clear();
}

IRecoveryController* QVUIRecovery::CurrentController(QVUIScan* scan) {
  bool noController;
  {
    std::lock_guard g(m_mutex);
    noController = m_pController == nullptr || (scan->IsDeepScan() && m_iDeep == 0);
  }
  if (noController) ResetParam();
  std::lock_guard g(m_mutex);
  return m_pController;
}

IDataRecovery* QVUIRecovery::RecoveryFor(IRecoveryController* controller, IFileNode* node, QVUIScan* scan) {
  if (controller->thisType() == kControllerQuick) return scan->GetFileNodeDataRecover(node);
  const auto type = static_cast<_tagSearcherType>(QVCPPPublic::instance()->GetNodeSearcheType(node));
  return GetDataRecoveryByType(type);
}

void QVUIRecovery::CountOutcome(IFileNode* node, const std::string& path, RESULT result, long long unreadable) {
  const long long size = node->GetFileSize();
  if (unreadable > 0) {
    CatchExeception::WriteLog("incomplete: %s (%lld sectors could not be read)\n", path.c_str(), unreadable);
  }
  std::uint64_t done;
  {
    std::lock_guard g(m_mutex);
    done = m_lastDone;
  }
  const bool whole = size <= 0 || done >= static_cast<std::uint64_t>(size);
  // An empty file has no data to read: the created file is the whole of it.
  const bool emptyCreated = size == 0 && result::CodeOf(result) == kRecNoReader;
  if (unreadable > 0 && result::Succeeded(result)) {
    std::lock_guard g(m_mutex);
    ++m_incomplete;
    ++m_failed;
    m_failedFiles.push_back(FailedRecovery{
        TreePath(node), path, std::to_string(unreadable) + " sectors could not be read and stand as zeros"});
  } else if ((result::Succeeded(result) && whole) || emptyCreated) {
    std::lock_guard g(m_mutex);
    ++m_written;
    m_writtenBytes += size > 0 ? static_cast<std::uint64_t>(size) : 0;
  } else {
    AddFailure(node, path, result, done);
  }
}

void QVUIRecovery::RecoverNode(IFileNode* node, QVUIScan* scan, const std::string& destination, RESULT& last) {
  IRecoveryController* controller = CurrentController(scan);
  if (controller == nullptr) return;
  IDataRecovery* object = RecoveryFor(controller, node, scan);
  if (object == nullptr) {
    AddFailure(node, "", 0, 0, "no reader for its file system");
    return;
  }
  IFileReader* reader = object->SetRecoverNode(node);
  {
    std::lock_guard g(m_mutex);
    m_pCurrentNode = node;
    ++m_filesStarted;
    m_lastDone = 0;
    m_writeFailed = false;
  }
  const std::string path = CreateRecoveryFilePathByNode(node, destination.c_str());
  if (path.empty()) {
    CatchExeception::WriteLog("no destination path for %s\n", node->GetFileName() ? node->GetFileName() : "");
    if (reader != nullptr) reader->Release();
    AddFailure(node, "", 0, 0);
    return;
  }
  object->SetRecoveryRoot(destination.c_str());
  object->SetHeldFolders(&m_folders);
  last = object->RecoverTo(path.c_str(), this, 0);
  if (reader != nullptr) reader->Release();
  CountOutcome(node, path, last, object->LastUnreadableSectors());
}

RESULT QVUIRecovery::DoRecovery() {
  // A device that hung in the scan gets another chance; unreadable sectors
  // count anew.
  NewReadSession();
  ResetCounts();
  QVUIScan* scan = QVUIScan::instance();
  scan->SetCurrentScanRecoveryCnt(scan->GetCurrentScanRecoveryCnt() + 1);
  const QVTypeMap types = scan->GetTypeMap();
  const std::string destination = GetRecoveryPath();
  RESULT last = 0;
  for (auto cat = types.begin(); cat != types.end() && Continued(); ++cat) {
    for (auto it = cat->second.begin(); it != cat->second.end() && Continued(); ++it) {
      IFileNode* node = *it;
      if (node == nullptr || !node->IsNodeShow() || node->GetCheckedStatus() != kChecked) continue;
      RecoverNode(node, scan, destination, last);
    }
  }
  // The folders stay open only while the run writes into them.
  m_folders.Clear();
  SetNeedUIUpdate(1);
  SetStatus(kOpIdle);
  CatchExeception::WriteLog("========Recovery finished!==========\n");
  return last;
}

void QVUIRecovery::UpdateProgress(_PROGRESS_INFO* info) {
  if (info == nullptr) return;
  if (info->state == kProgressRefresh) {
    SetNeedUIUpdate(1);
    return;
  }
  bool pause = false;
  {
    std::lock_guard g(m_mutex);
    if (info->done > m_lastDone) m_recoveredSize += info->done - m_lastDone;
    m_lastDone = info->done;
    _PROGRESS_INFO stored{};
    stored.total = m_totalSize;
    stored.done = m_recoveredSize;
    stored.result = info->result;
    SetProgressInfo(stored);
    if (m_pCurrentNode != nullptr && info->total != 0 && info->done == info->total) {
      const char* name = m_pCurrentNode->GetFileName();
      CatchExeception::WriteLog("===Recvoeried file(%lld):%s=====\n", static_cast<long long>(m_filesStarted),
                                name != nullptr ? name : "");
    }
    pause = (info->result & 0xFFFFFFFFull) == kRecWriteFailed;
    if (pause) m_writeFailed = true;
  }
  if (pause) SetStatus(kOpPaused);
  SetNeedUIUpdate(1);
}
