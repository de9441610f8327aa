#include "core/controller/CompleteRecoveryController.h"

#include <algorithm>

#include "core/controller/ControllerReports.h"
#include "core/controller/DeviceDescription.h"
#include "core/controller/ScanFlush.h"
#include "core/device/AsyncReader.h"
#include "core/device/StorageDevice.h"
#include "core/engines/EngineRegistry.h"
#include "core/recovery/DataRecovery.h"
#include "core/tree/TreeBuilderFactory.h"

CCompleteRecoveryController::~CCompleteRecoveryController() { ReleaseAll(); }

void CCompleteRecoveryController::ReleaseAll() {
  // The builder first: it frees every node it showed.
  m_pTreeBuilder.reset();
  m_searchers.clear();
  m_pSearcherBuilder.reset();
  m_pSearcherProgress.reset();
  if (m_pCache) m_pCache->EndCache();
  m_pCache.reset();
  m_fileSectorMap.clear();
  m_pBitmap.reset();
}

int CCompleteRecoveryController::Initialize(IRecoveryFilter* filter) {
  if (filter == nullptr) return 0;
  m_pFilter = filter;
  return 1;
}

int CCompleteRecoveryController::SweepBlockSectors(IStorageDevice* device) {
  int sectorSize = device != nullptr ? device->GetSectorSize() : 512;
  if (sectorSize <= 0) sectorSize = 512;
  const int sectors = kSweepBlockBytes / sectorSize;
  return sectors != 0 ? sectors : 8192;
}

void CCompleteRecoveryController::MakeSearchers(IStorageDevice* device, IProgress* progress) {
  auto add = [this](_tagSearcherType type) -> ICompleteFileSystemSearchController* {
    std::unique_ptr<ICompleteFileSystemSearchController> searcher(engine_registry::CreateCompleteSearcher(type));
    if (!searcher) return nullptr;
    ICompleteFileSystemSearchController* raw = searcher.get();
    m_searchers.push_back({type, std::move(searcher)});
    return raw;
  };

  if (ICompleteFileSystemSearchController* hfs = add(kSearcherHfsPlus)) {
    hfs->SetIProgressSink(progress);
    if (device->GetType() == kDeviceVolume && device_description::GetVolumeFileSystemCode(device) == kFsHfsPlus) {
      hfs->SetActivePartition(true);
    }
  }
  add(kSearcherExFat);
  if (ICompleteFileSystemSearchController* fat = add(kSearcherFat)) fat->SetFileSectorMap(&m_fileSectorMap);
  if (ICompleteFileSystemSearchController* raw = add(kSearcherRawByType)) {
    raw->SetFileSectorMap(&m_fileSectorMap);
    raw->SetIProgressSink(progress);
  }
  add(kSearcherNtfs);
  if (ICompleteFileSystemSearchController* apfs = add(kSearcherApfs)) apfs->SetIProgressSink(progress);
}

void CCompleteRecoveryController::PrepareSearchers(int blockSize) {
  for (_SEARCHER_INFO& info : m_searchers) {
    info.searcher->SetDevice(m_pCache.get());
    info.searcher->SetBlockSize(blockSize);
    info.searcher->SetDirecotryTreeBuilder(m_pSearcherBuilder.get());
    info.searcher->SetBitmap(m_pBitmap.get());
    if (m_pRestoreSink == nullptr) info.searcher->PreparetoSearch();
  }
}

void CCompleteRecoveryController::EndSearchers(IProgress* progress) {
  for (_SEARCHER_INFO& info : m_searchers) {
    // After a cancel the carving searcher is not finished.
    if (info.type == kSearcherRawByType && progress->Continued() == 0) continue;
    info.searcher->EndSearch(progress->shouldBuild());
  }
}

