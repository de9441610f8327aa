#include "ntfs/FindFileFromLogFile.h"

#include <algorithm>
#include <memory>
#include <cstring>

#include "core/device/StorageDevice.h"
#include "ntfs/FileRecordLayout.h"
#include "ntfs/LogPageLayout.h"
#include "ntfs/MetaFileRecord.h"

using namespace ntfslog;

namespace {
constexpr std::size_t kPageData = kPageBytes - kFirstRecord;
constexpr std::size_t kWorkRecords = 8;
constexpr int kMaxListedData = 5;
}  // namespace

void CFindFileFromLogFile::Reset() {
  m_bFound = m_bAnalyzed = false;
  m_pDevice = nullptr;
  m_geometry = MftGeometry{};
  m_logRuns.ClearDataRunList();
  m_images.clear();
  m_records.clear();
  m_byRecord.clear();
}

bool CFindFileFromLogFile::Init(IStorageDevice* device, const MftGeometry& geometry) {
  if (device == nullptr || geometry.mftRuns == nullptr) return false;
  Reset();
  m_pDevice = device;
  m_geometry = geometry;
  if (m_geometry.sectorsPerCluster <= 0) m_geometry.sectorsPerCluster = 8;
  m_geometry.mftRuns = nullptr;  // only needed here
  const auto place = geometry.RecordPlace(2);
  if (!place) return false;
  std::vector<std::uint8_t> raw;
  if (!ReadBytesAt(*device, *place, static_cast<std::size_t>(geometry.recordBytes), raw)) return false;
  const CNTFSFileRecord record(ByteView(raw.data(), raw.size()));
  if (!CMetaFileRecordTypeAnalyzer::IsValidLogFileRecord(record)) return true;
  const ByteView data = record.FindAttibute(ntfsrec::kData, 0);
  if (data.Size() == 0 || CNTFSFileRecordAttribute::IsResident(data)) return true;
  if (m_logRuns.InitFromBuffer(CNTFSFileRecordAttribute::DataRunsBuffer(data))) m_bFound = true;
  return true;
}

bool CFindFileFromLogFile::Analyzer() {
  if (m_bFound && m_pDevice != nullptr) {
    const long long clusterBytes = m_geometry.ClusterBytes();
    const long long sectorSize = m_pDevice->GetSectorSize();
    // The runs that fit under the cap, in order.
    std::vector<std::pair<long long, long long>> pieces;  // first sector, bytes
    long long total = 0;
    if (clusterBytes > 0 && clusterBytes <= kMaxClusterBytes && sectorSize > 0 && clusterBytes % sectorSize == 0) {
      for (const CDataRun& r : m_logRuns.Runs()) {
        long long bytes = 0;
        const auto sector = m_geometry.ClusterSector(r.lcn);
        if (r.lcn < 0 || !sector || __builtin_mul_overflow(r.length, clusterBytes, &bytes) ||
            total + bytes > kMaxJournalBytes || *sector > m_pDevice->GetTotalSectors() - bytes / sectorSize) {
          break;
        }
        pieces.emplace_back(*sector, bytes);
        total += bytes;
      }
    }
    // The journal (tens of megabytes) is read a window at a time, in page
    // order, into one buffer used over and over. Windows start on a sector
    // and hold whole sectors; every byte of one is read or zeroed.
    const auto ss = static_cast<std::size_t>(sectorSize > 0 ? sectorSize : 512);
    const std::size_t span = std::max(kWindowBytes / ss, kPageBytes / ss + 2) * ss;
    const auto totalBytes = static_cast<std::size_t>(total);
    std::vector<std::uint8_t> window;
    std::size_t windowFirst = 0;  // journal offset of the window's first byte
    auto fill = [&](std::size_t first) {
      const std::size_t end = std::min(totalBytes, first + span);
      window.resize(end - first);
      std::size_t pieceStart = 0;
      for (const auto& [sector, bytes] : pieces) {
        const std::size_t pieceEnd = pieceStart + static_cast<std::size_t>(bytes);
        const std::size_t from = std::max(first, pieceStart);
        const std::size_t to = std::min(end, pieceEnd);
        if (from < to) {
          std::uint8_t* into = window.data() + (from - first);
          const long long at = sector + static_cast<long long>((from - pieceStart) / ss);
          // An unreadable run reads as zeros: no page there is recognised.
          if (m_pDevice->ReadSector(into, at, static_cast<long long>((to - from) / ss)) == 0) {
            std::fill_n(into, to - from, std::uint8_t{0});
          }
        }
        pieceStart = pieceEnd;
      }
      windowFirst = first;
    };
    AnalyzePages(totalBytes / kPageBytes, [&](std::size_t index, std::uint8_t* out) {
      const std::size_t offset = index * kPageBytes;
      if (window.empty() || offset < windowFirst || offset + kPageBytes > windowFirst + window.size()) {
        fill(offset / ss * ss);
      }
      std::memcpy(out, window.data() + (offset - windowFirst), kPageBytes);
    });
  }
  m_bAnalyzed = true;
  return true;
}

