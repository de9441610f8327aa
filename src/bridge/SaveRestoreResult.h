#pragma once
// Saving the current scan result to a scan-result file and loading one:
// the load finds the scanned device again and replays the saved trees into
// the tree builder from inside an ordinary scan, so the results fill as
// after a live scan.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "bridge/ScanResultFile.h"
#include "core/model/Contracts.h"
#include "core/model/FileNode.h"

class CHFSPlusVolume;

namespace SaveRestoreResult {

// The HFS+ volume of one restored tree, through which its compressed files
// are read; shared by the tree's nodes.
struct HfsVolumeContext {
  HfsVolumeContext(IStorageDevice* device, long long startSector, long long totalSectors);
  ~HfsVolumeContext();
  std::unique_ptr<IStorageDevice> window;
  std::unique_ptr<CHFSPlusVolume> volume;  // null when it does not open
};

// Save codes: 1 no container, 2 the file cannot be created, 3 nothing to
// save (no scanned device), 4 a write failed (the old file is kept).
enum SaveCode : int {
  kSaveOk = 0,
  kSaveNoContainer = 1,
  kSaveCannotCreate = 2,
  kSaveNothing = 3,
  kSaveWriteFailed = 4
};
// Load codes beyond those of the file: 6 the saved QDI image was not found,
// 7 the device was not found, 9 the tree frame is damaged (the trees before
// the damage are loaded), 10 the replay failed or no saved tree belongs to
// the device found.
enum LoadCode : int { kLoadQdiNotFound = 6, kLoadDeviceNotFound = 7, kLoadPartial = 9, kLoadReplayFailed = 10 };

// A found node rebuilt from its saved record.
class RestoreFileNode : public CFileNode {
 public:
  RestoreFileNode(const SavedNodeRecord& record, _tagSearcherType type,
                  std::shared_ptr<HfsVolumeContext> hfs = nullptr);
  ~RestoreFileNode() override;

  const char* GetFileName() override { return m_name.c_str(); }
  long long GetFileSize() override { return static_cast<long long>(m_size); }
  unsigned int GetAttribute() override { return m_attribute; }
  long long GetCreationTime() override { return m_ctime; }
  long long GetModificationTime() override { return m_mtime; }
  long long GetLastAccessTime() override { return m_atime; }
  int IsDirectory() override { return m_dir; }
  int IsDeleted() override { return m_deleted; }
  IFileNode* Clone() override;
  void MarkDeleted() override { m_deleted = 1; }
  IFileReader* CreateCompressFileReader(void* context) override;
  int IsCompressed() const override { return m_iCompressed; }
  void FilterFileNameByDot() override {}

 private:
  RestoreFileNode(const RestoreFileNode& other);

  std::string m_name;
  std::uint64_t m_size = 0;
  unsigned m_attribute = 0;
  long long m_ctime = 0;
  long long m_mtime = 0;
  long long m_atime = 0;
  int m_dir = 0;
  int m_deleted = 0;
  _tagSearcherType m_type;
  std::shared_ptr<HfsVolumeContext> m_hfs;
};

// The replay handed to the recovery controller in place of its search.
class RestoreScanSink : public ::RestoreScanSink {
 public:
  // `target` is the device the load scans (a disk, volume or image).
  RestoreScanSink(std::vector<SavedTree> trees, IStorageDevice* target);
  ~RestoreScanSink() override;

  RESULT SetDirecotryTreeBuilder(IDirecotryTreeBuilder* builder, IProgress* progress, IStorageDevice* device) override;
  std::vector<CSearchedPartitionInfo*>& GetSearchedPartition(_tagSearcherType type) override;
  int ClearMapCell();

  // Trees replayed so far.
  std::size_t ReplayedTrees() const { return m_replayed.size(); }

 private:
  bool Belongs(const SavedTree& tree, IStorageDevice* device) const;

  std::vector<SavedTree> m_trees;
  IStorageDevice* m_target;
  std::set<std::size_t> m_replayed;
  std::map<int, std::vector<CSearchedPartitionInfo*>> m_partitions;
};

// Synchronous save and load on the calling thread; the code, with `error`
// set on failure. `progress` receives the start, steps and two final records.
int SaveScanResult(const std::string& path, IProgress* progress, std::string& error);
int RestoreScanResult(const std::string& path, IProgress* progress, const std::string& imagePath, std::string& error);

// The same on a job thread: 0 started, -1 bad argument, -2 no thread, -3
// another job is running.
// Jobs named `ignoredJob` (the polling of this save or load) do not count.
// `ended`, when given, runs on the job thread once the final progress record
// has been handed on (only when the job started).
int DoSaveScanResult(const char* path, IProgress* progress, const char* ignoredJob = nullptr,
                     std::function<void()> ended = nullptr);
int DoRestoreScanResult(const char* path, IProgress* progress, const char* imagePath, const char* ignoredJob = nullptr,
                        std::function<void()> ended = nullptr);

// Progress of the last save (saver non-zero) or load.
void GetSaveorRestoreProgress(long long* total, long long* current, long long* error, int saver);
std::string GetLastError(int saver);

// Finds the device of a saved row: a QDI or Apple image by its record (the
// QDI image at `imagePath` when given), else the raw image at `imagePath`,
// else by index and capacity, then by name, file-system code and capacity.
IStorageDevice* GetFromDiskVolumeData(const SavedDevice& saved, const std::string& imagePath, std::string& error);

}  // namespace SaveRestoreResult
