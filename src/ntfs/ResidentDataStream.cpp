#include "ntfs/ResidentDataStream.h"

#include <algorithm>
#include <cstring>

#include "core/reader/FileReaderEx.h"
#include "core/recovery/ResidentData.h"
#include "ntfs/FileRecordLayout.h"
#include "ntfs/MultiFileRecord.h"
#include "ntfs/NtfsFileNode.h"

namespace {

bool CopyMainData(const CNTFSMultiFileRecord& record, std::size_t capacity, std::vector<std::uint8_t>& out) {
  if (!record.IsValid()) return false;
  for (int i = 0; i < 256; ++i) {
    const ByteView d = record.FindAttibute(ntfsrec::kData, i, nullptr, nullptr);
    if (d.Size() == 0) return false;
    if (CNTFSFileRecordAttribute::IsNamed(d)) continue;
    if (!CNTFSFileRecordAttribute::IsResident(d)) return false;
    const ByteView value = CNTFSFileRecordAttribute::ResidentValue(d);
    if (value.Size() != CNTFSFileRecordAttribute::GetLengthOfAttribute(d) || value.Size() > capacity) return false;
    out.resize(value.Size());
    value.Bytes(0, out.data(), out.size());
    return true;
  }
  return false;
}

bool ReadRecord(IStorageDevice& device, const RecordPosition& place, int recordBytes, CNTFSFileRecord& record) {
  const int bytes = recordBytes == 4096 ? 4096 : 1024;
  std::vector<std::uint8_t> raw;
  if (!ReadBytesAt(device, place, static_cast<std::size_t>(bytes), raw)) return false;
  record = CNTFSFileRecord(ByteView(raw.data(), raw.size()));
  return record.IsValid();
}

bool CoreResidentReader(CFileNode& node, IStorageDevice& device, std::size_t capacity, std::vector<std::uint8_t>& out) {
  auto* ntfs = dynamic_cast<CNTFSFileNode*>(&node);
  return ntfs != nullptr && GetResidentDataRunsStream(*ntfs, device, capacity, out);
}

int ReaderExResidentReader(IStorageDevice& device, CFileNode& node, long long offset, unsigned char* dst, int len,
                           int& got) {
  got = 0;
  auto* ntfs = dynamic_cast<CNTFSFileNode*>(&node);
  if (ntfs == nullptr || dst == nullptr || len < 0 || offset < 0) return 0;
  std::vector<std::uint8_t> data;
  if (!GetResidentDataRunsStream(*ntfs, device, ntfsrec::kMaxRecordBytes, data)) return 0;
  if (offset >= static_cast<long long>(data.size())) return 0;
  const std::size_t n =
      std::min<std::size_t>(static_cast<std::size_t>(len), data.size() - static_cast<std::size_t>(offset));
  std::memcpy(dst, data.data() + offset, n);
  got = static_cast<int>(n);
  return 1;
}

}  // namespace

bool GetResidentDataRunsStream(CNTFSFileNode& node, IStorageDevice& device, std::size_t capacity,
                               std::vector<std::uint8_t>& out) {
  out.clear();
  CNTFSFileProperties* props = node.Properties();
  if (props == nullptr || (props->GetAttribute() & kNtfsAttrDirectory) != 0) return false;
  CNTFSFileRecord base;
  if (!ReadRecord(device, props->GetFileRecordPlace(), props->GetRecordBytes(), base)) return false;
  const CNTFSMultiFileRecord record(base, props->GetFileRecordPlace(), &device, props->GetExtendFileRecordInfoList(),
                                    props->GetRecordBytes());
  return CopyMainData(record, capacity, out);
}

bool GetResidentDataRunsStream(const RecordPosition& place, int recordBytes, IStorageDevice& device,
                               std::size_t capacity, std::vector<std::uint8_t>& out) {
  out.clear();
  CNTFSFileRecord base;
  if (!ReadRecord(device, place, recordBytes, base)) return false;
  const CNTFSMultiFileRecord record(base, place, &device, {}, recordBytes);
  return CopyMainData(record, capacity, out);
}

void RegisterNtfsResidentDataReaders() {
  resident_data::Register(CoreResidentReader);
  CFileReaderEx::SetResidentDataReader(ReaderExResidentReader);
}