void CFindFileFromLogFile::AnalyzeJournal(const ByteView& journal) {
  AnalyzePages(journal.Size() / kPageBytes, [&journal](std::size_t index, std::uint8_t* out) {
    journal.Bytes(index * kPageBytes, out, kPageBytes);
  });
}

void CFindFileFromLogFile::AnalyzePages(std::size_t pages, const PageReader& read) {
  if (pages <= kFirstRecordPage) return;
  std::vector<std::uint8_t> page(kPageBytes);
  std::vector<std::uint8_t> next(kPageBytes);
  auto loadPage = [&](std::size_t index, std::vector<std::uint8_t>& out) {
    read(index, out.data());
    if (!CRCRDRecord::IsValidMagicNumber(ByteView(out.data(), out.size()))) return false;
    CRCRDRecord::Unfixup(out);
    return true;
  };
  std::size_t skipTo = kFirstRecordPage;  // pages consumed by a record carried over them
  std::size_t startOffset = kFirstRecord;
  for (std::size_t p = kFirstRecordPage; p < pages; ++p) {
    if (p < skipTo) continue;
    const std::size_t begin = p == skipTo ? startOffset : kFirstRecord;
    startOffset = kFirstRecord;
    if (!loadPage(p, page)) continue;
    const ByteView pv(page.data(), page.size());
    std::size_t pos = begin;
    while (pos + kRecordHeaderBytes <= kPageBytes) {
      CLogRecordHeader h;
      CRCRDRecord::GetOperationRecordHeader(pv.Sub(pos, kPageBytes - pos), h);
      if (h.lsn == 0 || h.clientDataLength == 0) break;
      const std::uint64_t total = kRecordHeaderBytes + static_cast<std::uint64_t>(h.clientDataLength);
      if (total > kMaxLogRecordBytes) break;
      if (pos + total <= kPageBytes) {
        HandleRecord(pv.Sub(pos, static_cast<std::size_t>(total)));
        pos += (static_cast<std::size_t>(total) + 7) & ~static_cast<std::size_t>(7);
        continue;
      }
      // The record continues in the following pages, after their headers.
      std::vector<std::uint8_t> joined(page.begin() + static_cast<long>(pos), page.end());
      std::size_t q = p + 1;
      bool complete = true;
      while (joined.size() < total) {
        if (q >= pages || !loadPage(q, next)) {
          complete = false;
          break;
        }
        const std::size_t take = std::min<std::size_t>(kPageData, static_cast<std::size_t>(total) - joined.size());
        joined.insert(joined.end(), next.begin() + kFirstRecord, next.begin() + static_cast<long>(kFirstRecord + take));
        if (joined.size() == total) {
          skipTo = q;
          startOffset = (kFirstRecord + take + 7) & ~static_cast<std::size_t>(7);
        }
        ++q;
      }
      if (complete) HandleRecord(ByteView(joined.data(), joined.size()));
      break;
    }
  }
}

long long CFindFileFromLogFile::TargetRecordIndex(const CLogRecordHeader& h) const {
  const long long clusterBytes = m_geometry.ClusterBytes();
  const long long recordBytes = m_geometry.recordBytes > 0 ? m_geometry.recordBytes : 1024;
  long long byte = 0;
  if (h.targetVcn > static_cast<std::uint64_t>(INT64_MAX) ||
      __builtin_mul_overflow(static_cast<long long>(h.targetVcn), clusterBytes, &byte) ||
      __builtin_add_overflow(byte, static_cast<long long>(h.blockOffset) * 512, &byte)) {
    return -1;
  }
  return byte / recordBytes;
}

