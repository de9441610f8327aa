#include "exfat/ExFatEntrySet.h"

#include "exfat/ExFatEntryChecks.h"

namespace de = exfatde;

namespace {

bool IsBenignSecondary(std::uint8_t type) { return (type & 0x60) == 0x60; }

}  // namespace

void CExFatEntrySet::Clear() {
  m_state = 0;
  m_inUse = false;
  m_secondaryCount = 0;
  m_secondaryLeft = 0;
  m_sector = 0;
  m_entries = 0;
}

void CExFatEntrySet::Begin(const ByteView& fileEntry, std::int64_t sector) {
  Clear();
  if (!fileEntry.Has(0, de::kEntrySize)) return;
  fileEntry.Bytes(0, m_bytes.data(), de::kEntrySize);
  m_entries = 1;
  m_inUse = (fileEntry.U8(de::kType) & de::kInUse) != 0;
  m_secondaryCount = fileEntry.U8(de::kFileSecondaryCount);
  if (m_secondaryCount > de::kMaxSecondaryCount) {
    Clear();
    return;
  }
  m_secondaryLeft = m_secondaryCount;
  m_sector = sector;
  m_state = 1;
}

CExFatEntrySet::Step CExFatEntrySet::Add(const ByteView& entry) {
  if (m_state == 0 || m_secondaryLeft == 0 || m_entries >= kMaxEntries || !entry.Has(0, de::kEntrySize)) {
    return Step::kRefused;
  }
  const std::uint8_t type = entry.U8(de::kType);
  if (((type & de::kInUse) != 0) != m_inUse) return Step::kRefused;
  const std::uint8_t base = type | de::kInUse;
  if (base == de::kTypeStream) {
    if (m_state != 1) return Step::kRefused;
  } else if (base == de::kTypeName || IsBenignSecondary(base)) {
    if (m_state < 2) return Step::kRefused;
  } else {
    return Step::kRefused;
  }
  entry.Bytes(0, m_bytes.data() + m_entries * de::kEntrySize, de::kEntrySize);
  ++m_entries;
  ++m_state;
  --m_secondaryLeft;
  return m_secondaryLeft == 0 ? Step::kCompleted : Step::kTaken;
}

bool CExFatEntrySet::Finish(const ExFatHeapLimits& heap, _tagFileBaseInfo& out) {
  const bool whole = m_state >= 2 && m_secondaryLeft == 0 && m_entries == std::size_t{m_secondaryCount} + 1;
  const bool ok = whole && Decode(heap, true, out);
  Clear();
  return ok;
}

bool CExFatEntrySet::FinishCut(const ExFatHeapLimits& heap, _tagFileBaseInfo& out) {
  const bool ok = m_state >= 3 && m_secondaryLeft > 0 && Decode(heap, false, out);
  Clear();
  return ok;
}

bool CExFatEntrySet::Decode(const ExFatHeapLimits& heap, bool whole, _tagFileBaseInfo& out) const {
  const ByteView set = Bytes();
  const std::int64_t sector = m_sector;
  const bool inUse = m_inUse;
  const ByteView file = set.Sub(0, de::kEntrySize);
  const ByteView stream = set.Sub(de::kEntrySize, de::kEntrySize);
  if (whole && !CheckDirEntry(set, file.U16Le(de::kFileSetChecksum))) return false;

  // Name entries follow the stream extension, one per 15 characters.
  const std::size_t nameLength = stream.U8(de::kStreamNameLength);
  const std::size_t nameEntries = (nameLength + de::kNameCharsPerEntry - 1) / de::kNameCharsPerEntry;
  const std::size_t entries = set.Size() / de::kEntrySize;
  if (nameLength == 0 || nameEntries + 1 > m_secondaryCount) return false;
  if (whole && nameEntries + 2 > entries) return false;
  std::vector<std::uint16_t> units;
  units.reserve(nameLength);
  for (std::size_t k = 0; k < nameEntries && 2 + k < entries; ++k) {
    const ByteView name = set.Sub((2 + k) * de::kEntrySize, de::kEntrySize);
    if ((name.U8(de::kType) | de::kInUse) != de::kTypeName) return false;
    for (std::size_t i = 0; i < de::kNameCharsPerEntry && units.size() < nameLength; ++i) {
      units.push_back(name.U16Le(de::kNameChars + 2 * i));
    }
  }
  for (std::uint16_t u : units) {
    if (u == 0 || (u < 0x80 && g_u8FileNameCheckTable[u] == 0)) return false;
  }

  const std::uint64_t dataLength = stream.U64Le(de::kStreamDataLength);
  const std::uint64_t validLength = stream.U64Le(de::kStreamValidLength);
  const std::uint32_t first = stream.U32Le(de::kStreamFirstCluster);
  const bool contiguous = (stream.U8(de::kStreamFlags) & de::kFlagNoFatChain) != 0;
  if (validLength > dataLength || dataLength > static_cast<std::uint64_t>(INT64_MAX)) return false;
  if (first == 0 && dataLength != 0) return false;
  if (first != 0 && first < de::kFirstDataCluster) return false;
  if (heap.clusterLimit != 0 && first != 0) {
    if (first >= heap.clusterLimit) return false;
    if (contiguous && heap.bytesPerCluster != 0) {
      const std::uint64_t clusters = (dataLength + heap.bytesPerCluster - 1) / heap.bytesPerCluster;
      if (first + clusters > heap.clusterLimit) return false;
    }
  }

  out = _tagFileBaseInfo{};
  out.name = exfatcheck::Utf16ToUtf8(units, kExFatMaxNameBytes);
  if (out.name.empty() || out.name == "." || out.name == "..") return false;
  out.dataLength = static_cast<std::int64_t>(dataLength);
  out.firstCluster = first;
  out.noFatChain = contiguous ? 1 : 0;
  out.inUse = inUse ? 1 : 0;
  out.attributes = file.U16Le(de::kFileAttributes);
  out.created = file.U32Le(de::kFileCreated);
  out.modified = file.U32Le(de::kFileModified);
  out.accessed = file.U32Le(de::kFileAccessed);
  out.createdUtcOffset = file.U8(de::kFileCreatedUtcOffset);
  out.modifiedUtcOffset = file.U8(de::kFileModifiedUtcOffset);
  out.accessedUtcOffset = file.U8(de::kFileAccessedUtcOffset);
  out.metadataSector = sector;
  return true;
}