RESULT CCompleteRecoveryController::StartDataRecovery(IStorageDevice* device, IProgress* progress,
                                                      IDrirectoryTree* tree) {
  if (device == nullptr || progress == nullptr || tree == nullptr) {
    return QV_CTRL_RESULT(kCtrlBadCompleteArgument);
  }
  ReleaseAll();
  m_pBitmap = std::make_unique<TBitmap>();
  // A device that hung in an earlier scan gets another chance; unreadable
  // sectors count anew.
  NewReadSession();

  controller_reports::SendStart(progress);
  // Every failure after the start report ends the job for the sink.
  auto fail = [progress](RESULT code) {
    controller_reports::SendEnd(progress);
    return code;
  };

  const bool replay = m_pRestoreSink != nullptr;
  m_pTreeBuilder.reset(CreateTreeBuilder(replay));
  if (!m_pTreeBuilder) return fail(QV_CTRL_RESULT(kCtrlNoTreeBuilder));
  const std::string name = device_description::GetDeviceDescription(device);
  if (m_pTreeBuilder->Initialize(name.c_str(), tree, m_pFilter) == 0) {
    return fail(QV_CTRL_RESULT(kCtrlBadQuickArgument));
  }

  m_pSearcherBuilder = std::make_unique<CSerializedTreeBuilder>(m_pTreeBuilder.get());
  m_pSearcherProgress = std::make_unique<CSerializedProgress>(progress);
  MakeSearchers(device, m_pSearcherProgress.get());
  if (m_searchers.empty()) return fail(QV_CTRL_RESULT(kCtrlNoCompleteSearcher));

  // A replay does not read the device.
  if (!replay) FlushBeforeScan(device);
  m_pDevice = device;

  const int blockSize = SweepBlockSectors(device);
  m_pCache = std::make_unique<CStorageDeviceWithCache>(device);
  if (m_pCache->SetBlockSize(static_cast<unsigned>(blockSize)) == 0) {
    m_pCache.reset();
    return fail(QV_CTRL_RESULT(kCtrlNoProgressOrCache));
  }
  if (!replay) m_pCache->BeginCache();

  PrepareSearchers(blockSize);

  RESULT r;
  if (replay) {
    r = m_pRestoreSink->SetDirecotryTreeBuilder(m_pTreeBuilder.get(), progress, device);
  } else {
    r = SearchData(0, device->GetTotalSectors() - 1, progress);
  }
  // The read-ahead is over; searchers may still read through the cache.
  m_pCache->EndCache();

  EndSearchers(progress);
  controller_reports::SendEnd(progress);
  return r;
}

RESULT CCompleteRecoveryController::SearchData(long long first, long long last, IProgress* progress) {
  if (progress == nullptr || !m_pCache || m_pDevice == nullptr) return QV_CTRL_RESULT(kCtrlNoProgressOrCache);
  if (last < first) return QV_CTRL_RESULT(kCtrlBadCompleteArgument);

  const long long blockSize = SweepBlockSectors(m_pDevice);
  const long long total = std::max(0LL, m_pDevice->GetTotalSectors());
  first = std::clamp(first, 0LL, total);
  last = std::min(last, total - 1);
  if (last < first) return 0;

  const long long firstBlock = first / blockSize;
  const long long lastBlock = last / blockSize;
  const auto blocks = static_cast<std::uint64_t>(lastBlock - firstBlock + 1);
  controller_reports::Send(progress, kProgressFirstSweep, blocks, 0);

  CSearcherCrew crew(CrewMembers());
  crew.Start();
  std::uint64_t done = 0;
  for (long long k = firstBlock; k <= lastBlock; ++k) {
    if (progress->Continued() == 0) break;
    m_pCache->SetCurCacheBlock(k);
    const long long start = k * blockSize;
    const long long count = std::min(blockSize, last - start + 1);
    crew.AnalyzeBlock(start, count);
    const std::uint64_t found = crew.FoundFiles();
    ++done;
    // The sweep fills 80 % of the bar; the result field carries the files the
    // searchers have recognised so far.
    controller_reports::Send(progress, kProgressRunning, blocks, done * 4 / 5, found);
  }
  return 0;
}

std::vector<CSearcherCrew::Member> CCompleteRecoveryController::CrewMembers() const {
  // The HFS+ searcher marks the sectors of the volumes it proves in the
  // bitmap while it sweeps, and the carving searcher skips marked sectors:
  // the carving starts on a block when the HFS+ searchers are done with it.
  // The file-sector map that carving fills is read by the FAT searcher only
  // when it ends, after the sweep. The carving, the longest at each block,
  // runs on this thread: it goes on to the next block without waiting to be
  // woken.
  std::vector<CSearcherCrew::Member> members;
  std::vector<std::size_t> markers;
  for (const _SEARCHER_INFO& info : m_searchers) {
    CSearcherCrew::Member m;
    m.searcher = info.searcher.get();
    if (info.type == kSearcherRawByType) {
      m.after = markers;
      m.onCaller = true;
    }
    if (info.type == kSearcherHfsPlus) markers.push_back(members.size());
    members.push_back(std::move(m));
  }
  return members;
}

IDataRecovery* CCompleteRecoveryController::GetDataRecovery(_tagSearcherType type) const {
  const auto it = std::find_if(m_searchers.begin(), m_searchers.end(),
                               [type](const _SEARCHER_INFO& info) { return info.type == type; });
  if (it == m_searchers.end()) return nullptr;
  IDataRecovery* recovery = CreateDataRecoveryObj();
  if (recovery == nullptr) return nullptr;
  const RESULT r = m_pRestoreSink != nullptr
                       ? recovery->Initialize(m_pRestoreSink->GetSearchedPartition(type), m_pDevice)
                       : recovery->Initialize(it->searcher.get(), m_pDevice);
  if (result::Failed(r)) {
    recovery->Release();
    return nullptr;
  }
  return recovery;
}

void CCompleteRecoveryController::Release() { delete this; }
