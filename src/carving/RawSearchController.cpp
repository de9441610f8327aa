#include "carving/RawSearchController.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>

#include "carving/NotifyCenter.h"
#include "carving/RawFileManager.h"
#include "carving/RawFileNode.h"
#include "core/bitmap/Bitmap.h"
#include "core/cache/StorageDeviceWithCache.h"
#include "core/device/StorageDevice.h"
#include "core/util/Assert.h"
#include "core/util/Log.h"

namespace {

// Held by the searcher whose search is running.
std::atomic<const CRAWSearchController*> g_activeSearch{nullptr};

constexpr int kMaxSectorSize = 65536;

unsigned U32Le(const unsigned char* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<unsigned>(p[3]) << 24);
}

int ZeroTailBytes(const unsigned char* sector, int sectorSize) {
  int words = 0;
  for (int end = sectorSize; words < 8 && end >= 4; end -= 4, ++words) {
    if (U32Le(sector + end - 4) != 0) break;
  }
  return 4 * words;
}

// Types whose stream is a run of units that each start with the type's
// signature (frames, pages, packs, packets, member headers, messages): a
// start of the same type inside such a file is one of its units, not the
// next file.
bool UnitsRepeatSignature(int type) {
  switch (type) {
    case kRawTypeMp3:
    case kRawTypeTar:
    case kRawTypeOgg:
    case kRawTypeMpg:
    case kRawTypeM2ts:
    case kRawTypeMbox:
      return true;
    default:
      return false;
  }
}

int Accepts(IRawFileAnalyser* a, unsigned char* data, CRawFileInfo& probe, int sectorSize, long long sector,
            const CRawFileInfo::SearchContext& ctx) {
  if (ISpecialRawFileAnalyser* special = a->GetSpecialRawFile()) {
    return special->AnalyseBufferEx(data, probe, sectorSize, sector, ctx.previousBlockStartSector,
                                    ctx.blockEndSector) != 0;
  }
  return a->AnalyseBuffer(data, probe) == 1;
}

}  // namespace

ICompleteFileSystemSearchController* CreateRAWSearcher() { return new CRAWSearchController(); }

CRAWSearchController::CRAWSearchController() = default;

CRAWSearchController::~CRAWSearchController() {
  DeleteCandidates();
  ReleaseSearch();
}

void CRAWSearchController::DeleteCandidates() {
  // Open candidates are also in the waiting list.
  m_open.clear();
  m_held.clear();
  m_starts.clear();
  for (CRawFileInfo* c : m_waiting) delete c;
  for (CRawFileInfo* c : m_readBack) delete c;
  m_waiting.clear();
  m_readBack.clear();
}

void CRAWSearchController::ReleaseSearch() {
  if (!m_bActive) return;
  CNotifyCenter::Instance().Reset();
  m_bActive = false;
  const CRAWSearchController* self = this;
  g_activeSearch.compare_exchange_strong(self, nullptr);
}

int CRAWSearchController::GetSearchedPartitionInfo(CSearchedPartitionInfo** out, int capacity) {
  if (out == nullptr || capacity <= 0) return 1;
  int ss = m_pDevice != nullptr ? m_pDevice->GetSectorSize() : 512;
  if (ss <= 0) ss = 512;
  auto* p = new CSearchedPartitionInfo(ss);
  p->m_dScore = 1.0;
  p->m_llStartSector = 0;
  p->m_llClusterBaseSector = 0;
  p->m_iSectorsPerCluster = 1;
  if (m_pDevice != nullptr) p->SetTotalSectors(m_pDevice->GetTotalSectors());
  out[0] = p;
  return 1;
}

void CRAWSearchController::SetDevice(IStorageDevice* device) {
  QV_ASSERT(device != nullptr);
  m_pDevice = device;
  m_pCache = dynamic_cast<CStorageDeviceWithCache*>(device);
}

void CRAWSearchController::SetBlockSize(int sectors) {
  QV_ASSERT(sectors > 0);
  m_iSectorsPerBlock = sectors;
}

