// The complete searcher's B-tree node test, catalog leaves turned into file
// nodes, and the candidate volume each record belongs to.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/bitmap/Bitmap.h"
#include "hfsplus/BTreeNode.h"
#include "hfsplus/CompleteSearcher.h"
#include "hfsplus/HeaderPlacement.h"
#include "hfsplus/HfsPlusDirectoryTreeBuilder.h"
#include "hfsplus/HfsPlusFileNode.h"
#include "hfsplus/HfsPlusLayout.h"
#include "hfsplus/HfsPlusTrees.h"
#include "hfsplus/QuickSearchProgress.h"

namespace {

// Bits of the volume attributes that say catalog node ids were reused, so an
// id at or past nextCatalogID may still belong to the volume. The published
// flag is bit 12; bits 2 and 3 together are accepted as well.
bool IdsMayBeReused(std::uint32_t attributes) { return (attributes & 0x1000u) != 0 || (attributes & 0xCu) == 0xCu; }

// Whether a record found at `sector` may belong to the candidate's volume.
bool RecordFits(const CompleteSearchPatition& c, const HFSPlusCatalogRecord& record, long long sector) {
  if (!c.volumeHeader) return false;
  const HFSPlusVolumeHeader& h = *c.volumeHeader;
  if (!IdsMayBeReused(h.attributes) && h.nextCatalogID < record.id) return false;
  if (h.modifyDate < record.createDate && c.partitionIndex != 0) return false;
  // The node must lie inside the volume.
  return sector >= c.startSector && sector < c.startSector + c.sectorCount;
}

bool ForkOutgrowsRecord(const HFSPlusForkData& fork) {
  std::uint64_t blocks = 0;
  for (const HFSPlusExtentDescriptor& e : fork.extents) blocks += e.blockCount;
  return blocks < fork.totalBlocks;
}

// A file whose content cannot be found without its volume's trees.
bool ContentNeedsVolume(const HFSPlusCatalogRecord& r) {
  if (!r.IsFile()) return false;
  if ((r.bsdInfo.ownerFlags & hfs::kCompressedOwnerFlag) != 0) return true;
  if (r.fileType == hfs::kHardLinkType && r.fileCreator == hfs::kHfsPlusCreator) return true;
  return ForkOutgrowsRecord(r.dataFork) || ForkOutgrowsRecord(r.resourceFork);
}

// The alternate header of a volume starting at `start`: sector and byte.
struct AlternatePosition {
  long long sector = -1;
  std::size_t offset = 0;
};
AlternatePosition AlternateHeaderAt(long long start, std::uint64_t volumeBytes, std::uint32_t sectorSize) {
  if (start < 0 || sectorSize == 0 || volumeBytes < 2 * hfs::kVolumeHeaderOffset) return {};
  const std::uint64_t at = volumeBytes - hfs::kVolumeHeaderOffset;
  return {start + static_cast<long long>(at / sectorSize), static_cast<std::size_t>(at % sectorSize)};
}

}  // namespace

long long CHFSPlusCompleteFileSystemSearchController::TestBTreeNode(long long s, long long left,
                                                                    const std::uint8_t* bytes,
                                                                    const std::uint8_t* blockEnd) {
  const auto ss = static_cast<std::size_t>(m_iSectorSize);
  if (!IsNodeCandidate(ByteView(bytes, ss))) return 1;
  // 32 KiB from the sector: from the block in memory when it holds them.
  ByteView view;
  if (blockEnd - bytes >= static_cast<std::ptrdiff_t>(hfs::kMaxNodeSize)) {
    view = ByteView(bytes, hfs::kMaxNodeSize);
  } else {
    m_nodeBuffer.assign(hfs::kMaxNodeSize, 0);
    const long long want = static_cast<long long>(hfs::kMaxNodeSize / ss);
    if (ReadAt(s, std::max(1LL, want), m_nodeBuffer.data()) == 0) return 1;
    view = ByteView(m_nodeBuffer.data(), m_nodeBuffer.size());
  }
  const std::uint32_t nodeSize = FindNodeSize(view, static_cast<std::uint32_t>(ss));
  if (nodeSize == 0) return 1;
  AnalyzeNode(s, view.Sub(0, nodeSize), nodeSize);
  return std::min(left, static_cast<long long>(nodeSize / ss));
}

