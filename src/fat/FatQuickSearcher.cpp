#include "fat/FatQuickSearcher.h"

#include <cstring>
#include <memory>

#include "core/device/DeviceData.h"
#include "core/device/StorageDevice.h"
#include "core/util/Log.h"
#include "fat/FatBuildWorker.h"
#include "fat/FatBootSectorLayout.h"
#include "fat/FatTable.h"

namespace {

RESULT Fail(std::uint32_t line, std::uint32_t code) { return result::Make(result::kModuleFatSearch, line, code); }

struct FatTableDeleter {
  void operator()(IFATTable* t) const { IFATTableFactory::DestroyFATTable(t); }
};

}  // namespace

CFATQuickSearcher::~CFATQuickSearcher() {
  for (CFATSearchedPartitionInfo* p : m_partitions) CFATSearchedPartitionInfo::DestroyFATSearchedPartitionInfo(p);
}

int CFATQuickSearcher::GetSearchedPartitionInfo(CSearchedPartitionInfo** out, int capacity) {
  if (m_partitions.empty() || out == nullptr) return 0;
  out[0] = m_partitions.front()->Clone();
  return 1;
}

RESULT CFATQuickSearcher::GetFsType(int& type) {
  if (m_device->GetType() != kDeviceVolume) return Fail(__LINE__, kFatNotAVolume);
  auto* data = dynamic_cast<IVolumeDeviceData*>(m_device->GetPrivateData());
  if (data == nullptr) return Fail(__LINE__, kFatNoBuilderOrRecord);
  const CCollectedVolumeDeviceInfoStruct* info = data->GetVolumeInfo();
  if (info == nullptr) return Fail(__LINE__, kFatNoBuilderOrRecord);
  type = static_cast<int>(info->fileSystem);
  return 0;
}

RESULT CFATQuickSearcher::QuickSearchFiles(IStorageDevice* device, IProgress* progress) {
  if (device == nullptr || progress == nullptr) return Fail(__LINE__, kFatNoDeviceOrSink);
  if (m_builder == nullptr) return Fail(__LINE__, kFatNoBuilderOrRecord);
  m_device = device;
  m_progress = progress;
  int type = kFsUnknown;
  RESULT r = GetFsType(type);
  if (result::Succeeded(r)) {
    if (type == kFsFat16 || type == kFsFat32) {
      r = FatQuickSearchFiles(type, progress);
    } else {
      if (type == kFsFat12) CatchExeception::WriteLog("FAT quick scan: FAT12 volumes are not supported\n");
      r = Fail(__LINE__, kFatNotFat16Or32);
    }
  }
  _PROGRESS_INFO info;
  std::memset(&info, 0, sizeof info);
  info.state = kProgressFinished;
  info.total = 100;
  info.done = 100;
  progress->UpdateProgress(&info);
  return r;
}

RESULT CFATQuickSearcher::FatQuickSearchFiles(int type, IProgress* progress) {
  const int sectorSize = m_device->GetSectorSize();
  if (sectorSize < 512) return Fail(__LINE__, kFatNoBuffer);
  std::vector<std::uint8_t> sector(static_cast<std::size_t>(sectorSize));
  const RESULT r = ScanVolume(type, sector);
  CSearchedPartitionInfo* record = m_partitions.empty() ? nullptr : m_partitions.front();
  m_builder->SetPartitonDevice(record, m_device);
  m_builder->FlashBuild(kSearcherFat);
  return r;
}

