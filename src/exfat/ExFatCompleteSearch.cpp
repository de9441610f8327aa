#include "exfat/ExFatCompleteSearch.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "core/cache/StorageDeviceWithCache.h"
#include "core/device/StorageDevice.h"
#include "exfat/ExFatBootSector.h"

namespace {

constexpr std::int64_t kCarried = 2;
constexpr std::uint32_t kSweepClusterShift = 25;
// How far ahead of the sector it looks at the sweep asks for the next ones.
constexpr std::size_t kPrefetchSectors = 16;

bool IsUpcaseStart(const ByteView& s) {
  for (std::uint16_t i = 0; i < 8; ++i) {
    if (s.U16Le(2 * i) != i) return false;
  }
  return true;
}

// Zeros, with 55 AA in the last two bytes: an extended boot sector.
bool IsExtendedBoot(const ByteView& s, std::size_t sectorBytes) {
  if (s.U8(sectorBytes - 2) != 0x55 || s.U8(sectorBytes - 1) != 0xAA) return false;
  for (std::size_t i = 0; i + 2 < sectorBytes; ++i) {
    if (s.U8(i) != 0) return false;
  }
  return true;
}

}  // namespace

ICompleteFileSystemSearchController* CreateEXFatSearcher() { return new CExFatCompleteSearch(); }

bool CExFatCompleteSearch::PrepareAnalyzeBlock() {
  if (m_prepared) return true;
  const int sectorSize = m_device->GetSectorSize();
  if (sectorSize < 512 || sectorSize > 4096 || !std::has_single_bit(static_cast<unsigned>(sectorSize))) return false;
  m_sectorSize = static_cast<std::uint32_t>(sectorSize);
  m_totalSectors = m_device->GetTotalSectors();
  m_decoder.PrepareAnayze(static_cast<std::uint32_t>(std::countr_zero(m_sectorSize)), kSweepClusterShift,
                          static_cast<std::uint64_t>(m_totalSectors));
  m_builder2.PrepareBuild(m_sectorSize, m_totalSectors);
  // The carried sectors and the two after them; a block that has to be read
  // rather than looked at in the read-ahead cache makes it a block longer.
  m_buffer.assign(static_cast<std::size_t>(2 * kCarried) * m_sectorSize, 0);
  m_carriedFirst = -2;
  m_prepared = true;
  return true;
}

void CExFatCompleteSearch::TakeSet() {
  std::unique_ptr<CFileSet> set = m_decoder.GetFileSet();
  if (set == nullptr) return;
  for (const _tagFileBaseInfo& file : set->Files()) {
    if (!file.IsFolder()) ++m_foundFiles;
  }
  const std::int64_t first = set->FirstSector();
  const std::int64_t last = set->Has(CFileSet::kAbridged) ? m_decoder.GetLast(first) : -1;
  const std::int64_t next = set->Has(CFileSet::kNotEnd) ? m_decoder.GetNext(first) : -1;
  m_builder2.PushFileSet(std::move(set), last, next);
}