void CFindFileFromLogFile::HandleRecord(const ByteView& record) {
  CLogRecordHeader h;
  if (!CRCRDRecord::GetOperationRecordHeader(record, h)) return;
  AddImage(record);
  if (record.Size() < kClientHeaderBytes || m_records.size() >= (1u << 22)) return;
  LogRecord kept;
  kept.header = h;
  kept.bytes.resize(record.Size());
  record.Bytes(0, kept.bytes.data(), kept.bytes.size());
  const long long target = TargetRecordIndex(h);
  m_records.push_back(std::move(kept));
  if (target >= 0) m_byRecord.emplace(target, m_records.size() - 1);
}

void CFindFileFromLogFile::AddImage(const ByteView& record) {
  CLogRecordHeader h;
  CRCRDRecord::GetOperationRecordHeader(record, h);
  if (h.clientDataLength <= 112 || !record.Equals(kImageOffset, "FILE0", 5)) return;
  const std::size_t available = record.Size() - kImageOffset;
  const std::size_t n = std::min<std::size_t>({h.clientDataLength - 40u, ntfsrec::kMinRecordBytes, available});
  std::vector<std::uint8_t> image(ntfsrec::kMinRecordBytes, 0);
  record.Bytes(kImageOffset, image.data(), n);
  const CNTFSFileRecord file(ByteView(image.data(), image.size()));
  if (!file.IsValid() || file.IsFolder() || file.IsExtendFileRecord()) return;
  const CNTFSMultiFileRecord multi(file, RecordPosition{0, 0}, nullptr, {}, ntfsrec::kMinRecordBytes);
  long long parent = -1;
  auto props =
      CNTFSFilePropertiesBuilder::BuildFileProperties(RecordPosition{0, 0}, multi, m_geometry.ClusterBytes(), parent);
  if (!props || props->GetFileSize() == 0 || m_images.size() >= (1u << 20)) return;
  props->SetFileRecordIndex(file.HasXPNumberOfthisMFTRecord() ? file.GetXPNumberOfthisMFTRecord() : -1);
  m_images.push_back({std::move(props), parent});
}

std::size_t CFindFileFromLogFile::BuildFileDataAttributeBuffer(long long recordNumber, std::size_t attributeOffset,
                                                               std::span<std::uint8_t> record) const {
  std::vector<const LogRecord*> used;
  const auto [first, last] = m_byRecord.equal_range(recordNumber);
  for (auto it = first; it != last; ++it) {
    const LogRecord& r = m_records[it->second];
    const CLogRecordHeader& h = r.header;
    if (h.recordOffset != attributeOffset || h.attributeOffset == 0) continue;
    if (h.undoLength <= (m_bCompressed ? 24 : 10)) continue;
    // The undo bytes must lie inside the stored record.
    const std::size_t from = kRecRedoOp + h.undoOffset;
    if (from + h.undoLength > r.bytes.size()) continue;
    used.push_back(&r);
  }
  if (used.empty()) return 0;
  std::stable_sort(used.begin(), used.end(), [](const LogRecord* a, const LogRecord* b) {
    if (a->header.recordOffset != b->header.recordOffset) return a->header.recordOffset < b->header.recordOffset;
    return a->header.attributeOffset < b->header.attributeOffset;
  });
  std::size_t end = 0;
  for (const LogRecord* r : used) {
    const CLogRecordHeader& h = r->header;
    const std::size_t at = static_cast<std::size_t>(h.recordOffset) + h.attributeOffset;
    if (at + h.undoLength > record.size()) continue;
    std::memcpy(record.data() + at, r->bytes.data() + kRecRedoOp + h.undoOffset, h.undoLength);
    end = at + h.undoLength;
  }
  if (end > attributeOffset) {
    ByteWriter(record).PutU32Le(attributeOffset + 4, static_cast<std::uint32_t>(end - attributeOffset));
  }
  return end;
}

void CFindFileFromLogFile::RebuildFileRecord(std::span<std::uint8_t> record, long long recordNumber) const {
  if (record.size() < ntfsrec::kMinRecordBytes) return;
  std::size_t end = 0;
  for (int i = 0; i < 16; ++i) {
    const std::size_t a = CNTFSFileRecord::GetAttributeOffset(ByteView(record), ntfsrec::kData, i);
    if (a == CNTFSFileRecord::npos) break;
    const std::size_t reached = BuildFileDataAttributeBuffer(recordNumber, a, record);
    if (reached != 0) end = reached;
  }
  if (end != 0 && end + 4 <= record.size()) ByteWriter(record).PutU32Le(end, ntfsrec::kEndMarker);
}

