#include "exfat/ExFatPreAnalyze.h"

#include <algorithm>

#include "exfat/ExFatDirEntryLayout.h"

namespace de = exfatde;

void CFDTPreAnaylze::PrepareAnayze(std::uint32_t sectorShift, std::uint32_t clusterShift, std::uint64_t totalSectors) {
  m_limits = {sectorShift, clusterShift, totalSectors};
  m_sectorBytes = sectorShift < 16 ? (1u << sectorShift) : 512;
  FinisAnayze();
}

void CFDTPreAnaylze::FinisAnayze() {
  m_set.reset();
  m_entry.Clear();
  m_cutOff.clear();
  m_cutIn.clear();
  m_next.clear();
  m_last.clear();
}

std::int64_t CFDTPreAnaylze::GetNext(std::int64_t sector) const {
  auto it = m_next.find(sector);
  return it == m_next.end() ? -1 : it->second;
}

std::int64_t CFDTPreAnaylze::GetLast(std::int64_t sector) const {
  auto it = m_last.find(sector);
  return it == m_last.end() ? -1 : it->second;
}

std::unique_ptr<CFileSet> CFDTPreAnaylze::GetFileSet() {
  std::unique_ptr<CFileSet> set = std::move(m_set);
  m_entry.Clear();
  if (set == nullptr || (!set->HasFile() && !set->IsRoot()) || set->FirstSector() < 0) return nullptr;
  set->CalculateClusterSize();
  return set;
}

void CFDTPreAnaylze::AddSecondary(const ByteView& e, bool firstOfRun) {
  switch (m_entry.Add(e)) {
    case CExFatEntrySet::Step::kTaken:
      return;
    case CExFatEntrySet::Step::kCompleted: {
      _tagFileBaseInfo info;
      if (m_entry.Finish(ExFatHeapLimits{}, info)) m_set->UpdateFileList(std::move(info));
      return;
    }
    case CExFatEntrySet::Step::kRefused:
      // The tail of a set begun elsewhere: the run starts inside it.
      if (firstOfRun && !m_set->HasFile()) m_set->SetFlag(CFileSet::kAbridged);
      m_entry.Clear();
      return;
  }
}

bool CFDTPreAnaylze::Joint(std::int64_t sector, const ByteView& head, const ByteView& tail) {
  if (!head.Has(0, de::kEntrySize)) return false;
  const std::size_t total = std::size_t{head.U8(de::kFileSecondaryCount)} + 1;
  const std::size_t k = head.Size() / de::kEntrySize;
  if (k == 0 || k >= total || !tail.Has(0, (total - k) * de::kEntrySize)) return false;
  CExFatEntrySet trial;
  if (!exfatcheck::FileEntry(head.Sub(0, de::kEntrySize))) return false;
  trial.Begin(head.Sub(0, de::kEntrySize), sector);
  CExFatEntrySet::Step step = CExFatEntrySet::Step::kRefused;
  for (std::size_t i = 1; i < total; ++i) {
    const ByteView e =
        i < k ? head.Sub(i * de::kEntrySize, de::kEntrySize) : tail.Sub((i - k) * de::kEntrySize, de::kEntrySize);
    const std::uint8_t base = e.U8(de::kType) | de::kInUse;
    const bool ok = base == de::kTypeStream ? exfatcheck::StreamEntry(e, m_limits)
                    : base == de::kTypeName ? exfatcheck::NameEntry(e)
                                            : (base & 0x60) == 0x60;
    if (!ok) return false;
    step = trial.Add(e);
    if (step == CExFatEntrySet::Step::kRefused) return false;
  }
  _tagFileBaseInfo info;
  if (step != CExFatEntrySet::Step::kCompleted || !trial.Finish(ExFatHeapLimits{}, info)) return false;
  m_set->UpdateFileList(std::move(info));
  return true;
}

bool CFDTPreAnaylze::CheckAndRecordNotEnd(std::int64_t sector, const ByteView& data, std::size_t offset) {
  const std::size_t total = (std::size_t{data.U8(offset + de::kFileSecondaryCount)} + 1) * de::kEntrySize;
  if (offset + total <= m_sectorBytes) return false;
  const std::int64_t runStart = m_set->FirstSector() >= 0 ? m_set->FirstSector() : sector;
  const std::uint64_t runSectors = static_cast<std::uint64_t>(sector - runStart) + 1;
  const std::uint64_t maxSectors = std::max<std::uint64_t>(1, m_set->MaxClusterBytes() / m_sectorBytes);
  // The set goes on in the next sector on disk when its checksum says so.
  if (runSectors % maxSectors != 0 && data.Has(offset, total) &&
      CheckDirEntry(data.Sub(offset, total), data.U16Le(offset + de::kFileSetChecksum))) {
    return false;
  }
  m_set->SetFlag(CFileSet::kNotEnd);
  const ByteView head = data.Sub(offset, m_sectorBytes - offset);
  for (auto it = m_cutIn.begin(); it != m_cutIn.end(); ++it) {
    if (Joint(sector, head, ByteView(it->second.data(), it->second.size()))) {
      m_next[runStart] = it->first;
      m_last[it->first] = runStart;
      m_cutIn.erase(it);
      return true;
    }
  }
  if (m_cutOff.size() >= kMaxPendingPieces) m_cutOff.erase(m_cutOff.begin());
  m_cutOff[runStart] = CutOff{sector, std::vector<std::uint8_t>(head.Data(), head.Data() + head.Size())};
  return true;
}

