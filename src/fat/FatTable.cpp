#include "fat/FatTable.h"

#include <algorithm>

namespace {

constexpr std::uint32_t kFat16Bad = 0xFFF7;
constexpr std::uint32_t kFat32Bad = 0x0FFFFFF7;
constexpr std::uint32_t kEndOfChain = 0x0FFFFFF8;

std::uint32_t Entry(const ByteView& fat, std::uint32_t width, std::uint32_t i) {
  const std::size_t at = static_cast<std::size_t>(i) * width;
  return width == 2 ? fat.U16Le(at) : fat.U32Le(at);
}

// The chain target of entry i, or 0 when the entry ends or leaves the chain.
std::uint32_t ChainNext(const ByteView& fat, std::uint32_t width, std::uint32_t i, std::uint32_t n) {
  const std::uint32_t v = Entry(fat, width, i);
  const std::uint32_t limit = width == 2 ? kFat16Bad : kFat32Bad;
  if (v < 2 || v >= limit || v >= n) return 0;
  return v;
}

}  // namespace

IRealFATTable::IRealFATTable(IStorageDevice* device, long long firstSector, std::uint32_t sectorCount,
                             std::uint32_t entryWidth)
    : m_device(device), m_firstSector(firstSector), m_sectorCount(sectorCount) {
  const int size = device != nullptr ? device->GetSectorSize() : 512;
  m_sectorSize = size >= 512 ? static_cast<std::uint32_t>(size) : 512;
  m_entryCount = static_cast<std::uint32_t>(static_cast<std::uint64_t>(sectorCount) * m_sectorSize / entryWidth);
}

void IRealFATTable::Load(std::uint32_t minSectors512, std::uint32_t maxSectors512) {
  const std::uint32_t k = m_sectorSize / 512;
  if (m_device == nullptr || m_firstSector < 0 || k == 0) return;
  if (m_sectorCount < minSectors512 / k || m_sectorCount > maxSectors512 / k || m_sectorCount == 0) return;
  m_buffer.assign(static_cast<std::size_t>(m_sectorCount) * m_sectorSize, 0);
  if (m_device->ReadSector(m_buffer.data(), m_firstSector, m_sectorCount) == 0) {
    // A failed read leaves no trustworthy table.
    std::fill(m_buffer.begin(), m_buffer.end(), 0);
  }
}

CFAT12Table::CFAT12Table(IStorageDevice* device, long long firstSector, std::uint32_t sectorCount)
    : IRealFATTable(device, firstSector, sectorCount, 4) {
  // FAT12 counts whole sectors, not 512-byte units.
  const std::uint32_t k = m_sectorSize / 512;
  Load(1 * k, 12 * k);
}

std::uint32_t CFAT12Table::GetNextCluster(std::uint32_t cluster) {
  const std::uint64_t at = static_cast<std::uint64_t>(cluster) * 3 / 2;
  if (m_buffer.size() < at + 2) return 0;
  const std::uint16_t raw = View().U16Le(static_cast<std::size_t>(at));
  const std::uint32_t v = (cluster & 1) != 0 ? raw >> 4 : raw & 0xFFF;
  if (v == 0xFFF) return 0xFFFFFFFF;
  if (v >= 0xFF8) return kEndOfChain;
  return v;
}

bool CFAT12Table::IsValidFATTable() { return IsLoaded() && CFATTableAnalyser::CheckFAT12Header(View()); }

CFAT16Table::CFAT16Table(IStorageDevice* device, long long firstSector, std::uint32_t sectorCount)
    : IRealFATTable(device, firstSector, sectorCount, 2) {
  Load(12, 256);
}

std::uint32_t CFAT16Table::GetNextCluster(std::uint32_t cluster) {
  if (!IsLoaded() || cluster >= m_entryCount) return 0;
  const std::uint32_t v = View().U16Le(static_cast<std::size_t>(cluster) * 2);
  if (v == kFat16Bad) return kFat32Bad;
  if (v > kFat16Bad) return kEndOfChain;
  return v;
}

bool CFAT16Table::IsValidFATTable() {
  const ByteView fat = View();
  return IsLoaded() && CFATTableAnalyser::CheckFAT16Header(fat) &&
         CFATTableAnalyser::CheckFATBody(fat, 2, m_entryCount) &&
         CFATTableAnalyser::CheckFATIndex(fat, 2, m_entryCount);
}

CFAT32Table::CFAT32Table(IStorageDevice* device, long long firstSector, std::uint32_t sectorCount)
    : IRealFATTable(device, firstSector, sectorCount, 4) {
  Load(256, 128000);
}

std::uint32_t CFAT32Table::GetNextCluster(std::uint32_t cluster) {
  if (!IsLoaded() || cluster >= m_entryCount) return 0;
  return View().U32Le(static_cast<std::size_t>(cluster) * 4);
}