void CRAWSearchController::SetIProgressSink(IProgress* progress) {
  m_pProgress = progress;
  if (m_bActive) CNotifyCenter::Instance().SetProgress(progress);
}

int CRAWSearchController::PreparetoSearch() {
  DeleteCandidates();
  const CRAWSearchController* expected = nullptr;
  if (!m_bActive && !g_activeSearch.compare_exchange_strong(expected, this)) {
    CatchExeception::WriteLog("carving: a carving search is already running; this one stays idle\n");
    return 0;
  }
  m_bActive = true;
  CNotifyCenter::Instance().SetProgress(m_pProgress);

  CRawFileAnalyserListSingle* registry = CRawFileAnalyserListSingle::CreateInstance();
  if (m_pBuilder != nullptr) {
    registry->ReinitAnalyzeList(nullptr);
  } else {
    registry->ClearAnalyzeList();
  }
  CRAWFileManager::g_nID = 10;
  CLABELRAWTreeBuilder::m_gRawCount = 2001;
  ResetRawFileNameCounters();
  m_fileTypes.Initialize();
  m_managers.clear();
  m_delivered.clear();
  m_pLabels = std::make_unique<CLABELRAWTreeBuilder>();
  m_llNextFileId = CRAWFileManager::kFirstFileId;

  int ss = m_pDevice != nullptr ? m_pDevice->GetSectorSize() : 512;
  if (ss < 512 || ss > kMaxSectorSize || (ss & (ss - 1)) != 0) ss = 512;
  m_iSectorSize = ss;
  if (m_iSectorsPerBlock <= 0) m_iSectorsPerBlock = (4 << 20) / ss;
  m_ring.InitBufferDevice(m_pDevice, 0, static_cast<unsigned>(ss), static_cast<unsigned>(m_iSectorsPerBlock),
                          kRingBlocks);
  if (m_pBuilder != nullptr) {
    m_pBuilder->AddSearcherInfo(kSearcherRawByType, 1);
    m_pBuilder->AddSearcherInfo(kSearcherRawByLabel, CLABELRAWTreeBuilder::kRootId);
  }
  m_uBlockBufferSize = 2 * static_cast<std::size_t>(m_iSectorsPerBlock) * static_cast<std::size_t>(ss);
  m_blockPair = platform::BlockPairViews::Map(m_uBlockBufferSize / 2, kBlockBufferTail);
  m_iFillBlock = 0;
  m_blockBuffer.reset();
  m_llLoadedStart = -1;
  if (!m_blockPair) {
    // Each half is written before it is read (a block is read into the upper
    // half and copied down): only the zeros after the buffer are set now.
    m_blockBuffer = platform::AllocatePageBuffer(m_uBlockBufferSize + kBlockBufferTail);
    if (m_blockBuffer) std::memset(m_blockBuffer.get() + m_uBlockBufferSize, 0, kBlockBufferTail);
  }
  m_keyBits.clear();
  m_bLowerValid = false;
  m_llLastBlockEnd = -1;
  m_llSweptTo = 0;
  m_bSweepOver = false;
  return 1;
}

IRawFileAnalyser* CRAWSearchController::FindAnalyser(unsigned char* data, CRawFileInfo& probe, long long sector,
                                                     const CRawFileInfo::SearchContext& context) {
  CRawFileAnalyserListSingle* registry = CRawFileAnalyserListSingle::CreateInstance();
  const unsigned first = U32Le(data);
  // Most sectors begin with two bytes that no keyed analyser is registered
  // under: they go straight to the list.
  if (first != 0 && KeyMayMatch(first)) {
    auto& map = registry->GetAnalyserMap(0);
    const auto it = map.find(first);
    if (it != map.end()) {
      CRawFileInfo trial;
      if (Accepts(it->second, data, trial, m_iSectorSize, sector, context) != 0) {
        probe = trial;
        return it->second;
      }
    }
    auto& multimap = registry->GetAnalyserMultimap(0);
    const auto range = multimap.equal_range(static_cast<unsigned short>(first & 0xFFFF));
    for (auto m = range.first; m != range.second; ++m) {
      CRawFileInfo trial;
      if (Accepts(m->second, data, trial, m_iSectorSize, sector, context) != 0) {
        probe = trial;
        return m->second;
      }
    }
  }
  // The keyless analysers write the probe only when they accept the sector.
  for (IRawFileAnalyser* a : registry->GetAnalyserList(0)) {
    if (a->AnalyseBuffer(data, probe) != 0) return a;
  }
  return nullptr;
}

