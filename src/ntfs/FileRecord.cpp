#include "ntfs/FileRecord.h"

#include <algorithm>
#include <array>

#include "ntfs/DataRuns.h"
#include "ntfs/FileRecordLayout.h"

using namespace ntfsrec;

namespace {

// Protected sectors of a record within `size` bytes.
std::size_t ProtectedStrides(const ByteView& r, std::size_t size) {
  const std::uint16_t count = r.U16Le(kUsaOffset + 2);
  if (count < 2) return 0;
  return std::min<std::size_t>(count - 1u, size / kStrideBytes);
}

// End of the attribute walk.
std::size_t WalkEnd(const ByteView& r) {
  const std::size_t bytes = CNTFSFileRecord::RecordBytes(r);
  return bytes >= 8 ? bytes - 8 : 0;
}

}  // namespace

bool CNTFSFileRecordHeader::IsValid(const ByteView& r) {
  if (!r.Has(0, kBytesAllocated + 4) || r.U32Le(0) != kFileSignature) return false;
  const std::uint16_t usaOffset = r.U16Le(kUsaOffset);
  const std::uint16_t usaCount = r.U16Le(kUsaCount);
  const std::uint32_t allocated = r.U32Le(kBytesAllocated);
  if (usaCount > 16) return false;
  if (allocated == 0 || allocated > kMaxRecordBytes || allocated % 1024 != 0) return false;
  if (static_cast<unsigned>(usaCount - 1) > allocated / kStrideBytes) return false;
  return usaOffset >= 42 && usaOffset <= 256;
}

std::size_t CNTFSFileRecord::RecordBytes(const ByteView& r) {
  const std::uint32_t allocated = r.U32Le(kBytesAllocated);
  const std::size_t bytes = allocated >= kMinRecordBytes && allocated <= kMaxRecordBytes ? allocated : kMinRecordBytes;
  return std::min(bytes, r.Size());
}

bool CNTFSFileRecord::IsValidUpdateSequence(const ByteView& r) {
  if (r.Size() < kMinRecordBytes) return false;
  const std::uint16_t usaOffset = r.U16Le(kUsaOffset);
  const std::uint16_t sequence = r.U16Le(usaOffset);
  const std::size_t strides = ProtectedStrides(r, RecordBytes(r));
  if (!r.Has(usaOffset, 2 + 2 * strides)) return false;
  for (std::size_t i = 0; i < strides; ++i) {
    if (r.U16Le(kStrideBytes * i + kStrideBytes - 2) != sequence) return false;
  }
  return true;
}

bool CNTFSFileRecord::UnfixupFileRecord(std::span<std::uint8_t> record) {
  const ByteView r(record);
  if (!IsValidUpdateSequence(r)) return false;
  const std::uint16_t usaOffset = r.U16Le(kUsaOffset);
  const std::size_t strides = ProtectedStrides(r, RecordBytes(r));
  ByteWriter w(record);
  for (std::size_t i = 0; i < strides; ++i) {
    w.PutU16Le(kStrideBytes * i + kStrideBytes - 2, r.U16Le(usaOffset + 2 + 2 * i));
  }
  return true;
}

bool CNTFSFileRecord::FixupFileRecord(std::span<std::uint8_t> record) {
  const ByteView r(record);
  if (r.Size() < kMinRecordBytes) return false;
  const std::uint16_t usaOffset = r.U16Le(kUsaOffset);
  const std::size_t strides = ProtectedStrides(r, RecordBytes(r));
  if (!r.Has(usaOffset, 2 + 2 * strides)) return false;
  const std::uint16_t sequence = r.U16Le(usaOffset);
  ByteWriter w(record);
  for (std::size_t i = 0; i < strides; ++i) {
    const std::size_t end = kStrideBytes * i + kStrideBytes - 2;
    w.PutU16Le(usaOffset + 2 + 2 * i, r.U16Le(end));
    w.PutU16Le(end, sequence);
  }
  return true;
}

bool CNTFSFileRecord::CheckAttibutes(const ByteView& r) {
  const std::size_t end = WalkEnd(r);
  const std::size_t bytes = RecordBytes(r);
  std::size_t off = r.U16Le(kFirstAttribute);
  while (off < end) {
    const std::uint32_t type = r.U32Le(off);
    if (type == kEndMarker) return true;
    const std::uint32_t length = r.U32Le(off + 4);
    if (length == 0) return true;
    const ByteView a = r.Sub(off, bytes - off);
    if (!CNTFSFileRecordAttribute::IsValid(a)) return false;
    if (type == kFileName && !CNTFSFileRecordFileNameAttribute::IsValid(a)) return false;
    off += length;
  }
  return true;
}

bool CNTFSFileRecord::IsValid(const ByteView& r) {
  if (r.Size() < kMinRecordBytes || !CNTFSFileRecordHeader::IsValid(r)) return false;
  std::array<std::uint8_t, kMaxRecordBytes> copy{};
  const std::size_t bytes = RecordBytes(r);
  r.Bytes(0, copy.data(), bytes);
  const std::span<std::uint8_t> record(copy.data(), bytes);
  UnfixupFileRecord(record);
  return CheckAttibutes(ByteView(record));
}