void CHFSPlusCompleteFileSystemSearchController::AnalyzeNode(long long s, const ByteView& bytes,
                                                             std::uint32_t nodeSize) {
  const BTNodeDescriptor d = DecodeNodeDescriptor(bytes);
  if (d.kind == hfs::kHeaderNode) {
    if (!m_candidates.empty()) m_candidates.back()->lastHeaderNodeSector = s;
    return;
  }
  auto leaf = CHFSPlusBTNode::Create(std::vector<std::uint8_t>(bytes.Data(), bytes.Data() + bytes.Size()), nodeSize);
  if (!leaf || !IsCatalogLeaf(*leaf)) return;
  AnalyzeCatalogLeaf(s, *leaf);
}

void CHFSPlusCompleteFileSystemSearchController::AnalyzeCatalogLeaf(long long s, const CHFSPlusBTNode& leaf) {
  for (std::size_t i = 0; i < leaf.NumRecords(); ++i) {
    const auto key = CHFSPlusCatalog::KeyRead(leaf, i);
    const auto record = CHFSPlusCatalog::DataRead(leaf, i);
    if (!key || !record || record->IsThread()) continue;
    CHFSPlusVolume* volume = nullptr;
    CompleteSearchPatition* c = AdjustNodeBelongsPartitionIndex(*record, s, volume);
    if (c == nullptr) continue;
    auto* node =
        new (std::nothrow) CHFSPlusFileNode(volume, s, static_cast<unsigned short>(c->partitionIndex), &*key, &*record);
    if (node == nullptr) continue;
    if (node->GetCurrentNodeID() == -1 || node->GetCreateDate() == 0 || m_pBuilder == nullptr) {
      node->Release();
      continue;
    }
    const bool folder = node->IsDirectory() != 0;
    if (m_pBuilder->AddNode(node, kSearcherHfsPlus) == 0) {
      node->Release();
      continue;
    }
    if (volume == nullptr && !folder && m_waiting.size() < kMaxWaitingNodes && ContentNeedsVolume(*record)) {
      m_waiting.push_back({node, c, s, *record});
    }
    if (!folder) ++m_foundFiles;
    int& counter = folder ? c->foldersFound : c->filesFound;
    if (counter < 0x7FFFFFFF) ++counter;
  }
}

CompleteSearchPatition* CHFSPlusCompleteFileSystemSearchController::AdjustNodeBelongsPartitionIndex(
    const HFSPlusCatalogRecord& record, long long s, CHFSPlusVolume*& volume) {
  volume = nullptr;
  if (!record.IsFolder() && !record.IsFile()) return nullptr;
  if (m_candidates.empty()) return nullptr;
  for (auto it = m_candidates.rbegin(); it != m_candidates.rend(); ++it) {
    CompleteSearchPatition& c = **it;
    if (!RecordFits(c, record, s)) continue;
    if (!c.volume && !c.volumeTried) OpenCandidateVolume(c);
    if (c.volume) {
      volume = c.volume.get();
      return &c;
    }
  }
  // No volume claims it: a volume of the disk that holds the node, else the
  // first candidate, without a volume.
  for (auto it = m_candidates.rbegin(); it != m_candidates.rend(); ++it) {
    CompleteSearchPatition& c = **it;
    if (c.fromDiskRecord && !c.volumeHeader && s >= c.startSector && s < c.startSector + c.sectorCount) return &c;
  }
  return m_candidates.front().get();
}

