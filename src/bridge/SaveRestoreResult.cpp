#include "bridge/SaveRestoreResult.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "bridge/AppleDiskImage.h"
#include "bridge/ImageDiskDevice.h"
#include "bridge/JobThreads.h"
#include "bridge/QVPublic.h"
#include "bridge/QVUIDeviceData.h"
#include "bridge/QVUIFilter.h"
#include "bridge/QVUIRecovery.h"
#include "bridge/QVUIScan.h"
#include "core/archive/RSData.h"
#include "core/archive/RSException.h"
#include "core/compress/CompressFileReader.h"
#include "core/controller/DeviceDescription.h"
#include "core/device/DeviceData.h"
#include "core/image/QdiDevice.h"
#include "core/model/ResultCode.h"
#include "core/recovery/DataRecovery.h"
#include "core/util/Log.h"
#include "hfsplus/CompressFileReader.h"
#include "hfsplus/HfsPlusVolume.h"

namespace SaveRestoreResult {
namespace {

// Progress of one save or load: 5 at the start, at most 98 on the way,
// steps at least 100 ms apart, then 100.
class ProgressReporter {
 public:
  ProgressReporter(IProgress* sink, int saver) : m_sink(sink), m_saver(saver) {}

  void Start() {
    _PROGRESS_INFO info{};
    info.state = kProgressRunning;
    info.total = 100;
    info.done = 5;
    m_done = 5;
    Hand(info);
    m_last = std::chrono::steady_clock::now();
  }
  void Step() {
    const auto now = std::chrono::steady_clock::now();
    if (now - m_last < std::chrono::milliseconds(100)) return;
    m_last = now;
    if (m_done + 2 < 100) ++m_done;
    _PROGRESS_INFO info{};
    info.state = kProgressRunning;
    info.total = 100;
    info.done = m_done;
    Hand(info);
  }
  // The final record; a failure is handed on twice, as the windows expect.
  void Finish(int code) {
    _PROGRESS_INFO info{};
    info.state = kProgressFinished;
    info.total = 100;
    info.done = 100;
    info.result = static_cast<std::uint64_t>(static_cast<std::int64_t>(code));
    if (code != 0) Hand(info);
    Hand(info);
  }

 private:
  void Hand(_PROGRESS_INFO& info);