RESULT CFATQuickSearcher::ScanVolume(int type, std::vector<std::uint8_t>& sector) {
  const std::uint32_t flags = type == kFsFat32 ? kFat32Flags : kFat16Flags;
  const auto sectorSize = static_cast<std::uint32_t>(sector.size());
  const ByteView view(sector.data(), sector.size());
  bool valid = false;
  if ((flags & 7) != 0) {
    valid = m_device->ReadSector(sector.data(), 0, 1) != 0 && CFATBuildWorker::IsFullValidDBR(view, 0, m_device);
  }
  if (!valid && (flags & 8) != 0) {
    valid = m_device->ReadSector(sector.data(), 6, 1) != 0 && CFATBuildWorker::IsFullValidDBR(view, 0, m_device);
  }
  if (!valid) return Fail(__LINE__, kFatNotFat16Or32);

  const CTempFATDBR dbr(view, sectorSize);
  // The boot sector decides the layout, whatever the volume record said.
  const enumFILE_SYSTEM_TYPE fsType = dbr.GetFileSystemType();
  std::unique_ptr<IFATTable, FatTableDeleter> fat(IFATTableFactory::CreateFATTable(
      m_device, dbr.GetReservedSector(), fsType, dbr.GetSectorsPerFat(), flags & 0x80, flags & 0x200));
  if (!fat) return Fail(__LINE__, kFatNoBuilderOrRecord);

  const std::uint64_t fats = static_cast<std::uint64_t>(dbr.GetNumberOfFat()) * dbr.GetSectorsPerFat();
  const std::uint32_t rootSectors = dbr.GetRootEntries() * fatbs::kDirEntryBytes / sectorSize;
  std::uint64_t dataStart = 0;
  std::uint64_t rootFirstSector = 0;
  std::uint32_t rootInfo = 0;
  if (fsType == kFatTypeFat32) {
    dataStart = dbr.GetReservedSector() + fats;
    const std::uint64_t rootCluster = dbr.GetRootDirStartCluster();
    rootFirstSector = rootCluster >= 2 ? dataStart + (rootCluster - 2) * dbr.GetSectorsperCluster() : 0;
    rootInfo = dbr.GetRootDirStartCluster();
  } else {
    rootFirstSector = dbr.GetReservedSector() + fats;
    dataStart = rootFirstSector + rootSectors;
    rootInfo = rootSectors;
  }
  std::uint64_t total = dbr.GetTotalSectors();
  const long long deviceTotal = m_device->GetTotalSectors();
  if (deviceTotal >= 0 && static_cast<std::uint64_t>(deviceTotal) < total)
    total = static_cast<std::uint64_t>(deviceTotal);
  const std::uint32_t spc = dbr.GetSectorsperCluster();
  const std::uint32_t clusters = total > dataStart ? static_cast<std::uint32_t>((total - dataStart) / spc) : 0;

  CFATSearchedPartitionInfo* record = CFATSearchedPartitionInfo::CreateFATSearchedPartitionInfo(sectorSize);
  if (record == nullptr) return Fail(__LINE__, kFatNoPartitionRecord);
  record->m_u16PartitionIndex = 0;
  record->m_llClusterBaseSector = static_cast<long long>(dataStart);
  record->m_iSectorsPerCluster = static_cast<std::int32_t>(spc & 0xFF);
  record->m_iFileSystem = fsType;
  record->SetTotalSectors(static_cast<long long>(total));
  record->SetSectorPerFAT(dbr.GetSectorsPerFat());
  record->SetTotalCluster(clusters);
  record->SetStartSector(0);
  record->SetReservedSector(static_cast<std::uint16_t>(dbr.GetReservedSector()));
  record->SetRootInfo(rootInfo);
  record->MergeFlag(flags);
  m_partitions.push_back(record);
  m_builder->AddSearcherInfo(kSearcherFat, 0);

  FatBuildGeometry g;
  g.builder = m_builder;
  g.progress = m_progress;
  g.partition = record;
  g.device = m_device;
  g.type = fsType;
  g.startSector = 0;
  g.sectorsPerCluster = spc;
  g.rootFirstSector = rootFirstSector;
  g.rootSectors = rootSectors;
  g.rootFirstCluster = dbr.GetRootDirStartCluster();
  g.rootPresent = 1;
  g.dataStart = dataStart;
  // The device's end bounds every run, not the boot sector's claim.
  g.totalSectors = total;
  g.fat = fat.get();
  g.sectorSize = sectorSize;
  CFATBuildWorker worker(g);
  return worker.QuickBuildDirectoryTree(1);
}

IQuickFileSystemSearchController* CreateFATQuickSearcher() { return new CFATQuickSearcher(); }
