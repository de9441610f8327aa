#include "hfsplus/HfsPlusJournal.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <utility>
#include <vector>

#include "hfsplus/BTreeNode.h"
#include "hfsplus/HfsPlusLayout.h"
#include "hfsplus/HfsPlusResult.h"
#include "hfsplus/HfsPlusVolume.h"
#include "hfsplus/QuickSearchProgress.h"

namespace {

// Keeps the records of a journalled leaf of a keyed tree that the volume's
// live tree (`tree`, searched by `search`) does not hold; a key kept already
// takes the later copy.
template <class Tree, class Key, class Record, class List>
void HarvestKeyed(CHFSPlusVolume& v, const CHFSPlusBTNode& node, Tree* (CHFSPlusVolume::*tree)() const,
                  RESULT (CHFSPlusVolume::*search)(const Key&, HFSPlusSearchResult&, Record*),
                  int (*compare)(const Key&, const Key&), List& list) {
  for (std::size_t i = 0; i < node.NumRecords(); ++i) {
    const auto key = Tree::KeyRead(node, i);
    auto data = Tree::DataRead(node, i);
    if (!key || !data) continue;
    HFSPlusSearchResult r;
    if ((v.*tree)() != nullptr && result::Succeeded((v.*search)(*key, r, nullptr)) && r.found) continue;
    auto same = std::find_if(list.begin(), list.end(), [&](const auto& e) { return compare(e.first, *key) == 0; });
    if (same != list.end()) {
      same->second = std::move(*data);
    } else {
      list.emplace_front(*key, std::move(*data));
    }
  }
}

}  // namespace

CHFSPlusJournal::CHFSPlusJournal(CHFSPlusVolume* volume) : m_pVolume(volume) { m_lastResult = Locate(); }

RESULT CHFSPlusJournal::Locate() {
  if (m_pVolume == nullptr) return HFS_FAIL(kHfsBadArgument);
  const HFSPlusVolumeHeader* vh = m_pVolume->GetVolumeHeader();
  if (vh == nullptr) return m_pVolume->GetLastResult();
  if (!vh->IsJournaled()) return HFS_FAIL(kHfsIoFailed);

  const std::uint64_t volumeBytes = vh->VolumeBytes();
  const std::uint64_t infoAt = static_cast<std::uint64_t>(vh->journalInfoBlock) * vh->blockSize;
  std::vector<std::uint8_t> sector(static_cast<std::size_t>(std::max(m_pVolume->GetSectorSize(), 512)));
  if (infoAt >= volumeBytes || m_pVolume->Read(infoAt, sector.data(), sector.size()) != sector.size()) {
    return HFS_FAIL(kHfsShortRead);
  }
  auto info = DecodeJournalInfoBlock(ByteView(sector.data(), sector.size()));
  if (!info || (info->flags & kJournalInFilesystem) == 0) return HFS_FAIL(kHfsIoFailed);
  m_pInfoBlock = std::make_unique<JournalInfoBlock>(*info);

  if (info->offset >= volumeBytes || m_pVolume->Read(info->offset, sector.data(), sector.size()) != sector.size()) {
    return HFS_FAIL(kHfsIoFailed);
  }
  auto header = DecodeJournalHeader(ByteView(sector.data(), sector.size()));
  if (!header || !IsUsableJournalHeader(*header, info->size, info->offset, volumeBytes)) {
    return HFS_FAIL(kHfsIoFailed);
  }
  m_pHeader = std::make_unique<JournalHeader>(*header);
  return result::kSuccess;
}

std::uint64_t CHFSPlusJournal::Advance(std::uint64_t position, std::uint64_t by) const {
  const std::uint64_t ring = m_pHeader->size - m_pHeader->jhdrSize;
  const std::uint64_t off = (position - m_pHeader->jhdrSize + by % ring) % ring;
  return m_pHeader->jhdrSize + off;
}

std::uint64_t CHFSPlusJournal::Read(std::uint64_t position, void* dst, std::uint64_t length) {
  if (!m_pInfoBlock || !m_pHeader) {
    m_lastResult = HFS_FAIL(kHfsIoFailed);
    return 0;
  }
  const std::uint64_t size = m_pHeader->size;
  const std::uint64_t first = m_pHeader->jhdrSize;
  if (position < first || position >= size) {
    m_lastResult = HFS_FAIL(kHfsIoFailed);
    return 0;
  }
  auto* out = static_cast<std::uint8_t*>(dst);
  std::uint64_t done = 0;
  while (done < length) {
    const std::uint64_t n = std::min(length - done, size - position);
    const std::uint64_t got = m_pVolume->Read(m_pInfoBlock->offset + position, out + done, n);
    done += got;
    if (got != n) {
      m_lastResult = HFS_FAIL(kHfsIoFailed);
      return done;
    }
    position += n;
    if (position >= size) position = first;
  }
  return done;
}