std::size_t CNTFSFileRecord::GetAttributeOffset(const ByteView& r, std::uint32_t type, int index) {
  const std::size_t end = WalkEnd(r);
  std::size_t off = r.U16Le(kFirstAttribute);
  int seen = 0;
  while (off < end) {
    const std::uint32_t t = r.U32Le(off);
    if (t == kEndMarker) break;
    const std::uint32_t length = r.U32Le(off + 4);
    if (t == type) {
      if (seen == index) return off;
      ++seen;
    }
    if (length == 0) break;
    off += length;
  }
  return npos;
}

int CNTFSFileRecord::GetAttibuteCountofSpecifiedType(const ByteView& r, std::uint32_t type) {
  const std::size_t end = WalkEnd(r);
  std::size_t off = r.U16Le(kFirstAttribute);
  int count = 0;
  while (off < end) {
    const std::uint32_t t = r.U32Le(off);
    if (t == kEndMarker) break;
    const std::uint32_t length = r.U32Le(off + 4);
    if (t == type) ++count;
    if (length == 0 || length > kMaxRecordBytes - 1) break;
    off += length;
  }
  return count;
}

CNTFSFileRecord::CNTFSFileRecord(const ByteView& record) {
  if (!IsValid(record)) return;
  m_bytes.resize(RecordBytes(record));
  record.Bytes(0, m_bytes.data(), m_bytes.size());
  UnfixupFileRecord(m_bytes);
}

bool CNTFSFileRecord::IsFolder() const { return (View().U16Le(kFlags) & kFlagDirectory) != 0; }
bool CNTFSFileRecord::IsinUse() const { return (View().U16Le(kFlags) & kFlagInUse) != 0; }
std::uint64_t CNTFSFileRecord::GetBaseFileRecordNumber() const { return View().U64Le(kBaseRecord) & kReferenceMask; }
std::uint64_t CNTFSFileRecord::GetLogFileSequenceNumber() const { return View().U64Le(kLsn); }
std::uint16_t CNTFSFileRecord::GetFirstAttibuteOffset() const { return View().U16Le(kFirstAttribute); }
std::uint32_t CNTFSFileRecord::GetAllocatedSize() const { return View().U32Le(kBytesAllocated); }
bool CNTFSFileRecord::HasXPNumberOfthisMFTRecord() const {
  return IsValid() && View().U16Le(kUsaOffset) >= 48 && View().U16Le(kNumberGuard) == 0;
}
std::uint32_t CNTFSFileRecord::GetXPNumberOfthisMFTRecord() const { return View().U32Le(kRecordNumber); }
bool CNTFSFileRecord::HasAttributeList() const { return GetAttributeOffset(kAttributeList, 0) != npos; }

ByteView CNTFSFileRecord::FindAttibute(std::uint32_t type, int index) const {
  const std::size_t off = GetAttributeOffset(type, index);
  if (off == npos) return ByteView();
  const ByteView r = View();
  const std::uint32_t length = r.U32Le(off + 4);
  if (!r.Has(off, length) || length < 16) return ByteView();
  return r.Sub(off, length);
}

bool CNTFSFileRecordAttribute::IsValid(const ByteView& a) {
  if (a.Size() < 16) return false;
  const std::uint32_t length = GetLength(a);
  if (length > a.Size() || length < 16) return false;
  if (IsResident(a)) {
    if (length < kResidentHeaderBytes) return false;
    if (static_cast<std::uint64_t>(GetOffsetToAttribute(a)) + GetLengthOfAttribute(a) > length) return false;
  } else {
    if (length < kNonResidentHeaderBytes) return false;
    const std::uint16_t runs = a.U16Le(kAttrRunsOffset);
    if (runs < kNonResidentHeaderBytes || runs > length) return false;
    if (GetType(a) == kData && !ntfsruns::IsValid(a.Sub(runs, length - runs))) return false;
  }
  const std::uint8_t nameLength = a.U8(kAttrNameLength);
  if (nameLength != 0 && static_cast<std::size_t>(GetOffsetToName(a)) + 2u * nameLength > length) return false;
  return true;
}

ByteView CNTFSFileRecordAttribute::ResidentValue(const ByteView& a) {
  if (!IsResident(a)) return ByteView();
  const std::uint32_t length = std::min<std::uint32_t>(GetLength(a), static_cast<std::uint32_t>(a.Size()));
  const std::uint64_t off = GetOffsetToAttribute(a);
  const std::uint64_t n = GetLengthOfAttribute(a);
  if (off + n > length) return ByteView();
  return a.Sub(off, n);
}

