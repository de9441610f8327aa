#include "exfat/ExFatDirAnalyze.h"

#include "exfat/ExFatDirEntryLayout.h"

namespace de = exfatde;

void CEFDTAnalyze::PrepareAnayze(std::uint32_t sectorShift, std::uint32_t clusterShift, std::uint64_t totalSectors,
                                 ExFatHeapLimits heap) {
  m_limits = {sectorShift, clusterShift, totalSectors};
  m_heap = heap;
  m_set.Clear();
  m_completed.clear();
  m_bitmap = {};
}

void CEFDTAnalyze::Add(const ByteView& entry) {
  switch (m_set.Add(entry)) {
    case CExFatEntrySet::Step::kTaken:
      return;
    case CExFatEntrySet::Step::kCompleted: {
      _tagFileBaseInfo info;
      if (m_set.Finish(m_heap, info)) m_completed.push_back(std::move(info));
      return;
    }
    case CExFatEntrySet::Step::kRefused:
      m_set.Clear();
      return;
  }
}

bool CEFDTAnalyze::Entry(const ByteView& e, std::int64_t sector) {
  const std::uint8_t type = e.U8(de::kType);
  const bool inUse = (type & de::kInUse) != 0;
  switch (type | de::kInUse) {
    case de::kTypeLabel:
      m_set.Clear();
      return de::kTypeLabel != type || exfatcheck::LabelEntry(e);
    case de::kTypeFile:
      if (!exfatcheck::FileEntry(e)) {
        m_set.Clear();
        return !inUse;  // a broken deleted set is passed over
      }
      m_set.Begin(e, sector);
      return true;
    case de::kTypeStream:
      if (!exfatcheck::StreamEntry(e, m_limits)) {
        m_set.Clear();
        return !inUse;
      }
      Add(e);
      return true;
    case de::kTypeName:
      if (!exfatcheck::NameEntry(e)) {
        m_set.Clear();
        return !inUse;
      }
      Add(e);
      return true;
    default:
      break;
  }
  if (type == de::kTypeEnd) return false;
  if (type == de::kTypeBitmap && !m_bitmap.seen && exfatcheck::BitmapEntry(e, m_limits)) {
    m_bitmap = {true, e.U32Le(de::kTableFirstCluster), e.U64Le(de::kTableDataLength)};
  }
  // Benign secondaries belong to the set in progress; every other entry
  // (up-case table, GUID, padding, unused) is passed over.
  if ((type & 0x60) == 0x60 && m_set.Busy()) {
    Add(e);
  } else {
    m_set.Clear();
  }
  return true;
}

bool CEFDTAnalyze::Analyze(const ByteView& cluster, std::int64_t sector) {
  if (cluster.Size() < de::kEntrySize) return true;
  for (std::size_t off = 0; off + de::kEntrySize <= cluster.Size(); off += de::kEntrySize) {
    if (!Entry(cluster.Sub(off, de::kEntrySize), sector)) {
      m_set.Clear();
      return false;
    }
  }
  return true;
}

bool CEFDTAnalyze::FinishPending(const ByteView& cluster, std::int64_t sector) {
  if (!m_set.Busy()) return false;
  const CExFatEntrySet head = m_set;
  const std::size_t completed = m_completed.size();
  for (std::size_t off = 0; m_set.Busy() && off + de::kEntrySize <= cluster.Size(); off += de::kEntrySize) {
    const ByteView e = cluster.Sub(off, de::kEntrySize);
    const std::uint8_t base = e.U8(de::kType) | de::kInUse;
    if (base != de::kTypeStream && base != de::kTypeName && (base & 0x60) != 0x60) break;
    if (!Entry(e, sector)) break;
  }
  if (m_completed.size() > completed) return true;
  m_set = head;
  return false;
}

void CEFDTAnalyze::KeepCutHead() {
  _tagFileBaseInfo info;
  if (m_set.Busy() && m_set.FinishCut(m_heap, info)) m_completed.push_back(std::move(info));
  m_set.Clear();
}