  IProgress* m_sink;
  int m_saver;
  std::uint64_t m_done = 5;
  std::chrono::steady_clock::time_point m_last{};
};

std::mutex g_progressLock;
_PROGRESS_INFO g_progress[2]{};
std::string g_lastError[2];

void ProgressReporter::Hand(_PROGRESS_INFO& info) {
  {
    std::lock_guard g(g_progressLock);
    g_progress[m_saver != 0 ? 1 : 0] = info;
  }
  if (m_sink != nullptr) m_sink->UpdateProgress(&info);
}

void SetLastError(int saver, const std::string& error) {
  std::lock_guard g(g_progressLock);
  g_lastError[saver != 0 ? 1 : 0] = error;
}

bool SyncFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

// The row, image records and trees of the current scan result.
int CollectScan(SavedDevice& device, int& controllerType, int& deep, std::vector<TreeToSave>& trees,
                std::string& imageSource, std::string& error) {
  QVUIScan* scan = QVUIScan::instance();
  IStorageDevice* storage = scan->GetSavedStorage();
  if (storage == nullptr) {
    error = "there is no scan result to save";
    return kSaveNothing;
  }
  controllerType = static_cast<int>(scan->GetScanControllerType(storage));
  deep = scan->IsDeepScan();
  QVUIDeviceData* list = QVUIDeviceData::instance();
  const int got = list->IsDiskStorage(storage) ? list->GetDiskDataByStorage(storage, device.row)
                                               : list->GetVolumeDataByStorage(storage, device.row);
  if (got == 0) {
    error = "the scanned device is no longer in the device list";
    return kSaveNothing;
  }
  IStorageDevice* owner = list->IsDiskStorage(storage) ? storage : list->GetDiskStorageByVolumeStorage(storage);
  if (auto* image = dynamic_cast<CImageDiskDevice*>(owner)) imageSource = image->Path();
  if (auto* image = dynamic_cast<CImageDiskDevice*>(storage)) {
    if (const CDMGDeviceInfoStruct* dmg = GetDMGInfo(image->Image())) {
      const auto bytes = SerializeDmgInfo(*dmg);
      device.dmgInfo.assign(bytes.begin(), bytes.end());
    }
    if (const CQDIDeviceInfoStruct* qdi = GetQDIInfo(image->Image())) {
      const auto bytes = SerializeQdiInfo(*qdi);
      device.qdiInfo.assign(bytes.begin(), bytes.end());
    }
  }
  for (IFileNode* root : scan->GetFileSystemNode()) {
    if (root == nullptr) continue;
    TreeToSave tree;
    tree.root = root;
    IDataRecovery* recovery = controllerType == kControllerQuick
                                  ? scan->GetFileNodeDataRecover(root)
                                  : QVUIRecovery::instance()->GetDataRecoveryByType(static_cast<_tagSearcherType>(
                                        QVCPPPublic::instance()->GetNodeSearcheType(root)));
    if (recovery != nullptr) tree.partitions = recovery->GetSearchedPartition();
    trees.push_back(tree);
  }
  return kSaveOk;
}

IStorageDevice* DeviceAt(int disk, int volume) {
  return QVUIDeviceData::instance()->GetStorageByDiskVolumeIndex(disk, volume);
}

long long CapacityOf(IStorageDevice* device, int volume) {
  _DiskVolumeData row;
  QVUIDeviceData* list = QVUIDeviceData::instance();
  const int got = volume < 0 ? list->GetDiskDataByStorage(device, row) : list->GetVolumeDataByStorage(device, row);
  return got != 0 ? row.capacity : -1;
}

// Opens the image at `path` and takes the saved volume of it.
IStorageDevice* OpenImageDevice(const std::string& path, const _DiskVolumeData& row, std::string& error) {
  const int disk = QVUIDeviceData::instance()->QVOpenImageFile(path, error);
  if (disk < 0) {
    error = path + ": " + error;
    return nullptr;
  }
  IStorageDevice* device = DeviceAt(disk, row.volumeIndex);
  if (device == nullptr || CapacityOf(device, row.volumeIndex) != row.capacity) {
    error = path + ": the image does not hold the saved device";
    return nullptr;
  }
  return device;
}

// Sectors [start, start + total) of a parent device (not owned).
class OffsetDevice final : public IStorageDevice {
 public:
  OffsetDevice(IStorageDevice* parent, long long start, long long total)
      : m_parent(parent), m_start(start), m_total(total) {}
  int Open(char*) override { return 1; }
  int Close() override { return 1; }
  int ReadSector(void* buffer, long long sector, long long count) override {
    if (sector < 0 || count <= 0 || sector >= m_total || count > m_total - sector) return 0;
    return m_parent->ReadSector(buffer, m_start + sector, count);
  }
  int GetSectorSize() override { return m_parent->GetSectorSize(); }
  long long GetTotalSectors() override { return m_total; }
  int IOCtl(unsigned long long code, void* arg) override { return m_parent->IOCtl(code, arg); }
  IStorageDeviceData* GetPrivateData() override { return nullptr; }
  void SetPrivateData(IStorageDeviceData* data) override { delete data; }
  int GetType() override { return kDevicePartition; }
  RESULT GetLastError() override { return m_parent->GetLastError(); }
  long long GetStartSector() override { return m_start; }