bool CFindFileFromLogFile::ReplaceFileRecordInfo(const ByteView& bytes, CNTFSFileProperties& properties,
                                                 long long parent, const ExtendRecordList& extensions) {
  if (bytes.Size() < ntfsrec::kMinRecordBytes) return false;
  const std::string name = properties.Name();
  const long long ownNumber = bytes.U16Le(ntfsrec::kUsaOffset) >= 48 ? bytes.U32Le(ntfsrec::kRecordNumber) : -1;
  const Image* image = nullptr;
  for (const Image& im : m_images) {
    if (im.properties->Name() != name) continue;
    if (im.parent == parent ||
        (parent == -1 && im.properties->GetFileRecordIndex() == properties.GetFileRecordIndex())) {
      image = &im;
      break;
    }
  }
  if (image == nullptr &&
      (properties.GetAttribute() == kNtfsAttrDirectory || (properties.GetState() & kNtfsStateDeleted) == 0)) {
    return false;
  }
  m_bCompressed = (properties.GetAttribute() & kNtfsAttrCompressed) != 0;

  // The base record and its extension records, rebuilt one by one.
  const std::size_t recordBytes = CNTFSFileRecord::RecordBytes(bytes);
  std::vector<std::vector<std::uint8_t>> work;
  work.emplace_back(recordBytes);
  bytes.Bytes(0, work.back().data(), recordBytes);
  CNTFSFileRecord::UnfixupFileRecord(work.back());
  RebuildFileRecord(work.back(), ownNumber);
  if (m_pDevice != nullptr) {
    for (const CAttributeListExtendFileRecordInfo& e : extensions) {
      if (work.size() >= kWorkRecords || e.place.sector < 0) continue;
      std::vector<std::uint8_t> raw;
      if (!ReadBytesAt(*m_pDevice, e.place, recordBytes, raw)) continue;
      CNTFSFileRecord::UnfixupFileRecord(raw);
      RebuildFileRecord(raw, e.recordNumber);
      work.push_back(std::move(raw));
    }
  }
  CNTFSDataRunList runs;
  for (const auto& w : work) {
    const ByteView rv(w.data(), w.size());
    for (int i = 0; i < kMaxListedData; ++i) {
      const std::size_t a = CNTFSFileRecord::GetAttributeOffset(rv, ntfsrec::kData, i);
      if (a == CNTFSFileRecord::npos) break;
      const std::uint32_t length = rv.U32Le(a + 4);
      if (!rv.Has(a, length) || length < ntfsrec::kNonResidentHeaderBytes) continue;
      const ByteView attr = rv.Sub(a, length);
      if (CNTFSFileRecordAttribute::IsResident(attr) || CNTFSFileRecordAttribute::IsNamed(attr)) continue;
      CNTFSDataRunList one;
      if (one.AddDataRunsfromBuffer(CNTFSFileRecordAttribute::DataRunsBuffer(attr),
                                    CNTFSFileRecordAttribute::GetStartVCN(attr))) {
        for (const CDataRun& r : one.Runs()) runs.Add(r);
      }
    }
  }
  runs.Sort();
  long long clusters = 0;
  std::unique_ptr<IDataRunList, void (*)(IDataRunList*)> list(
      BuildNonResidentDataRunListfromNTFSDataRunList(runs, clusters), [](IDataRunList* l) {
        if (l) l->Release();
      });
  if (image != nullptr) {
    if (list) {
      properties.SetDataRunList(list.get());
    } else {
      std::unique_ptr<IDataRunList, void (*)(IDataRunList*)> imageRuns(image->properties->GetDataRunList(),
                                                                       [](IDataRunList* l) {
                                                                         if (l) l->Release();
                                                                       });
      properties.SetDataRunList(imageRuns.get());
    }
    properties.SetFileSize(image->properties->GetFileSize());
    return true;
  }
  if (list) {
    long long bytesTotal = 0;
    if (!__builtin_mul_overflow(clusters, m_geometry.ClusterBytes(), &bytesTotal)) properties.SetFileSize(bytesTotal);
    properties.SetDataRunList(list.get());
  }
  return true;
}
