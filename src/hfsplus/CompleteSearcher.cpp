#include "hfsplus/CompleteSearcher.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "core/bitmap/Bitmap.h"
#include "core/cache/StorageDeviceWithCache.h"
#include "core/device/DiskDevice.h"
#include "hfsplus/HfsPlusLayout.h"
#include "hfsplus/HfsPlusResult.h"

namespace {

// Start of the first candidate behind a protective MBR: the first 4 KiB
// boundary past the GPT header and entries, in sectors.
long long GptDataStart(int sectorSize) {
  const long long bytes = (2LL * sectorSize + 0x4FFF) / 4096 * 4096;
  return bytes / sectorSize;
}

bool IsProtectiveMbr(const std::vector<std::uint8_t>& sector) {
  return sector.size() >= 512 && sector[450] == 0xEE && sector[510] == 0x55 && sector[511] == 0xAA;
}

}  // namespace

ICompleteFileSystemSearchController* CreateHFSPlusSearcher() {
  return new (std::nothrow) CHFSPlusCompleteFileSystemSearchController();
}

CHFSPlusCompleteFileSystemSearchController::CHFSPlusCompleteFileSystemSearchController() = default;

CHFSPlusCompleteFileSystemSearchController::~CHFSPlusCompleteFileSystemSearchController() = default;

void CHFSPlusCompleteFileSystemSearchController::SetDevice(IStorageDevice* device) {
  m_pDevice = device;
  if (device == nullptr) return;
  const int ss = device->GetSectorSize();
  m_iSectorSize = ss >= 512 ? ss : 512;
  m_llTotalSectors = std::max(0LL, device->GetTotalSectors());
  m_readBuffer.assign(static_cast<std::size_t>(m_iSectorSize), 0);
}

CompleteSearchPatition* CHFSPlusCompleteFileSystemSearchController::AddCandidate(long long start, long long count) {
  if (start < 0 || start >= std::max(1LL, m_llTotalSectors) || m_candidates.size() >= kMaxCandidates) return nullptr;
  auto c = std::make_unique<CompleteSearchPatition>();
  c->startSector = start;
  c->sectorCount = std::max(0LL, std::min(count, m_llTotalSectors - start));
  c->partitionIndex = static_cast<int>(m_candidates.size());
  m_candidates.push_back(std::move(c));
  return m_candidates.back().get();
}

int CHFSPlusCompleteFileSystemSearchController::PreparetoSearch() {
  m_waiting.clear();
  m_candidates.clear();
  m_diskVolumes.clear();
  m_u64CatalogBudgetLeft = kCatalogCacheBudget;
  if (m_pBuilder != nullptr) m_pBuilder->AddSearcherInfo(kSearcherHfsPlus, 2);
  if (m_pDevice == nullptr) {
    m_lastResult = HFS_FAIL(kHfsNotInitialised);
    return 0;
  }

  // The device the cache reads from tells what is being scanned.
  IStorageDevice* source = m_pDevice;
  if (auto* cache = dynamic_cast<CStorageDeviceWithCache*>(m_pDevice); cache != nullptr && cache->GetSourceDevice()) {
    source = cache->GetSourceDevice();
  }
  m_iDeviceType = source->GetType();

  if (m_pDevice->ReadSector(m_readBuffer.data(), 0, 1) == 0) return 1;
  const long long first = IsProtectiveMbr(m_readBuffer) ? GptDataStart(m_iSectorSize) : 0;
  AddCandidate(first, m_llTotalSectors - first);

  if (m_iDeviceType != kDeviceDisk) return 1;
  if (auto* disk = dynamic_cast<CDiskDevice*>(source)) disk->GetVolumes(m_diskVolumes);
  bool any = false;
  for (const CCollectedVolumeDeviceInfoStruct& v : m_diskVolumes) {
    if (v.fileSystem != kFsHfsPlus || v.sectorSize != m_iSectorSize) continue;
    if (CompleteSearchPatition* c = AddCandidate(v.startSector, v.totalSectors)) {
      c->fromDiskRecord = true;
      m_bActivePartition = true;
      any = true;
    }
  }
  if (any && m_pBitmap != nullptr) m_pBitmap->CreateBitmap((m_llTotalSectors + 8) / 8, 8);
  return 1;
}

long long CHFSPlusCompleteFileSystemSearchController::ReadAt(long long sector, long long count, std::uint8_t* out) {
  if (m_pDevice == nullptr || sector < 0 || count <= 0 || sector >= m_llTotalSectors) return 0;
  const long long n = std::min(count, m_llTotalSectors - sector);
  if (m_pDevice->ReadSector(out, sector, n) == 0) return 0;
  return n;
}

int CHFSPlusCompleteFileSystemSearchController::AnalyzeBlock(long long first, long long count) {
  if (m_pDevice == nullptr) {
    m_lastResult = HFS_FAIL(kHfsNotInitialised);
    return 1;
  }
  if (first < 0 || count <= 0 || first >= m_llTotalSectors) return 1;
  count = std::min(count, m_llTotalSectors - first);
  const auto ss = static_cast<std::size_t>(m_iSectorSize);
  // The block is looked at in the read-ahead cache, else read at once; when
  // that fails each sector is read on its own and a failed one matches
  // nothing.
  const std::uint8_t* view = CStorageDeviceWithCache::View(m_pDevice, first, count);
  const bool whole = view != nullptr || [&] {
    try {
      m_blockBuffer.resize(static_cast<std::size_t>(count) * ss);
    } catch (const std::bad_alloc&) {
      return false;
    }
    return m_pDevice->ReadSector(m_blockBuffer.data(), first, count) != 0;
  }();
  const bool skipping =
      m_bActivePartition && m_pBitmap != nullptr && m_pBitmap->GetBitmapData() != nullptr && m_pBitmap->GetUnit() > 0;
  const long long end = first + count;
  for (long long s = first; s < end;) {
    if (skipping) {
      const long long unit = m_pBitmap->GetUnit();
      if (m_pBitmap->GetBit(s / unit) != 0) {
        s += s % unit != 0 ? 1 : unit;
        continue;
      }
    }
    const std::uint8_t* bytes = nullptr;
    const std::uint8_t* blockEnd = nullptr;
    if (view != nullptr) {
      bytes = view + static_cast<std::size_t>(s - first) * ss;
      blockEnd = view + static_cast<std::size_t>(count) * ss;
    } else if (whole) {
      bytes = m_blockBuffer.data() + static_cast<std::size_t>(s - first) * ss;
      blockEnd = m_blockBuffer.data() + m_blockBuffer.size();
    } else {
      if (ReadAt(s, 1, m_readBuffer.data()) == 0) {
        ++s;
        continue;
      }
      bytes = m_readBuffer.data();
      blockEnd = bytes + ss;
    }
    s += std::max(1LL, AnalyzeSector(s, end - s, bytes, blockEnd));
  }
  return 1;
}

long long CHFSPlusCompleteFileSystemSearchController::AnalyzeSector(long long s, long long left,
                                                                    const std::uint8_t* bytes,
                                                                    const std::uint8_t* blockEnd) {
  const ByteView sector(bytes, static_cast<std::size_t>(m_iSectorSize));
  if (TestVolumeHeader(s, sector)) return 1;
  if (TestJournalInfoBlock(s, sector)) return 1;
  if (TestJournalHeader(s, sector)) return 1;
  return TestBTreeNode(s, left, bytes, blockEnd);
}