ByteView CNTFSFileRecordAttribute::DataRunsBuffer(const ByteView& a) {
  if (IsResident(a)) return ByteView();
  const std::uint32_t length = std::min<std::uint32_t>(GetLength(a), static_cast<std::uint32_t>(a.Size()));
  const std::uint16_t runs = a.U16Le(kAttrRunsOffset);
  if (runs > length) return ByteView();
  return a.Sub(runs, length - runs);
}

bool IsValidFileName(std::u16string_view name) {
  for (const char16_t c : name) {
    if (c == 0) break;
    switch (c) {
      case u'"':
      case u'*':
      case u'/':
      case u':':
      case u'<':
      case u'>':
      case u'?':
      case u'\\':
      case u'|':
        return false;
      default:
        break;
    }
  }
  return true;
}

bool CNTFSFileRecordFileNameAttribute::IsValid(const ByteView& a) {
  if (!CNTFSFileRecordAttribute::IsValid(a) || CNTFSFileRecordAttribute::GetType(a) != kFileName) return false;
  if (!CNTFSFileRecordAttribute::IsResident(a)) return false;
  const std::size_t need = kFixedValueOffset + kFnName + 2u * GetFileNameLength(a);
  if (need > CNTFSFileRecordAttribute::GetLength(a)) return false;
  return IsValidFileName(GetFileName(a));
}

long long CNTFSFileRecordFileNameAttribute::GetFileRecordNumberofParentDirectory(const ByteView& a) {
  return static_cast<long long>(a.U64Le(kFixedValueOffset + kFnParent) & kReferenceMask);
}
std::uint16_t CNTFSFileRecordFileNameAttribute::GetParentSequence(const ByteView& a) {
  return a.U16Le(kFixedValueOffset + kFnParent + 6);
}
std::uint8_t CNTFSFileRecordFileNameAttribute::GetFileNameLength(const ByteView& a) {
  return a.U8(kFixedValueOffset + kFnNameLength);
}
std::uint8_t CNTFSFileRecordFileNameAttribute::GetFileNameNamespaceType(const ByteView& a) {
  const std::uint8_t n = a.U8(kFixedValueOffset + kFnNamespace);
  return n > 3 ? 4 : n;
}
std::u16string CNTFSFileRecordFileNameAttribute::GetFileName(const ByteView& a) {
  const std::size_t count = GetFileNameLength(a);
  std::u16string name;
  const std::size_t start = kFixedValueOffset + kFnName;
  if (!a.Has(start, 2 * count)) return name;
  name.reserve(count);
  for (std::size_t i = 0; i < count; ++i) name.push_back(static_cast<char16_t>(a.U16Le(start + 2 * i)));
  return name;
}
std::uint64_t CNTFSFileRecordFileNameAttribute::GetCreationFileTime(const ByteView& a) {
  return a.U64Le(kFixedValueOffset + kFnCreation);
}
std::uint64_t CNTFSFileRecordFileNameAttribute::GetModificationFileTime(const ByteView& a) {
  return a.U64Le(kFixedValueOffset + kFnModification);
}
std::uint64_t CNTFSFileRecordFileNameAttribute::GetLastAccessFileTime(const ByteView& a) {
  return a.U64Le(kFixedValueOffset + kFnAccess);
}
long long CNTFSFileRecordFileNameAttribute::GetFileRealSize(const ByteView& a) {
  return static_cast<long long>(a.U64Le(kFixedValueOffset + kFnRealSize));
}
std::uint32_t CNTFSFileRecordFileNameAttribute::GetFlags(const ByteView& a) {
  return a.U32Le(kFixedValueOffset + kFnFlags);
}
bool CNTFSFileRecordFileNameAttribute::IsFileNameEqual(const ByteView& a, std::u16string_view name) {
  return GetFileName(a) == name;
}

bool CNTFSFileRecordStandardInformationAttribute::IsValid(const ByteView& a) {
  const std::uint16_t length = static_cast<std::uint16_t>(CNTFSFileRecordAttribute::GetLength(a));
  if (length > a.Size()) return false;
  if (length < static_cast<std::size_t>(CNTFSFileRecordAttribute::GetOffsetToAttribute(a)) + kSiMinimumValue) {
    return false;
  }
  return length >= kFixedValueOffset + kSiMinimumValue;
}
std::uint64_t CNTFSFileRecordStandardInformationAttribute::GetCreationFileTime(const ByteView& a) {
  return a.U64Le(kFixedValueOffset + kSiCreation);
}
std::uint64_t CNTFSFileRecordStandardInformationAttribute::GetModificationFileTime(const ByteView& a) {
  return a.U64Le(kFixedValueOffset + kSiModification);
}
std::uint64_t CNTFSFileRecordStandardInformationAttribute::GetLastAccessFileTime(const ByteView& a) {
  return a.U64Le(kFixedValueOffset + kSiAccess);
}
std::uint32_t CNTFSFileRecordStandardInformationAttribute::GetDosFilePermission(const ByteView& a) {
  return a.U32Le(kFixedValueOffset + kSiDosFlags);
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<std::uint32_t>(text[i + 1]) - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}