void CRAWSearchController::IndexKeys() {
  CRawFileAnalyserListSingle* registry = CRawFileAnalyserListSingle::CreateInstance();
  const auto& map = registry->GetAnalyserMap(0);
  const auto& multimap = registry->GetAnalyserMultimap(0);
  m_keyBits.assign(kKeyWords, 0);
  for (const auto& entry : map) m_keyBits[(entry.first & 0xFFFF) / 64] |= 1ull << (entry.first % 64);
  for (const auto& entry : multimap) m_keyBits[entry.first / 64] |= 1ull << (entry.first % 64);
  m_indexedMap = map.size();
  m_indexedMultimap = multimap.size();
}

bool CRAWSearchController::KeyMayMatch(unsigned first) const {
  if (m_keyBits.empty()) return true;
  const unsigned low = first & 0xFFFF;
  return (m_keyBits[low / 64] >> (low % 64) & 1) != 0;
}

CRawFileInfo* CRAWSearchController::CreateCandidate(IRawFileAnalyser* analyser, const CRawFileInfo& probe,
                                                    long long sector) {
  CRawFileInfo* c = analyser->CreateRawFileInfo();
  if (c == nullptr) return nullptr;
  c->m_eType = probe.m_eType;
  c->m_llSize = probe.m_llSize;
  c->m_llStartSector = sector;
  c->m_pAnalyser = analyser;
  c->m_iAnalyserType = analyser->GetOwnType();
  if (m_pFileSectorMap != nullptr) m_pFileSectorMap->emplace(sector, static_cast<unsigned>(probe.m_eType));
  RecordStart(sector, probe.m_eType);
  return c;
}

void CRAWSearchController::RecordStart(long long sector, int type) {
  const std::pair<long long, int> start(sector, type);
  if (m_starts.empty() || m_starts.back().first < sector) {
    m_starts.push_back(start);
    return;
  }
  const auto at = std::lower_bound(m_starts.begin(), m_starts.end(), start,
                                   [](const auto& a, const auto& b) { return a.first < b.first; });
  if (at == m_starts.end() || at->first != sector) m_starts.insert(at, start);
}

void CRAWSearchController::CutAtNextStart(CRawFileInfo* c) const {
  const long long first = c->m_llStartSector;
  auto it = std::upper_bound(m_starts.begin(), m_starts.end(), first,
                             [](long long s, const auto& start) { return s < start.first; });
  for (; it != m_starts.end(); ++it) {
    const long long room = (it->first - first) * m_iSectorSize;
    if (room >= c->m_llSize) return;
    if (it->second == c->m_eType && UnitsRepeatSignature(c->m_eType)) continue;
    c->m_llSize = room;
    return;
  }
}

void CRAWSearchController::DeliverHeldFinds() {
  const long long swept = m_llSweptTo * m_iSectorSize;
  std::vector<std::unique_ptr<CRawFileInfo>> still;
  for (auto& c : m_held) {
    CutAtNextStart(c.get());
    if (m_bSweepOver || c->m_llStartSector * m_iSectorSize + c->m_llSize <= swept) {
      c->m_bEndGuessed = false;
      Deliver(c.get());
    } else {
      still.push_back(std::move(c));
    }
  }
  m_held.swap(still);
}

void CRAWSearchController::AddRawFileInfoToList(CRawFileInfo* candidate, unsigned char* data, long long sector) {
  if (candidate->WhetherImplementGuess() && candidate->m_llSize == 0) {
    if (m_open.size() >= static_cast<std::size_t>(kMaxOpenFiles)) {
      m_open.front()->WillBeRemove(data, sector);
      m_open.erase(m_open.begin());
    }
    m_open.push_back(candidate);
    m_waiting.push_back(candidate);
  } else if (!candidate->WhetherImplementGuess() && candidate->m_llSize == 0) {
    m_readBack.push_back(candidate);
  } else {
    m_waiting.push_back(candidate);
  }
}