 private:
  IStorageDevice* m_parent;
  long long m_start;
  long long m_total;
};

}  // namespace

HfsVolumeContext::HfsVolumeContext(IStorageDevice* device, long long startSector, long long totalSectors) {
  const long long deviceSectors = device->GetTotalSectors();
  if (startSector < 0 || startSector >= deviceSectors) return;
  if (totalSectors <= 0 || totalSectors > deviceSectors - startSector) totalSectors = deviceSectors - startSector;
  IStorageDevice* at = device;
  if (startSector != 0 || totalSectors != deviceSectors) {
    window = std::make_unique<OffsetDevice>(device, startSector, totalSectors);
    at = window.get();
  }
  volume = std::make_unique<CHFSPlusVolume>(at, true);
  // Opened without its catalog the volume answers a failure code by design;
  // what counts is that its header and trees were read.
  if (volume->GetVolumeHeader() == nullptr) volume.reset();
}

HfsVolumeContext::~HfsVolumeContext() = default;

// --- restored nodes ---

RestoreFileNode::RestoreFileNode(const SavedNodeRecord& r, _tagSearcherType type, std::shared_ptr<HfsVolumeContext> hfs)
    : m_name(r.name),
      m_size(r.size),
      m_attribute(r.attribute),
      m_ctime(r.creationTime),
      m_mtime(r.modificationTime),
      m_atime(r.accessTime),
      m_dir(r.directory != 0 ? 1 : 0),
      m_deleted(r.deleted != 0 ? 1 : 0),
      m_type(type),
      m_hfs(std::move(hfs)) {
  m_llNodeId = r.id;
  m_llParentNodeId = r.parentId;
  m_iCompressed = r.compressed != 0 ? 1 : 0;
  if (!r.runs.empty()) {
    auto* list = new CDataRunList();
    for (const DataRun& run : r.runs) list->AddDataRun(&run);
    SetDataRunList(list);
  }
  SetBelongedPartition(r.partition);
  SetMetaDataSector(r.metadataSector);
  ShowNode(1);
}

RestoreFileNode::RestoreFileNode(const RestoreFileNode& other)
    : CFileNode(other),
      m_name(other.m_name),
      m_size(other.m_size),
      m_attribute(other.m_attribute),
      m_ctime(other.m_ctime),
      m_mtime(other.m_mtime),
      m_atime(other.m_atime),
      m_dir(other.m_dir),
      m_deleted(other.m_deleted),
      m_type(other.m_type),
      m_hfs(other.m_hfs) {
  m_pDataRunList = nullptr;
  if (other.m_pDataRunList != nullptr) SetDataRunList(other.m_pDataRunList->Clone());
}

RestoreFileNode::~RestoreFileNode() = default;

IFileNode* RestoreFileNode::Clone() { return new RestoreFileNode(*this); }

IFileReader* RestoreFileNode::CreateCompressFileReader(void*) {
  if (m_type == kSearcherNtfs) return new CCompressFileReader();
  if (m_type == kSearcherHfsPlus && m_hfs && m_hfs->volume)
    return new CHFSPlusCompressFileReader(m_hfs->volume.get(), this);
  return nullptr;
}

// --- the replay ---

RestoreScanSink::RestoreScanSink(std::vector<SavedTree> trees, IStorageDevice* target)
    : m_trees(std::move(trees)), m_target(target) {}

RestoreScanSink::~RestoreScanSink() { ClearMapCell(); }

int RestoreScanSink::ClearMapCell() {
  for (auto& [type, list] : m_partitions) {
    for (CSearchedPartitionInfo* p : list) delete p;
  }
  m_partitions.clear();
  return 0;
}

std::vector<CSearchedPartitionInfo*>& RestoreScanSink::GetSearchedPartition(_tagSearcherType type) {
  return m_partitions[static_cast<int>(type)];
}

bool RestoreScanSink::Belongs(const SavedTree& tree, IStorageDevice* device) const {
  if (device == m_target) return true;
  // A volume of a disk scanned volume by volume: the trees named after it.
  _DiskVolumeData row;
  if (QVUIDeviceData::instance()->GetVolumeDataByStorage(device, row) != 0 && !row.name.empty() &&
      row.name == tree.volumeName) {
    return true;
  }
  return device_description::GetDeviceDescription(device) == tree.volumeName;
}

RESULT RestoreScanSink::SetDirecotryTreeBuilder(IDirecotryTreeBuilder* builder, IProgress* progress,
                                                IStorageDevice* device) {
  if (builder == nullptr || device == nullptr) return 0;
  ClearMapCell();
  for (std::size_t i = 0; i < m_trees.size(); ++i) {
    if (progress != nullptr && progress->Continued() == 0) break;
    const SavedTree& tree = m_trees[i];
    if (m_replayed.count(i) != 0 || !Belongs(tree, device)) continue;
    m_replayed.insert(i);
    const auto type = static_cast<_tagSearcherType>(tree.searcherType);
    std::vector<CSearchedPartitionInfo*>& partitions = m_partitions[static_cast<int>(type)];
    for (const SavedPartition& p : tree.partitions) {
      auto block = p.block;
      std::fill(block.begin(), block.begin() + 16, std::uint8_t{0});
      auto record = std::make_unique<CSearchedPartitionInfo>(512);
      if (record->FromStoredImage(block)) partitions.push_back(record.release());
    }
    builder->AddSearcherInfo(type, tree.root.id);
    builder->SetPartitonDevice(partitions.empty() ? nullptr : partitions.front(), device);
    // One HFS+ volume per tree, at the tree's own partition.
    std::shared_ptr<HfsVolumeContext> hfs;
    if (type == kSearcherHfsPlus) {
      const CSearchedPartitionInfo* p = partitions.empty() ? nullptr : partitions.front();
      hfs = std::make_shared<HfsVolumeContext>(device, p != nullptr ? p->m_llStartSector : 0,
                                               p != nullptr ? p->GetTotalSectors() : 0);
    }
    for (const SavedNodeRecord& record : tree.nodes) {
      if (progress != nullptr && progress->Continued() == 0) break;
      auto* node = new RestoreFileNode(record, type, hfs);
      if (builder->AddNode(node, type) == 0) node->Release();
    }
    builder->FlashBuild(type);
  }
  return 0;
}

// --- save and load ---

int SaveScanResult(const std::string& path, IProgress* progress, std::string& error) {
  ProgressReporter report(progress, 1);
  report.Start();
  auto finish = [&](int code) {
    SetLastError(1, error);
    if (code != 0) CatchExeception::WriteLog("save of %s failed: %s\r\n", path.c_str(), error.c_str());
    report.Finish(code);
    return code;
  };
  SavedDevice device;
  int controllerType = 3;
  int deep = 0;
  std::vector<TreeToSave> trees;
  std::string imageSource;
  if (const int code = CollectScan(device, controllerType, deep, trees, imageSource, error); code != 0) {
    return finish(code);
  }

  // Written beside the destination and renamed over it only when complete.
  const std::string part = path + ".part";
  auto file = std::make_unique<CRSData>(RSModeWrite);
  try {
    if (file->StartRS(part.c_str(), 1) == 0) {
      error = part + ": " + std::strerror(errno);
      return finish(kSaveCannotCreate);
    }
    FILEHEADER header;
    header.status = 0;
    if (file->WriteFileHeader(header) == 0) throw CRSException(CRSException::kWriteFailed);
    report.Step();
    scan_result_file::WriteScanKind(*file, controllerType, deep);
    report.Step();
    scan_result_file::WriteDevice(*file, device);
    report.Step();
    if (!imageSource.empty()) scan_result_file::WriteImageSource(*file, imageSource);
    scan_result_file::WriteTrees(*file, trees, [&report] { report.Step(); });
    if (file->SetStatus(1) == 0) throw CRSException(CRSException::kWriteFailed);
    file->EndRS();
  } catch (const CRSException& e) {
    file.reset();
    ::unlink(part.c_str());
    error = std::string("the scan result could not be written: ") + e.what();
    return finish(kSaveWriteFailed);
  }
  file.reset();
  if (!SyncFile(part) || std::rename(part.c_str(), path.c_str()) != 0) {
    error = path + ": " + std::strerror(errno);
    ::unlink(part.c_str());
    return finish(kSaveWriteFailed);
  }
  error.clear();
  return finish(kSaveOk);
}

IStorageDevice* GetFromDiskVolumeData(const SavedDevice& saved, const std::string& imagePath, std::string& error) {
  const _DiskVolumeData& row = saved.row;
  if (saved.qdiInfo.size() == kQdiInfoSize) {
    CQDIDeviceInfoStruct info;
    if (!ParseQdiInfo(saved.qdiInfo.data(), saved.qdiInfo.size(), info)) {
      error = "the saved QDI record is damaged";
      return nullptr;
    }
    const std::string path = imagePath.empty() ? info.path : imagePath;
    std::unique_ptr<IStorageDevice> check(
        CreateQdiDeviceByQdiInfo(saved.qdiInfo.data(), static_cast<int>(kQdiInfoSize), path.c_str()));
    if (!check) {
      error = path + ": not the QDI image the result was saved from";
      return nullptr;
    }
    check.reset();
    return OpenImageDevice(path, row, error);
  }
  if (saved.dmgInfo.size() == kDmgInfoSize) {
    CDMGDeviceInfoStruct info;
    if (!ParseDmgInfo(saved.dmgInfo.data(), saved.dmgInfo.size(), info)) {
      error = "the saved image record is damaged";
      return nullptr;
    }
    const std::string path = imagePath.empty() ? info.path : imagePath;
    CDMGDeviceInfoStruct now;
    UdifImageInfo udif;
    if (ParseDmgFile(path, now, udif, error) == 0) {
      error = path + ": " + error;
      return nullptr;
    }
    if (now.totalSectors != info.totalSectors) {
      error = path + ": not the disk image the result was saved from";
      return nullptr;
    }
    return OpenImageDevice(path, row, error);
  }
  if (!imagePath.empty()) return OpenImageDevice(imagePath, row, error);

  QVUIDeviceData* list = QVUIDeviceData::instance();
  if (list->GetInitState() != 2) list->InitDeviceInfo();
  if (IStorageDevice* device = DeviceAt(row.diskIndex, row.volumeIndex)) {
    if (CapacityOf(device, row.volumeIndex) == row.capacity) return device;
  }
  std::list<_DiskVolumeData> rows;
  list->GetAllDeviceInfo(rows);
  auto matches = [&row](const _DiskVolumeData& r) {
    return !r.name.empty() && r.name == row.name && r.fileSystem == row.fileSystem && r.capacity == row.capacity;
  };
  for (const _DiskVolumeData& disk : rows) {
    if (matches(disk)) return DeviceAt(disk.diskIndex, disk.volumeIndex);
    for (const _DiskVolumeData& volume : disk.children) {
      if (matches(volume)) return DeviceAt(volume.diskIndex, volume.volumeIndex);
    }
  }
  error = "the scanned device \"" + row.name + "\" was not found";
  return nullptr;
}

int RestoreScanResult(const std::string& path, IProgress* progress, const std::string& imagePath, std::string& error) {
  ProgressReporter report(progress, 0);
  report.Start();
  auto finish = [&](int code) {
    SetLastError(0, error);
    if (code != 0) CatchExeception::WriteLog("load of %s: %s\r\n", path.c_str(), error.c_str());
    report.Finish(code);
    return code;
  };
  QVUIScan* scan = QVUIScan::instance();
  scan->ClearData();
  SavedScan saved;
  if (const int code = scan_result_file::ReadScanResult(path, saved, error); code != 0) return finish(code);
  report.Step();
  // A raw image scanned before is looked for at its path first.
  IStorageDevice* device = nullptr;
  if (imagePath.empty() && !saved.imageSource.empty() && saved.device.row.isQdi == 0 &&
      saved.device.row.isAppleDmg == 0) {
    std::string why;
    device = GetFromDiskVolumeData(saved.device, saved.imageSource, why);
  }
  if (device == nullptr) device = GetFromDiskVolumeData(saved.device, imagePath, error);
  if (device == nullptr) return finish(saved.device.row.isQdi != 0 ? kLoadQdiNotFound : kLoadDeviceNotFound);
  report.Step();

  const bool damaged = saved.treesDamaged;
  const std::string damage = saved.damage;
  const bool anyTree = !saved.trees.empty();
  RestoreScanSink sink(std::move(saved.trees), device);
  // Every saved node is replayed whatever categories the last scan showed.
  QVUIFilter::instance()->ResetFilter(127);
  scan->SetDeepScan(saved.deep);
  scan->SetStatus(kOpRunning);
  const RESULT r = scan->DoScan(device, &sink);
  scan->SetOpTreeFinished(1);
  if (result::Failed(r)) {
    error = "the saved result could not be replayed";
    return finish(kLoadReplayFailed);
  }
  if (anyTree && sink.ReplayedTrees() == 0) {
    error = "no saved tree belongs to the device found";
    return finish(kLoadReplayFailed);
  }
  if (damaged) {
    error = "the file is damaged (" + damage + "); the trees before the damage were loaded";
    return finish(kLoadPartial);
  }
  error.clear();
  return finish(0);
}

bool OtherJobsAlive(const char* ignoredJob) {
  auto& jobs = bridge::JobRegistry::instance();
  return jobs.Alive() > (ignoredJob != nullptr ? jobs.Alive(ignoredJob) : 0);
}

int DoSaveScanResult(const char* path, IProgress* progress, const char* ignoredJob, std::function<void()> ended) {
  if (path == nullptr || progress == nullptr) return -1;
  if (OtherJobsAlive(ignoredJob)) return -3;
  std::string p = path;
  const bool started = bridge::JobRegistry::instance().Start("SaveScanResult", [p, progress, ended = std::move(ended)] {
    std::string error;
    SaveScanResult(p, progress, error);
    if (ended) ended();
  });
  return started ? 0 : -2;
}

int DoRestoreScanResult(const char* path, IProgress* progress, const char* imagePath, const char* ignoredJob,
                        std::function<void()> ended) {
  if (path == nullptr || progress == nullptr) return -1;
  if (OtherJobsAlive(ignoredJob)) return -3;
  std::string p = path;
  std::string image = imagePath != nullptr ? imagePath : "";
  const bool started =
      bridge::JobRegistry::instance().Start("RestoreScanResult", [p, progress, image, ended = std::move(ended)] {
        std::string error;
        RestoreScanResult(p, progress, image, error);
        if (ended) ended();
      });
  return started ? 0 : -2;
}

void GetSaveorRestoreProgress(long long* total, long long* current, long long* error, int saver) {
  std::lock_guard g(g_progressLock);
  const _PROGRESS_INFO& info = g_progress[saver != 0 ? 1 : 0];
  if (total != nullptr) *total = static_cast<long long>(info.total);
  if (current != nullptr)
    *current = info.state == kProgressFinished ? static_cast<long long>(info.total) : static_cast<long long>(info.done);
  if (error != nullptr) *error = static_cast<long long>(info.result);
}

std::string GetLastError(int saver) {
  std::lock_guard g(g_progressLock);
  return g_lastError[saver != 0 ? 1 : 0];
}

}  // namespace SaveRestoreResult
