#include "ntfs/MultiFileRecord.h"

#include <algorithm>

#include "core/device/StorageDevice.h"
#include "ntfs/FileRecordLayout.h"

using namespace ntfsrec;

bool ReadNonResidentAttribute(const ByteView& attribute, const MftGeometry& geometry, IStorageDevice& device,
                              long long limit, std::vector<std::uint8_t>& out) {
  out.clear();
  CNTFSDataRunList runs;
  if (!runs.InitFromBuffer(CNTFSFileRecordAttribute::DataRunsBuffer(attribute))) return false;
  const long long clusterBytes = geometry.ClusterBytes();
  if (clusterBytes <= 0 || clusterBytes > kMaxClusterBytes || limit <= 0) return false;
  for (const CDataRun& r : runs.Runs()) {
    if (static_cast<long long>(out.size()) >= limit) break;
    long long runBytes = 0;
    if (__builtin_mul_overflow(r.length, clusterBytes, &runBytes)) runBytes = limit;
    const long long want = std::min<long long>(limit - static_cast<long long>(out.size()), runBytes);
    std::vector<std::uint8_t> bytes;
    if (r.lcn < 0) {
      bytes.assign(static_cast<std::size_t>(want), 0);
    } else {
      const auto sector = geometry.ClusterSector(r.lcn);
      if (!sector || !ReadBytesAt(device, RecordPosition{*sector, 0}, static_cast<std::size_t>(want), bytes)) {
        return false;
      }
    }
    out.insert(out.end(), bytes.begin(), bytes.end());
  }
  return true;
}

ExtendRecordList CNTFSMultiFileRecord::GetExtendFileRecordInfoList(const CNTFSFileRecord& record,
                                                                   const MftGeometry& geometry,
                                                                   IStorageDevice* device) {
  ExtendRecordList list;
  if (!record.IsValid()) return list;
  const ByteView a = record.FindAttibute(kAttributeList, 0);
  if (a.Size() == 0) return list;
  std::vector<std::uint8_t> held;
  ByteView entries;
  if (CNTFSFileRecordAttribute::IsResident(a)) {
    entries = CNTFSFileRecordAttribute::ResidentValue(a);
  } else {
    const long long initialized = CNTFSFileRecordAttribute::GetInitializedDataSize(a);
    const long long allocated = CNTFSFileRecordAttribute::GetAllocSizeofAttribute(a);
    if (device == nullptr || initialized < 1 || initialized > allocated) return list;
    const long long limit = std::min(initialized, kMaxAttributeListBytes);
    if (!ReadNonResidentAttribute(a, geometry, *device, limit, held)) return list;
    entries = ByteView(held.data(), std::min<std::size_t>(held.size(), static_cast<std::size_t>(limit)));
  }
  std::size_t pos = 0;
  while (entries.Has(pos, kAlMinimumEntry)) {
    const std::uint32_t type = entries.U32Le(pos + kAlType);
    const std::uint16_t length = entries.U16Le(pos + kAlLength);
    if (type == 0 || length == 0) break;
    const auto number = static_cast<long long>(entries.U64Le(pos + kAlReference) & kReferenceMask);
    const bool listed = std::any_of(list.begin(), list.end(), [&](const auto& e) { return e.recordNumber == number; });
    if (!listed) list.push_back({RecordPosition{}, number});
    pos += length;
  }
  return list;
}

ExtendRecordList CNTFSMultiFileRecord::InitExtendFileRecord(const CNTFSFileRecord& record,
                                                            const RecordPosition& basePlace,
                                                            const MftGeometry& geometry, IStorageDevice* device) {
  ExtendRecordList list = GetExtendFileRecordInfoList(record, geometry, device);
  ExtendRecordList kept;
  for (CAttributeListExtendFileRecordInfo& e : list) {
    const auto place = geometry.RecordPlace(e.recordNumber);
    if (!place || *place == basePlace) continue;
    e.place = *place;
    kept.push_back(e);
  }
  return kept;
}

CNTFSMultiFileRecord::CNTFSMultiFileRecord(const CNTFSFileRecord& base, const RecordPosition& basePlace,
                                           IStorageDevice* device, const ExtendRecordList& extensions, int recordBytes)
    : m_base(base), m_basePlace(basePlace) {
  if (!m_base.IsValid() || device == nullptr) return;
  const std::size_t bytes = recordBytes > 0 ? static_cast<std::size_t>(recordBytes) : kMinRecordBytes;
  for (const CAttributeListExtendFileRecordInfo& e : extensions) {
    if (e.place.sector < 0) continue;
    std::vector<std::uint8_t> raw;
    if (!ReadBytesAt(*device, e.place, bytes, raw)) continue;
    CNTFSFileRecord record(ByteView(raw.data(), raw.size()));
    if (record.IsValid()) m_extensions.push_back({e.place, std::move(record)});
  }
}

ByteView CNTFSMultiFileRecord::FindAttibute(std::uint32_t type, int index, std::size_t* offset,
                                            RecordPosition* place) const {
  if (!m_base.IsValid()) return ByteView();
  auto hit = [&](const CNTFSFileRecord& r, int i, const RecordPosition& p) {
    const std::size_t off = r.GetAttributeOffset(type, i);
    if (offset != nullptr) *offset = off;
    if (place != nullptr) *place = p;
    return r.FindAttibute(type, i);
  };
  const int inBase = CNTFSFileRecord::GetAttibuteCountofSpecifiedType(m_base.View(), type);
  if (index < inBase) return hit(m_base, index, m_basePlace);
  int carried = inBase;
  for (const Extension& e : m_extensions) {
    const int count = CNTFSFileRecord::GetAttibuteCountofSpecifiedType(e.record.View(), type);
    if (index < carried + count) return hit(e.record, index - carried, e.place);
    carried += count;
  }
  return ByteView();
}