void CRAWSearchController::CalcRawFileSize(unsigned char* data, CRawFileInfo* fresh, long long sector,
                                           CRawFileInfo::SearchContext& context) {
  for (std::size_t k = 0; k < m_open.size();) {
    CRawFileInfo* c = m_open[k];
    context.other = c != fresh ? fresh : nullptr;
    if (c->CalcRawSize(data, m_iSectorSize, sector, context) != 1) {
      ++k;
      continue;
    }
    m_open.erase(m_open.begin() + static_cast<std::ptrdiff_t>(k));
    if (c->m_llSize > 0) {
      if (Deliver(c)) {
        m_waiting.remove(c);
        delete c;
      }
    } else if (c->m_pAnalyser != nullptr) {
      c->WillBeRemove(data, sector);
      m_waiting.remove(c);
      m_readBack.push_back(c);
    }
  }
  context.other = nullptr;
}

CRAWFileManager* CRAWSearchController::GetFileManager(int type) {
  if (type < 0 || type >= kRawFileTypeCounters) return nullptr;
  const FILE_TYPE_ID category = m_fileTypes.GetFileTypeID(RawFileExtName(type));
  auto it = m_managers.find(category);
  if (it == m_managers.end()) {
    if (!m_pLabels) m_pLabels = std::make_unique<CLABELRAWTreeBuilder>();
    it = m_managers
             .emplace(category, std::make_unique<CRAWFileManager>(1, category, m_pBuilder, m_pLabels.get(),
                                                                  &m_llNextFileId, m_iSectorSize))
             .first;
  }
  return it->second.get();
}

bool CRAWSearchController::Deliver(CRawFileInfo* c) {
  CRAWFileManager* manager = GetFileManager(c->m_eType);
  if (manager == nullptr) return false;
  // A size may not reach past the device's end.
  if (m_pDevice != nullptr) {
    const long long total = m_pDevice->GetTotalSectors();
    if (total > 0 && c->m_llStartSector >= 0 && c->m_llStartSector < total) {
      const long long room = (total - c->m_llStartSector) * m_iSectorSize;
      if (c->m_llSize > room) c->m_llSize = room;
    }
  }
  if (c->m_llSize <= 0) return true;
  if (c->m_bEndGuessed) {
    CutAtNextStart(c);
    // Starts beyond the sectors swept so far are not known yet: the find
    // waits until the sweep passes its end.
    if (!m_bSweepOver && (c->m_llStartSector - m_llSweptTo) * m_iSectorSize + c->m_llSize > 0) {
      auto held = std::make_unique<CRawFileInfo>(*c);
      held->m_pAnalyser = nullptr;
      m_held.push_back(std::move(held));
      return true;
    }
    c->m_bEndGuessed = false;
  }
  // A find that lies inside a delivered find of its own type is a piece of
  // that file (a member header of an archive, a pack of a stream); its end
  // may pass the file's end by the padding of one archive record.
  constexpr long long kRecordPadding = 10240;
  const long long first = c->m_llStartSector * m_iSectorSize;
  const long long end = first + c->m_llSize;
  auto& spans = m_delivered[c->m_eType];
  auto it = spans.upper_bound(first);
  if (it != spans.begin() && std::prev(it)->second > first && std::prev(it)->second + kRecordPadding >= end) {
    return true;
  }
  long long& known = spans[first];
  known = std::max(known, end);
  if (manager->AddRawFileInfo(c) != 0) ++m_foundFiles;
  return true;
}

bool CRAWSearchController::SizeThroughDevice(CRawFileInfo* c, IStorageDevice* device) {
  if (c->m_pAnalyser == nullptr || device == nullptr) return false;
  c->m_bEndGuessed = false;
  try {
    return c->m_pAnalyser->GetRawFileSize(*c, device);
  } catch (...) {
    c->m_llSize = 0;
    return false;
  }
}