bool CHFSPlusCompleteFileSystemSearchController::OpenCandidateVolume(CompleteSearchPatition& c) {
  c.volumeTried = true;
  if (!c.volumeHeader || c.startSector < 0 || c.sectorCount <= 1) return false;
  IStorageDevice* device = m_pDevice;
  if (c.startSector > 0) {
    c.virtualDevice = std::make_unique<CPartitionVirtualVolumeDevice>(m_pDevice, c.startSector, c.sectorCount);
    device = c.virtualDevice.get();
  }
  const std::uint64_t cache = std::min(m_u64CatalogBudgetLeft, CHFSPlusFileCache::kMaxCached);
  c.volume = std::make_unique<CHFSPlusVolume>(device, false, cache);
  auto sameVolume = [&c]() {
    const HFSPlusVolumeHeader* opened = c.volume->GetVolumeHeader();
    return result::Succeeded(c.volume->GetLastResult()) && opened != nullptr &&
           opened->VolumeIdentifier() == c.volumeHeader->VolumeIdentifier() &&
           opened->createDate == c.volumeHeader->createDate;
  };
  if (!sameVolume() && !c.headerIsMain) {
    c.volume.reset();
    OpenFromAlternateHeader(c, device, cache);
  }
  if (!c.volume || !sameVolume()) {
    c.volume.reset();
    c.virtualDevice.reset();
    return false;
  }
  m_u64CatalogBudgetLeft -= std::min(m_u64CatalogBudgetLeft, c.volume->CatalogCachedBytes());
  const HFSPlusVolumeHeader* opened = c.volume->GetVolumeHeader();
  // An intact volume: the whole device, or a volume the disk lists.
  const bool intact =
      c.headerIsMain &&
      MainHeaderPosition(c.startSector, static_cast<std::uint32_t>(m_iSectorSize)).sector == c.volumeHeaderSector;
  if (intact && c.startSector == 0) {
    if ((m_iDeviceType == kDevicePartition || m_iDeviceType == kDeviceVolume) && m_pBitmap != nullptr) {
      const std::uint32_t spb = opened->blockSize / static_cast<std::uint32_t>(m_iSectorSize);
      if (spb >= 1) {
        m_pBitmap->CreateBitmap(opened->totalBlocks, spb);
      } else {
        m_pBitmap->CreateBitmap(m_llTotalSectors, 1);
      }
    }
    ScanIntactVolume(c);
  } else if (intact && m_iDeviceType == kDeviceDisk && IsDiskVolumeStart(c.startSector)) {
    ScanIntactVolume(c);
  }
  return true;
}

void CHFSPlusCompleteFileSystemSearchController::OpenFromAlternateHeader(CompleteSearchPatition& c,
                                                                         IStorageDevice* device, std::uint64_t cache) {
  const auto ss = static_cast<std::uint32_t>(m_iSectorSize);
  const AlternatePosition at = AlternateHeaderAt(c.startSector, c.volumeHeader->VolumeBytes(), ss);
  if (at.sector < 0 || at.sector >= m_llTotalSectors) return;
  const long long sectors = static_cast<long long>((at.offset + hfs::kVolumeHeaderSize + ss - 1) / ss);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(sectors) * ss, 0);
  if (ReadAt(at.sector, sectors, bytes.data()) != sectors) return;
  const ByteView image = ByteView(bytes.data(), bytes.size()).Sub(at.offset, hfs::kVolumeHeaderSize);
  // The copy on the device now must still be the header that placed the volume.
  if (!IsValidVolumeHeaderBytes(image)) return;
  const auto header = DecodeVolumeHeader(image);
  if (!header || header->VolumeIdentifier() != c.volumeHeader->VolumeIdentifier() ||
      header->createDate != c.volumeHeader->createDate) {
    return;
  }
  c.volume = std::make_unique<CHFSPlusVolume>(device, image, false, cache);
}

void CHFSPlusCompleteFileSystemSearchController::AttachWaitingNodes() {
  for (WaitingNode& w : m_waiting) {
    CompleteSearchPatition& c = *w.candidate;
    if (!RecordFits(c, w.record, w.sector)) continue;
    if (!c.volume && !c.volumeTried) OpenCandidateVolume(c);
    if (c.volume) w.node->AttachVolume(c.volume.get(), w.record);
  }
  m_waiting.clear();
}

void CHFSPlusCompleteFileSystemSearchController::ScanIntactVolume(CompleteSearchPatition& c) {
  if (!c.volume || m_pBuilder == nullptr) return;
  const HFSPlusVolumeHeader* h = c.volume->GetVolumeHeader();
  const std::uint32_t spb = h->blockSize / static_cast<std::uint32_t>(m_iSectorSize);
  CHFSPlusDirectoryTreeBuilder decorator(m_pBuilder, spb, static_cast<std::uint32_t>(c.partitionIndex),
                                         static_cast<std::uint64_t>(c.startSector));
  if (m_pBitmap != nullptr && m_pBitmap->GetBitmapData() != nullptr && spb >= 1) decorator.SetBitmap(m_pBitmap);
  CHFSPlusQuickFileSystemSearchProgress progress(m_pProgress, true);
  (void)c.volume->QuickSearchFiles(&decorator, &progress);
  auto add = [](int& counter, std::uint32_t n) {
    counter = static_cast<int>(std::min<long long>(static_cast<long long>(counter) + n, 0x7FFFFFFF));
  };
  add(c.filesFound, h->fileCount);
  add(c.foldersFound, h->folderCount);
  m_foundFiles += h->fileCount;
}