void CExFatCompleteSearch::AnalyzeSector(std::int64_t sector, const ByteView& data) {
  const ByteView s = data.Sub(0, m_sectorSize);
  if (s.U8(0) == 0) {
    if (IsUpcaseStart(s)) m_builder2.RecordUpCaseTable(sector);
    if (IsExtendedBoot(s, m_sectorSize)) m_builder2.RecordExtendedBoot(sector);
    TakeSet();
    return;
  }
  if (s.U8(m_sectorSize - 2) == 0x55 && s.U8(m_sectorSize - 1) == 0xAA) {
    const CExFatDBR boot(s);
    if (boot.IsValid(m_sectorSize)) {
      m_builder2.Build(sector, boot);
      TakeSet();
      return;
    }
  }
  static constexpr std::uint8_t kFatHead[8] = {0xF8, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  if (s.Equals(0, kFatHead, sizeof(kFatHead))) {
    m_builder2.RecordFAT(sector);
    TakeSet();
    return;
  }
  if (m_decoder.Analyze(sector, data)) TakeSet();
}

int CExFatCompleteSearch::AnalyzeBlock(long long startSector, long long sectorCount) {
  if (m_device == nullptr || m_builder == nullptr || m_sectorsPerBlock <= 0 || sectorCount <= 0 ||
      sectorCount > m_sectorsPerBlock || startSector < 0) {
    return 0;
  }
  if (!PrepareAnalyzeBlock()) return 0;
  const std::size_t ss = m_sectorSize;
  // The last two sectors read so far move to the front; the block follows.
  if (startSector != m_carriedFirst + kCarried) {
    std::memset(m_buffer.data(), 0, kCarried * ss);
    m_carriedFirst = startSector - kCarried;
  }
  if (const std::uint8_t* view = CStorageDeviceWithCache::View(m_device, startSector, sectorCount)) {
    AnalyzeView(startSector, sectorCount, view);
    return 1;
  }
  const std::size_t whole = (static_cast<std::size_t>(m_sectorsPerBlock) + 2 * kCarried) * ss;
  // Past the carried sectors the buffer holds zeros, as the added bytes are.
  if (m_buffer.size() < whole) m_buffer.resize(whole);
  if (m_device->ReadSector(m_buffer.data() + kCarried * ss, startSector, sectorCount) == 0) {
    m_carriedFirst = -2;
    return 0;
  }
  const std::int64_t bufferFirst = startSector - kCarried;
  // Each sector is examined with the two sectors after it in the buffer.
  for (std::int64_t i = 0; i < sectorCount; ++i) {
    const std::int64_t sector = bufferFirst + i;
    if (sector < 0) continue;
    const std::size_t at = static_cast<std::size_t>(i) * ss;
    AnalyzeSector(sector, ByteView(m_buffer.data() + at, 3 * ss));
  }
  std::memmove(m_buffer.data(), m_buffer.data() + static_cast<std::size_t>(sectorCount) * ss, kCarried * ss);
  std::memset(m_buffer.data() + kCarried * ss, 0, m_buffer.size() - kCarried * ss);
  m_carriedFirst = startSector + sectorCount - kCarried;
  return 1;
}

// The same walk over a block held by the read-ahead cache: only the sectors
// next to the carried ones are put together in the buffer.
void CExFatCompleteSearch::AnalyzeView(long long startSector, long long sectorCount, const std::uint8_t* view) {
  constexpr auto kHeld = static_cast<std::size_t>(kCarried);
  const std::size_t ss = m_sectorSize;
  const auto count = static_cast<std::size_t>(sectorCount);
  // Buffer index i: a carried sector below kHeld, else sector i - kHeld of
  // the block.
  std::memcpy(m_buffer.data() + kHeld * ss, view, std::min(count, kHeld) * ss);
  auto at = [&](std::size_t i) { return i < kHeld ? m_buffer.data() + i * ss : view + (i - kHeld) * ss; };
  const std::int64_t bufferFirst = startSector - kCarried;
  for (std::size_t i = 0; i < count; ++i) {
    // Most sectors are decided by their first and last bytes: the lines
    // that hold them are asked for a few sectors ahead, as the hardware
    // does not foresee reads a sector apart.
    if (const std::size_t ahead = i + kPrefetchSectors - kHeld; ahead < count) {
      __builtin_prefetch(view + ahead * ss);
      __builtin_prefetch(view + ahead * ss + ss - 1);
    }
    const std::int64_t sector = bufferFirst + static_cast<std::int64_t>(i);
    if (sector < 0) continue;
    AnalyzeSector(sector, ByteView(at(i), 3 * ss));
  }
  // The last two sectors of carried + block go on (sectors are at most 4096
  // bytes).
  std::uint8_t carried[kHeld][4096];
  for (std::size_t k = 0; k < kHeld; ++k) std::memcpy(carried[k], at(count + k), ss);
  std::memset(m_buffer.data() + kHeld * ss, 0, kHeld * ss);
  for (std::size_t k = 0; k < kHeld; ++k) std::memcpy(m_buffer.data() + k * ss, carried[k], ss);
  m_carriedFirst = startSector + sectorCount - kCarried;
}

void CExFatCompleteSearch::EndSearch(int build) {
  if (!m_prepared) return;
  // The two sectors still carried are examined with zeros after them.
  if (m_carriedFirst >= 0) {
    for (std::int64_t i = 0; i < kCarried; ++i) {
      AnalyzeSector(m_carriedFirst + i,
                    ByteView(m_buffer.data() + static_cast<std::size_t>(i) * m_sectorSize, 3 * m_sectorSize));
    }
  }
  TakeSet();
  m_decoder.FinisAnayze();
  if (build == 0 || m_builder == nullptr) return;
  m_builder2.FinishBuid(m_device);
  const auto& parts = m_builder2.Partitions();
  if (!parts.empty()) {
    m_builder->AddSearcherInfo(kSearcherExFat, -1);
    for (std::size_t k = 0; k < parts.size(); ++k) m_builder2.BuildFileTree(m_device, k, m_builder);
    m_builder->SetPartitonDevice(nullptr, m_device);
    m_builder->FlashBuild(kSearcherExFat);
  }
}

int CExFatCompleteSearch::GetSearchedPartitionInfo(CSearchedPartitionInfo** out, int capacity) {
  const auto& parts = m_builder2.Partitions();
  const int count = static_cast<int>(parts.size());
  if (out == nullptr || count == 0 || capacity < count) return count;
  for (int i = 0; i < count; ++i) {
    const CExFatPartitionEx& p = *parts[static_cast<std::size_t>(i)];
    auto* info = new CSearchedPartitionInfo(static_cast<int>(p.m_sectorSize));
    info->m_llClusterBaseSector = p.m_heapStartSector;
    info->m_llStartSector = p.m_startSector;
    info->SetTotalSectors(static_cast<long long>(p.m_totalSectors));
    info->m_iFileSystem = kFsExFat;
    info->m_iSectorsPerCluster = static_cast<std::int32_t>(p.m_sectorsPerCluster);
    info->m_u16PartitionIndex = static_cast<std::uint16_t>(i);
    out[i] = info;
  }
  return count;
}
