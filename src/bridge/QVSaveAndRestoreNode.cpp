#include "bridge/QVSaveAndRestoreNode.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <set>
#include <string>

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

// Which save or load each polling follows. Every beginSaveOrRestoreNode is
// one operation of its kind (save or load), numbered from 1 and ended once
// its final progress record is handed on (a refused one at once). A polling
// follows the latest operation begun and not yet followed, else the next one
// begun that no other polling follows; so the windows may start the polling
// before or after the command, and a polling started after its operation has
// already ended still ends. The operations' status words play no part: a
// load that fails at once has set its word idle before a polling started
// after it could see it running.
class SaveRestoreWatch {
 public:
  static SaveRestoreWatch& instance() {
    // Never destroyed: a detached polling or job thread may still use it.
    static SaveRestoreWatch* watch = new SaveRestoreWatch();
    return *watch;
  }

  struct Following {
    std::uint64_t op = 0;
    std::uint64_t before = 0;  // what was followed before
  };

  Following Follow(int kind) {
    std::lock_guard g(m_lock);
    Kind& k = m_kinds[kind];
    Following f;
    f.before = k.followed;
    f.op = k.followed < k.begun ? k.begun : k.followed + 1;
    k.followed = f.op;
    // Operations passed over are followed by no polling.
    k.ended.erase(k.ended.upper_bound(f.before), k.ended.lower_bound(f.op));
    return f;
  }
  // Gives back a following whose polling could not start.
  void Unfollow(int kind, const Following& f) {
    std::lock_guard g(m_lock);
    if (m_kinds[kind].followed == f.op) m_kinds[kind].followed = f.before;
  }
  std::uint64_t Begin(int kind) {
    std::lock_guard g(m_lock);
    return ++m_kinds[kind].begun;
  }
  void End(int kind, std::uint64_t op) {
    {
      std::lock_guard g(m_lock);
      m_kinds[kind].ended.insert(op);
    }
    m_cv.notify_all();
  }
  // Waits at most `step` for operation `op` to end; true once it has ended
  // (it is then forgotten: one polling follows it).
  bool WaitEnded(int kind, std::uint64_t op, std::chrono::milliseconds step) {
    std::unique_lock lk(m_lock);
    Kind& k = m_kinds[kind];
    if (!m_cv.wait_for(lk, step, [&k, op] { return k.ended.count(op) != 0; })) return false;
    k.ended.erase(op);
    return true;
  }

 private:
  SaveRestoreWatch() = default;

  struct Kind {
    std::uint64_t begun = 0;
    std::uint64_t followed = 0;
    std::set<std::uint64_t> ended;
  };
  std::mutex m_lock;
  std::condition_variable m_cv;
  Kind m_kinds[2];
};

int KindOf(int save) { return save != 0 ? 1 : 0; }

// Posts `key` while operation `op` runs and "QueryProgressFinish" once it has
// ended, its final progress record in place.
void QueryUpdateUI(QVUIOperation* operation, int kind, std::uint64_t op, const std::string& key) {
  SaveRestoreWatch& watch = SaveRestoreWatch::instance();
  while (!watch.WaitEnded(kind, op, std::chrono::milliseconds(100))) {
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
  // Never destroyed: a job or polling thread may still use it at exit.
  static QVSaveAndRestoreNodeOperate* operation = new QVSaveAndRestoreNodeOperate();
  return operation;
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
  const int kind = KindOf(save);
  SaveRestoreWatch& watch = SaveRestoreWatch::instance();
  const SaveRestoreWatch::Following following = watch.Follow(kind);
  const std::uint64_t op = following.op;
  if (!bridge::JobRegistry::instance().Start(
          kPollJob, [operation, kind, op, postKey] { QueryUpdateUI(operation, kind, op, postKey); }, 0)) {
    watch.Unfollow(kind, following);
    return -2;
  }
  return 0;
}

int QVUIController::beginSaveOrRestoreNode(int save, const std::string& path, const std::string& qdiPath) {
  const int kind = KindOf(save);
  SaveRestoreWatch& watch = SaveRestoreWatch::instance();
  // Numbered before the job starts, so that its end cannot come first.
  const std::uint64_t op = watch.Begin(kind);
  auto ended = [kind, op] { SaveRestoreWatch::instance().End(kind, op); };
  auto& jobs = bridge::JobRegistry::instance();
  int r = -3;
  // Only the polling thread of this save or load may be running.
  if (jobs.Alive() > jobs.Alive(kPollJob)) {
    // refused
  } else if (save != 0) {
    QVSaveAndRestoreNodeOperate* operation = QVSaveAndRestoreNodeOperate::instance();
    operation->SetStatus(kOpRunning);
    r = SaveRestoreResult::DoSaveScanResult(path.c_str(), operation, kPollJob, ended);
    if (r != 0) operation->SetStatus(kOpIdle);
  } else {
    QVUIScan* scan = QVUIScan::instance();
    scan->ClearData();
    scan->SetStatus(kOpRunning);
    r = SaveRestoreResult::DoRestoreScanResult(path.c_str(), scan, qdiPath.empty() ? nullptr : qdiPath.c_str(),
                                               kPollJob, ended);
    if (r != 0) scan->SetStatus(kOpIdle);
  }
  // A refused save or load ends at once; its polling ends with it.
  if (r != 0) ended();
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
    if (list->IsDiskStorage(storage))
      list->GetDiskDataByStorage(storage, row);
    else
      list->GetVolumeDataByStorage(storage, row);
  }
  const std::time_t now = std::time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  char text[64];
  std::snprintf(text, sizeof text, "%02d-%02d-%04d at %02d:%02d:%02d", t.tm_mon + 1, t.tm_mday, t.tm_year + 1900,
                t.tm_hour, t.tm_min, t.tm_sec);
  return row.name + "_" + text;
}