void CRAWSearchController::FlushReadBack(long long blockSectors) {
  const auto ringFirst = static_cast<long long>(m_ring.GetDeviceStartSector());
  while (!m_readBack.empty()) {
    if (CNotifyCenter::Instance().isContinue() == 0) return;
    CRawFileInfo* c = m_readBack.front();
    if (c->m_llStartSector > ringFirst + blockSectors - 1) return;
    const bool sized = SizeThroughDevice(c, &m_ring);
    if (sized && c->m_llSize > 0) Deliver(c);
    delete c;
    m_readBack.pop_front();
  }
}

bool CRAWSearchController::Sweeps(long long start, long long count) const {
  if (!m_bActive || m_pDevice == nullptr || (!m_blockPair && !m_blockBuffer)) return false;
  CRawFileAnalyserListSingle* registry = CRawFileAnalyserListSingle::CreateInstance();
  if (registry->GetAnalyserList(0).empty() && registry->GetAnalyserMap(0).empty() &&
      registry->GetAnalyserMultimap(0).empty()) {
    return false;
  }
  return start >= 0 && count > 0;
}

unsigned char* CRAWSearchController::LowerHalf() const {
  // The block is read behind the one before it, the two side by side.
  return m_blockPair ? m_blockPair.View(1 - m_iFillBlock) : m_blockBuffer.get();
}

bool CRAWSearchController::LoadBlock(long long start, long long count) {
  // A failed read counts as done too: a damaged block is not read twice.
  m_llLoadedStart = start;
  m_llLoadedCount = count;
  unsigned char* upper = LowerHalf() + m_uBlockBufferSize / 2;
  m_bLoadedRead = m_pDevice->ReadSector(upper, start, count) != 0;
  if (!m_bLoadedRead) return false;
  const std::size_t valid = static_cast<std::size_t>(count) * static_cast<std::size_t>(m_iSectorSize);
  std::memset(upper + valid, 0, m_uBlockBufferSize / 2 - valid);
  return true;
}

void CRAWSearchController::PrepareBlock(long long start, long long count) {
  if (!Sweeps(start, count)) return;
  LoadBlock(start, std::min(count, static_cast<long long>(m_iSectorsPerBlock)));
}