bool CFAT32Table::IsValidFATTable() {
  const ByteView fat = View();
  return IsLoaded() && CFATTableAnalyser::CheckFAT32Header(fat) &&
         CFATTableAnalyser::CheckFATBody(fat, 4, m_entryCount) &&
         CFATTableAnalyser::CheckFATIndex(fat, 4, m_entryCount);
}

CDoubleFATTable::~CDoubleFATTable() {
  delete m_first;
  delete m_second;
}

std::uint32_t CDoubleFATTable::GetNextCluster(std::uint32_t cluster) {
  if (m_first != nullptr) return m_first->GetNextCluster(cluster);
  if (m_second != nullptr) return m_second->GetNextCluster(cluster);
  return 0;
}

IFATTable* IFATTableFactory::CreateFATTable(IStorageDevice* device, long long firstFatSector, enumFILE_SYSTEM_TYPE type,
                                            std::uint32_t sectorsPerFat, int useFirst, int useSecond) {
  IRealFATTable* first = nullptr;
  if (useFirst != 0 || useSecond == 0) first = CreateRealFATTable(device, type, firstFatSector, sectorsPerFat);
  IRealFATTable* second = nullptr;
  if (useSecond != 0 && first == nullptr) {
    second = CreateRealFATTable(device, type, firstFatSector + sectorsPerFat, sectorsPerFat);
  }
  return new CDoubleFATTable(first, second);
}

IRealFATTable* IFATTableFactory::CreateRealFATTable(IStorageDevice* device, enumFILE_SYSTEM_TYPE type,
                                                    long long firstSector, std::uint32_t sectorCount) {
  IRealFATTable* table = nullptr;
  switch (type) {
    case kFatTypeFat32:
      table = new CFAT32Table(device, firstSector, sectorCount);
      break;
    case kFatTypeFat16:
      table = new CFAT16Table(device, firstSector, sectorCount);
      break;
    case kFatTypeFat12:
      table = new CFAT12Table(device, firstSector, sectorCount);
      break;
    default:
      return nullptr;
  }
  if (!table->IsValidFATTable()) {
    delete table;
    return nullptr;
  }
  return table;
}

bool CFATTableAnalyser::IsValidFATTableFirstSector(const ByteView& sector, std::uint32_t sectorSize,
                                                   enumFILE_SYSTEM_TYPE& type) {
  if (sectorSize < 8 || !sector.Has(0, 8)) return false;
  if (CheckFAT32Header(sector)) {
    type = kFatTypeFat32;
    return true;
  }
  if (CheckFAT16Header(sector)) {
    type = kFatTypeFat16;
    return true;
  }
  return false;
}

bool CFATTableAnalyser::CheckFAT12Header(const ByteView& fat) {
  return fat.Has(0, 4) && (fat.U32Le(0) & 0x00FFFFF0) == 0x00FFFFF0;
}

bool CFATTableAnalyser::CheckFAT16Header(const ByteView& fat) {
  return fat.Has(0, 4) && (fat.U32Le(0) & 0x7FFFFFF8) == 0x7FFFFFF8;
}

bool CFATTableAnalyser::CheckFAT32Header(const ByteView& fat) {
  return fat.Has(0, 8) && (fat.U32Le(0) & 0x0FFFFFF0) == 0x0FFFFFF0 && (fat.U32Le(4) & 0x07FFFFF8) == 0x07FFFFF8;
}

bool CFATTableAnalyser::CheckFATBody(const ByteView& fat, std::uint32_t width, std::uint32_t n) {
  if (n < 3) return true;
  if (!fat.Has(0, static_cast<std::size_t>(n) * width)) return false;
  const std::uint32_t bad = width == 2 ? kFat16Bad : kFat32Bad;
  for (std::uint32_t i = 2; i < n; ++i) {
    const std::uint32_t v = Entry(fat, width, i);
    if (v == 1 || v == i || (v >= n && v < bad)) return false;
  }
  return true;
}

bool CFATTableAnalyser::CheckFATIndex(const ByteView& fat, std::uint32_t width, std::uint32_t n) {
  if (n < 3) return true;
  if (!fat.Has(0, static_cast<std::size_t>(n) * width)) return false;
  // Two clusters leading to one: a cluster with two predecessors.
  std::vector<std::uint8_t> incoming(n, 0);
  for (std::uint32_t i = 2; i < n; ++i) {
    const std::uint32_t next = ChainNext(fat, width, i, n);
    if (next == 0) continue;
    if (incoming[next] != 0) return false;
    incoming[next] = 1;
  }
  // With at most one predecessor each, a cluster that no chain start reaches
  // lies on a loop.
  std::vector<std::uint8_t> reached(n, 0);
  for (std::uint32_t i = 2; i < n; ++i) {
    if (incoming[i] != 0) continue;
    for (std::uint32_t c = i; c != 0 && reached[c] == 0; c = ChainNext(fat, width, c, n)) reached[c] = 1;
  }
  for (std::uint32_t i = 2; i < n; ++i) {
    if (reached[i] == 0) return false;
  }
  return true;
}