RESULT CHFSPlusJournal::GetDeleteRecord(CHFSPlusQuickFileSystemSearchProgress* progress) {
  if (!m_pHeader) return result::kSuccess;
  const JournalHeader h = *m_pHeader;
  std::vector<std::uint8_t> work(std::max(h.blhdrSize, h.jhdrSize));
  std::printf("Journal Start Offset:0x%" PRIx64 "\n", h.end);

  const std::uint64_t ring = h.size - h.jhdrSize;
  std::uint64_t position = h.end;
  std::uint64_t travelled = 0;
  const std::uint64_t volumeBytes = m_pVolume->GetVolumeHeader()->VolumeBytes();
  while (travelled < ring) {
    if (progress != nullptr && progress->Continued() != 1) break;
    if (Read(position, work.data(), h.jhdrSize) != h.jhdrSize) return m_lastResult;
    std::uint64_t step = h.jhdrSize;
    if (LooksLikeBlockList(ByteView(work.data(), h.jhdrSize), h.blhdrSize)) {
      if (Read(position, work.data(), h.blhdrSize) != h.blhdrSize) return m_lastResult;
      const auto list = DecodeBlockList(ByteView(work.data(), h.blhdrSize), h.blhdrSize, h.jhdrSize);
      if (list) {
        std::uint64_t at = Advance(position, h.blhdrSize);
        step = h.blhdrSize;
        for (std::size_t i = 1; i < list->blocks.size() && travelled + step < ring; ++i) {
          if (progress != nullptr && progress->Continued() != 1) return m_lastResult;
          const BlockInfo& b = list->blocks[i];
          std::vector<std::uint8_t> block(b.bsize);
          if (Read(at, block.data(), b.bsize) != b.bsize) return m_lastResult;
          at = Advance(at, b.bsize);
          step += b.bsize;
          if (b.bnum > volumeBytes / h.jhdrSize) continue;  // killed or out-of-volume block
          auto node = CHFSPlusBTNode::Create(std::move(block), b.bsize);
          if (node && node->IsLeaf()) HarvestNode(*node, b.bnum * h.jhdrSize, progress);
        }
      }
    }
    travelled += step;
    position = Advance(position, step);
    if (position == h.end) break;
  }
  return m_lastResult;
}

void CHFSPlusJournal::HarvestNode(const CHFSPlusBTNode& node, std::uint64_t volumeOffset,
                                  CHFSPlusQuickFileSystemSearchProgress* progress) {
  CHFSPlusVolume& v = *m_pVolume;
  switch (v.GetNodeBelongToFile(volumeOffset)) {
    case kSpecialExtents:
      HarvestKeyed(v, node, &CHFSPlusVolume::GetExtents, &CHFSPlusVolume::SearchExtents, CompareExtentKeys,
                   v.HarvestedExtentRecords());
      break;
    case kSpecialAttributes:
      HarvestKeyed(v, node, &CHFSPlusVolume::GetAttributes, &CHFSPlusVolume::SearchAttributes, CompareAttrKeys,
                   v.HarvestedAttributeRecords());
      break;
    case kSpecialCatalog:
      for (std::size_t i = 0; i < node.NumRecords(); ++i) {
        const auto key = CHFSPlusCatalog::KeyRead(node, i);
        const auto data = CHFSPlusCatalog::DataRead(node, i);
        if (!key || !data || data->IsThread()) continue;
        HFSPlusSearchResult r;
        HFSPlusCatalogRecord live;
        if (result::Succeeded(v.SearchCatalog(*key, r, &live)) && r.found && live.id == data->id &&
            live.recordType == data->recordType) {
          continue;
        }
        auto& list = v.HarvestedCatalogRecords();
        auto same = std::find_if(list.begin(), list.end(), [&](const auto& e) {
          return e.second.id == data->id && v.CompareCatalogKey(e.first, *key) == 0;
        });
        if (same != list.end()) {
          same->second = *data;
        } else {
          list.emplace_front(*key, *data);
          if (progress != nullptr) progress->UpdateProgress();
        }
      }
      break;
    default:
      break;
  }
}