void CFDTPreAnaylze::RecordAbrige(std::int64_t sector, const ByteView& data) {
  const ByteView tail = data.Sub(0, std::min<std::size_t>(kCutInBytes, data.Size()));
  for (auto it = m_cutOff.begin(); it != m_cutOff.end(); ++it) {
    if (Joint(it->second.sector, ByteView(it->second.head.data(), it->second.head.size()), tail)) {
      m_next[it->first] = sector;
      m_last[sector] = it->first;
      m_cutOff.erase(it);
      return;
    }
  }
  if (m_cutIn.size() >= kMaxPendingPieces) m_cutIn.erase(m_cutIn.begin());
  std::array<std::uint8_t, kCutInBytes> piece{};
  tail.Bytes(0, piece.data(), tail.Size());
  m_cutIn[sector] = piece;
}

bool CFDTPreAnaylze::Analyze(std::int64_t sector, const ByteView& data) {
  if (m_set == nullptr) m_set = std::make_unique<CFileSet>();
  const bool firstSectorOfRun = m_set->FirstSector() < 0;
  const std::size_t entries = std::min<std::size_t>(m_sectorBytes, data.Size()) / de::kEntrySize;
  std::size_t taken = 0;
  bool stopped = false;
  bool label = false, bitmap = false, upcase = false;
  for (std::size_t i = 0; i < entries && !stopped; ++i) {
    const std::size_t off = i * de::kEntrySize;
    const ByteView e = data.Sub(off, de::kEntrySize);
    const std::uint8_t type = e.U8(de::kType);
    const bool firstOfRun = firstSectorOfRun && i == 0;
    bool ok = true;
    switch (type | de::kInUse) {
      case de::kTypeLabel:
        ok = exfatcheck::LabelEntry(e) && !(type == de::kTypeLabel && label);
        if (ok) {
          label = label || type == de::kTypeLabel;
          m_set->SetVolumeLabel();
        }
        break;
      case de::kTypeFile:
        ok = exfatcheck::FileEntry(e);
        if (ok && CheckAndRecordNotEnd(sector, data, off)) {
          ++taken;
          stopped = true;
          continue;
        }
        if (ok) m_entry.Begin(e, sector);
        break;
      case de::kTypeStream:
        ok = exfatcheck::StreamEntry(e, m_limits);
        if (ok) AddSecondary(e, firstOfRun);
        break;
      case de::kTypeName:
        ok = exfatcheck::NameEntry(e);
        if (ok) AddSecondary(e, firstOfRun);
        break;
      case de::kTypeBitmap:
        ok = type == de::kTypeBitmap && !bitmap && exfatcheck::BitmapEntry(e, m_limits);
        if (ok) {
          bitmap = true;
          m_set->SetBitmapInfo(e.U32Le(de::kTableFirstCluster), e.U64Le(de::kTableDataLength));
        }
        break;
      case de::kTypeUpcase:
        ok = type == de::kTypeUpcase && !upcase && exfatcheck::UpcaseEntry(e, m_limits);
        if (ok) {
          upcase = true;
          m_set->SetUpcaseTableInfo(e.U32Le(de::kTableFirstCluster), e.U64Le(de::kTableDataLength));
        }
        break;
      default:
        ok = false;
        break;
    }
    if (!ok) {
      stopped = true;
      break;
    }
    ++taken;
  }
  if (taken > 0) {
    m_set->RecordSector(sector);
    if (m_set->Has(CFileSet::kAbridged) && m_set->FirstSector() == sector) RecordAbrige(sector, data);
  } else if (!m_set->HasFile() && !m_set->IsRoot()) {
    m_set = std::make_unique<CFileSet>();
    m_entry.Clear();
  }
  const std::uint64_t runBytes = std::uint64_t{m_set->Length()} * m_sectorBytes;
  return stopped || runBytes >= m_set->MaxClusterBytes();
}