int CRAWSearchController::AnalyzeBlock(long long start, long long count) {
  if (!Sweeps(start, count)) return 1;
  CRawFileAnalyserListSingle* registry = CRawFileAnalyserListSingle::CreateInstance();
  if (m_keyBits.empty() || registry->GetAnalyserMap(0).size() != m_indexedMap ||
      registry->GetAnalyserMultimap(0).size() != m_indexedMultimap) {
    IndexKeys();
  }
  const long long spb = m_iSectorsPerBlock;
  if (count > spb) count = spb;
  const int ss = m_iSectorSize;
  const std::size_t half = m_uBlockBufferSize / 2;
  if (m_llLoadedStart != start || m_llLoadedCount != count) LoadBlock(start, count);
  // Used now: the next block is read into the other half.
  m_llLoadedStart = -1;
  if (!m_bLoadedRead) return 1;
  unsigned char* lower = LowerHalf();
  unsigned char* upper = lower + half;
  const std::size_t valid = static_cast<std::size_t>(count) * static_cast<std::size_t>(ss);
  m_bLowerValid = m_llLastBlockEnd == start;

  TBitmap* bitmap = m_pBitmap != nullptr && m_pBitmap->GetBitmapData() != nullptr ? m_pBitmap : nullptr;
  const long long unit = bitmap != nullptr && bitmap->GetUnit() != 0 ? bitmap->GetUnit() : 1;

  CRawFileInfo::SearchContext context;
  context.previousBlockStartSector = start >= 1 ? start - spb : start;
  context.blockEndSector = start + count;
  context.bufferBegin = m_bLowerValid ? lower : upper;
  context.bufferEnd = upper + valid;

  for (long long i = 0; i < count;) {
    const long long s = start + i;
    if (bitmap != nullptr && bitmap->GetBit(s / unit) != 0) {
      i += s % unit == 0 ? unit : 1;
      continue;
    }
    if (CNotifyCenter::Instance().isContinue() == 0) break;
    m_llSweptTo = s + 1;
    unsigned char* data = upper + static_cast<std::size_t>(i) * static_cast<std::size_t>(ss);
    context.flags = U32Le(data) == 0 ? 4 : 0;
    context.zeroTailBytes = ZeroTailBytes(data, ss);
    context.other = nullptr;
    context.fileStartsHere = false;

    CRawFileInfo probe;
    CRawFileInfo* fresh = nullptr;
    if (IRawFileAnalyser* analyser = FindAnalyser(data, probe, s, context)) {
      if (CRawFileInfo* c = CreateCandidate(analyser, probe, s)) {
        context.fileStartsHere = true;
        if (c->m_llSize > 0 && GetFileManager(c->m_eType) != nullptr) {
          Deliver(c);
          delete c;
        } else {
          AddRawFileInfoToList(c, data, s);
          fresh = c;
        }
      }
    }
    // Open candidates see every sector, also one where another file starts.
    CalcRawFileSize(data, fresh, s, context);
    ++i;
  }

  if (m_blockPair) {
    m_iFillBlock = 1 - m_iFillBlock;
  } else {
    std::memcpy(lower, upper, half);
  }
  m_llLastBlockEnd = start + count;
  if (CNotifyCenter::Instance().isContinue() != 0) m_llSweptTo = std::max(m_llSweptTo, start + count);
  if (m_ring.IsFullBuffer()) FlushReadBack(spb);
  DeliverHeldFinds();
  // The ring keeps the read-ahead cache's block itself where it can. Its
  // bytes are read back only for candidates that start in it or before it
  // and are still being followed: with none, the ring keeps its place
  // without the bytes (a read of it goes to the device, which holds the
  // same bytes).
  if (m_pCache != nullptr && m_open.empty() && m_readBack.empty()) {
    m_ring.AddSharedBlock(nullptr, start, count);
  } else if (std::shared_ptr<const std::uint8_t> shared =
                 m_pCache != nullptr ? m_pCache->ShareBlock(start, spb) : nullptr) {
    m_ring.AddSharedBlock(std::move(shared), start, count);
  } else {
    m_ring.AddBlockToBuffer(upper, start, count);
  }
  return 1;
}

void CRAWSearchController::EndSearch(int build) {
  if (!m_bActive) return;
  if (build == 0) {
    DeleteCandidates();
    m_blockPair = platform::BlockPairViews();
    m_blockBuffer.reset();
    m_llLoadedStart = -1;
    ReleaseSearch();
    return;
  }
  m_bSweepOver = true;
  for (CRawFileInfo* c : m_open) c->WillBeRemove(nullptr, -1);
  m_open.clear();
  m_waiting.splice(m_waiting.end(), m_readBack);
  std::printf("--------------%s:%d:list size = %d--------\n", "EndSearch", __LINE__,
              static_cast<int>(m_waiting.size()));
  while (!m_waiting.empty()) {
    CRawFileInfo* c = m_waiting.front();
    m_waiting.pop_front();
    if (c == nullptr) continue;
    if (CNotifyCenter::Instance().isContinue() != 0) {
      if (c->m_llSize > 0) {
        Deliver(c);
      } else if (SizeThroughDevice(c, m_pDevice) && c->m_llSize > 0) {
        Deliver(c);
      }
    }
    delete c;
  }
  if (CNotifyCenter::Instance().isContinue() != 0) DeliverHeldFinds();
  m_held.clear();
  std::printf("--------------%s:%d:--------\n", "EndSearch", __LINE__);
  m_blockPair = platform::BlockPairViews();
  m_blockBuffer.reset();
  m_llLoadedStart = -1;
  m_ring.Close();
  if (m_pBuilder != nullptr) {
    m_pBuilder->FlashBuild(kSearcherRawByType);
    m_pBuilder->FlashBuild(kSearcherRawByLabel);
  }
  m_pBitmap = nullptr;
  ReleaseSearch();
}
