#include "bridge/QVSaveAndRestoreNode.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>

#include "bridge/BridgeServices.h"
#include "bridge/JobThreads.h"
#include "bridge/QVPublic.h"
#include "bridge/QVUIController.h"
#include "bridge/QVUIDeviceData.h"
#include "bridge/QVUIScan.h"
#include "bridge/SaveRestoreResult.h"
#include "core/util/Log.h"

namespace {

constexpr const char* kPollJob = "SaveRestorePoll";

// Posts `key` while the operation runs and "QueryProgressFinish" at its end.
void QueryUpdateUI(QVUIOperation* operation, const std::string& key) {
  while (!operation->IsOperationExit()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (operation->IsNeedUIUpdate()) {
      operation->SetNeedUIUpdate(0);
      QVUIPublic::NotifyMainThread(key);
    }
  }
  CatchExeception::WriteLog("---------Send Progress finish notify to UI-------\n");
  QVUIPublic::NotifyMainThread(kQueryProgressFinish);
  CatchExeception::WriteLog("---------The Progress thread is exited-----------\n");
}

}  // namespace

QVSaveAndRestoreNodeOperate* QVSaveAndRestoreNodeOperate::instance() {
  static QVSaveAndRestoreNodeOperate operation;
  return &operation;
}

void QVSaveAndRestoreNodeOperate::UpdateProgress(_PROGRESS_INFO* info) {
  if (info != nullptr) {
    SetProgressInfo(*info);
    if (info->state == kProgressFinished) {
      SetStatus(kOpIdle);
      std::printf("=====Scan Progress finished!=====\n");
    }
  }
  SetNeedUIUpdate(1);
}

int QVUIController::RestorPostUIUpdate(const std::string& postKey, int save) {
  QVUIOperation* operation = save != 0 ? static_cast<QVUIOperation*>(QVSaveAndRestoreNodeOperate::instance())
                                       : static_cast<QVUIOperation*>(QVUIScan::instance());
  operation->SetStatus(kOpRunning);
  if (!bridge::JobRegistry::instance().Start(kPollJob, [operation, postKey] { QueryUpdateUI(operation, postKey); }, 0)) {
    operation->SetStatus(kOpIdle);
    return -2;
  }
  return 0;
}

int QVUIController::beginSaveOrRestoreNode(int save, const std::string& path, const std::string& qdiPath) {
  auto& jobs = bridge::JobRegistry::instance();
  // Only the polling thread of this save or load may be running.
  if (jobs.Alive() > jobs.Alive(kPollJob)) return -3;
  if (save != 0) {
    QVSaveAndRestoreNodeOperate* operation = QVSaveAndRestoreNodeOperate::instance();
    operation->SetStatus(kOpRunning);
    const int r = SaveRestoreResult::DoSaveScanResult(path.c_str(), operation, kPollJob);
    if (r != 0) operation->SetStatus(kOpIdle);
    return r;
  }
  QVUIScan* scan = QVUIScan::instance();
  scan->ClearData();
  scan->SetStatus(kOpRunning);
  const int r = SaveRestoreResult::DoRestoreScanResult(path.c_str(), scan, qdiPath.empty() ? nullptr : qdiPath.c_str(),
                                                       kPollJob);
  if (r != 0) scan->SetStatus(kOpIdle);
  return r;
}

void QVUIController::GetSaveorRestoreProgress(long long& total, long long& current, long long& error, int saver) {
  SaveRestoreResult::GetSaveorRestoreProgress(&total, &current, &error, saver);
}

void QVUIController::SavePathToPList(const std::string& path) { bridge::Settings().SetString("SavePath", path); }

std::string QVUIController::GetSavePath() { return bridge::Settings().GetString("SavePath", ""); }

std::string QVUIController::GetSaveFileName() {
  _DiskVolumeData row;
  IStorageDevice* storage = QVUIScan::instance()->GetSavedStorage();
  QVUIDeviceData* list = QVUIDeviceData::instance();
  if (storage != nullptr) {
    if (list->IsDiskStorage(storage)) list->GetDiskDataByStorage(storage, row);
    else list->GetVolumeDataByStorage(storage, row);
  }
  const std::time_t now = std::time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  char text[64];
  std::snprintf(text, sizeof text, "%02d-%02d-%04d at %02d:%02d:%02d", t.tm_mon + 1, t.tm_mday, t.tm_year + 1900,
                t.tm_hour, t.tm_min, t.tm_sec);
  return row.name + "_" + text;
}
