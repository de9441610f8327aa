#pragma once
// The recovery: copies the ticked files of the last scan into a destination
// folder, one numbered folder per searcher type, with their folder paths.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "bridge/QVUIOperation.h"
#include "core/model/Contracts.h"
#include "platform/HeldFolders.h"

class IDataRecovery;
class QVUIScan;

// A chosen file that was not written whole.
struct FailedRecovery {
  std::string name;     // the found file's path in its tree
  std::string written;  // what stays in the destination ("<name>.part"), "" when nothing
  std::string reason;
};

class QVUIRecovery : public QVUIOperation {
 public:
  static QVUIRecovery* instance();
  ~QVUIRecovery() override;

  // The recovery loop (worker thread); the last writer result.
  RESULT DoRecovery();
  void UpdateProgress(_PROGRESS_INFO* info) override;

  void ResetParam();
  void InitDataRecoveryController();
  void ReleaseDataRecovery();
  void SetRecoveryPath(const char* path);
  std::string GetRecoveryPath() const;
  void SetRecoveryTotalSize(std::uint64_t size);
  void SetRecoveryTotalFilesCnt(std::uint64_t count);
  std::uint64_t GetRecoveriedFileSize() const;
  std::uint64_t GetRecoveriedFilesCnt() const;
  IFileNode* GetCurrentRecoveryNode() const;
  void SetCreateDirIndex(_tagSearcherType type, int index);
  int GetCreateDirIndex(_tagSearcherType type) const;
  void ClearCreateDirIndex();
  IDataRecovery* GetDataRecoveryByType(_tagSearcherType type) const;
  int CheckWhetherNeedReset() const;
  // 1 when writing at `path` (existing or not) would write onto the storage
  // of the last scan.
  int RecoveryPathIsSameDevice(const char* path) const;

  // Outcome of the current or last run.
  std::uint64_t GetWrittenFilesCnt() const;
  // Files not written whole: nothing written, or incomplete (below).
  std::uint64_t GetFailedFilesCnt() const;
  // Files written with parts that could not be read (zeros stand there);
  // they count among the failed files, never as recovered.
  std::uint64_t GetIncompleteFilesCnt() const;
  std::uint64_t GetWrittenBytes() const;
  // Every chosen file of the current or last run that was not written whole.
  std::vector<FailedRecovery> GetFailedFiles() const;

  // The folder of a searcher type in this run: made on first use with the
  // first free four-digit counter; "" when it cannot be made.
  std::string TypeFolder(_tagSearcherType type, const std::string& destination);
  // The folders this run has made or checked below the destination, held
  // open until the run ends or the counters are forgotten.
  platform::HeldFolders& Folders() { return m_folders; }

 private:
  QVUIRecovery();

  IRecoveryController* m_pController = nullptr;
  std::string m_destination;
  std::uint64_t m_totalSize = 0;
  std::uint64_t m_totalFiles = 0;
  std::uint64_t m_recoveredSize = 0;
  std::uint64_t m_lastDone = 0;
  std::map<_tagSearcherType, IDataRecovery*> m_recoveryObjects;
  std::map<_tagSearcherType, int> m_dirIndex;
  std::map<_tagSearcherType, std::string> m_typeFolders;
  IFileNode* m_pCurrentNode = nullptr;
  std::uint64_t m_filesStarted = 0;
  int m_iDeep = 0;
  std::uint64_t m_written = 0;
  std::uint64_t m_failed = 0;
  std::uint64_t m_incomplete = 0;
  std::uint64_t m_writtenBytes = 0;
  std::vector<FailedRecovery> m_failedFiles;
  bool m_writeFailed = false;  // the current file's last write failed
  platform::HeldFolders m_folders;

  // Records a chosen file not written whole (`why`, when given, is the reason).
  void AddFailure(IFileNode* node, const std::string& path, RESULT result, std::uint64_t done,
                  const char* why = nullptr);
  // The steps of a recovery run: the counts emptied; the controller of the
  // scan (made again when the scan changed); the reader of one file's file
  // system; one chosen file written (`last` takes the writer's result when
  // it ran); what became of it counted.
  void ResetCounts();
  IRecoveryController* CurrentController(QVUIScan* scan);
  IDataRecovery* RecoveryFor(IRecoveryController* controller, IFileNode* node, QVUIScan* scan);
  void RecoverNode(IFileNode* node, QVUIScan* scan, const std::string& destination, RESULT& last);
  void CountOutcome(IFileNode* node, const std::string& path, RESULT result, long long unreadable);
};

// Where one found file is written below `destination` (which ends in "/"):
// its searcher type's folder, then the node's path with every name made safe,
// a taken name renamed "_%04d" before its extension. Folders are made; a
// folder node answers "". "" also when the path cannot be made.
std::string CreateRecoveryFilePathByNode(IFileNode* node, const char* destination);
// The free name for `target`: itself when nothing exists there, else
// "<stem>_0001<.ext>", "<stem>_0002<.ext>" ... in the same folder.
std::string FreeRecoveryName(const std::string& target);
