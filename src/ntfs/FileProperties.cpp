#include "ntfs/FileProperties.h"

#include "ntfs/FileRecordLayout.h"

using namespace ntfsrec;

void CNTFSFileProperties::SetFileName(const char* name) {
  if (name != nullptr) m_name = name;
}

IDataRunList* CNTFSFileProperties::GetDataRunList() { return m_packed ? m_packed->Decompress() : nullptr; }

void CNTFSFileProperties::SetDataRunList(IDataRunList* list) {
  if (list == nullptr) return;
  m_packed = CCompressedDataRunList::Compress(*list);
}

IFileProperties* CNTFSFileProperties::Clone() {
  auto* copy = new CNTFSFileProperties();
  copy->m_name = m_name;
  copy->m_llSize = m_llSize;
  copy->m_uAttribute = m_uAttribute;
  copy->m_llCreation = m_llCreation;
  copy->m_llModification = m_llModification;
  copy->m_llAccess = m_llAccess;
  copy->m_uState = m_uState;
  copy->m_place = m_place;
  copy->m_iRecordBytes = m_iRecordBytes;
  if (m_packed) copy->m_packed = std::make_unique<CCompressedDataRunList>(*m_packed);
  copy->m_extensions = m_extensions;
  copy->m_llRecordIndex = m_llRecordIndex;
  return copy;
}

long long ParentFromFileNames(const CNTFSMultiFileRecord& record) {
  const ByteView first = record.FindAttibute(kFileName, 0, nullptr, nullptr);
  const ByteView second = record.FindAttibute(kFileName, 1, nullptr, nullptr);
  if (second.Size() != 0) {
    const long long p = CNTFSFileRecordFileNameAttribute::GetFileRecordNumberofParentDirectory(second);
    if (p >= 5) return p;
  }
  if (first.Size() != 0) {
    const long long p = CNTFSFileRecordFileNameAttribute::GetFileRecordNumberofParentDirectory(first);
    if (p >= 5) return p;
  }
  return -1;
}

namespace {

// The unnamed $DATA of a record: its resident value or the runs of every
// extent. `size` becomes the size the stream gives (bounded by its
// clusters); `attribute` gains its compressed and encrypted flags.
std::unique_ptr<IDataRunList> ReadUnnamedData(const CNTFSMultiFileRecord& record, long long clusterBytes,
                                              long long& size, unsigned& attribute) {
  using AT = CNTFSFileRecordAttribute;
  CNTFSDataRunList runs;
  std::unique_ptr<IDataRunList> extents;
  for (int i = 0; i < 256; ++i) {
    std::size_t offset = 0;
    RecordPosition holder;
    const ByteView d = record.FindAttibute(kData, i, &offset, &holder);
    if (d.Size() == 0) break;
    if (AT::IsNamed(d)) continue;
    if (AT::IsCompressed(d)) attribute |= kNtfsAttrCompressed;
    if (AT::IsEncrypted(d)) attribute |= kNtfsAttrEncrypted;
    if (AT::IsResident(d)) {
      if (AT::ResidentValue(d).Size() != AT::GetLengthOfAttribute(d)) break;
      auto list = std::make_unique<CResidentNTFSDataRunList>();
      list->InitList(holder.sector, 1, static_cast<unsigned>(holder.offset + offset + AT::GetOffsetToAttribute(d)));
      size = AT::GetLengthOfAttribute(d);
      return list;
    }
    const long long startVcn = AT::GetStartVCN(d);
    runs.AddDataRunsfromBuffer(AT::DataRunsBuffer(d), startVcn);
    const long long real = AT::GetRealSizeOfAttribute(d);
    if (startVcn == 0 && (size <= 0 || size < real)) size = real;
  }
  runs.Sort();
  long long clusters = 0;
  extents.reset(BuildNonResidentDataRunListfromNTFSDataRunList(runs, clusters));
  if (size < 0) size = 0;
  long long all = 0;
  if (clusterBytes > 0 && clusterBytes % 512 == 0 && !__builtin_mul_overflow(clusterBytes, clusters, &all)) {
    if (size > all) size = all;
    if (size == 0 && all != 0) size = all;
  }
  return extents;
}

}  // namespace

std::unique_ptr<CNTFSFileProperties> CNTFSFilePropertiesBuilder::BuildFileProperties(const RecordPosition& place,
                                                                                     const CNTFSMultiFileRecord& record,
                                                                                     long long clusterBytes,
                                                                                     long long& parent) {
  parent = -1;
  if (!record.IsValid()) return nullptr;
  const ByteView first = record.FindAttibute(kFileName, 0, nullptr, nullptr);
  const ByteView second = record.FindAttibute(kFileName, 1, nullptr, nullptr);
  using FN = CNTFSFileRecordFileNameAttribute;
  const bool firstOk = first.Size() != 0 && FN::IsValid(first);
  const bool secondOk = second.Size() != 0 && FN::IsValid(second);
  ByteView chosen;
  if (secondOk && FN::GetFileNameNamespaceType(second) == kNamespaceWin32) {
    chosen = second;
  } else if (firstOk) {
    chosen = first;
  } else if (secondOk) {
    chosen = second;
  }
  if (chosen.Size() == 0 || FN::GetFileNameLength(chosen) == 0) return nullptr;
  const long long a = secondOk ? FN::GetFileRecordNumberofParentDirectory(second) : -1;
  const long long b = firstOk ? FN::GetFileRecordNumberofParentDirectory(first) : -1;
  const long long c = FN::GetFileRecordNumberofParentDirectory(chosen);
  parent = a <= 4 ? (b >= 5 ? b : c) : c;

  auto props = std::make_unique<CNTFSFileProperties>();
  unsigned attribute = FN::IsDirectory(chosen) ? kNtfsAttrDirectory : 0;
  props->SetFileName(Utf16ToUtf8(FN::GetFileName(chosen)).c_str());
  long long size = FN::GetFileRealSize(chosen);
  long long creation = static_cast<long long>(FN::GetCreationFileTime(chosen));
  long long modification = static_cast<long long>(FN::GetModificationFileTime(chosen));
  long long access = static_cast<long long>(FN::GetLastAccessFileTime(chosen));

  const ByteView si = record.FindAttibute(kStandardInformation, 0, nullptr, nullptr);
  if (si.Size() != 0 && CNTFSFileRecordStandardInformationAttribute::IsValid(si)) {
    using SI = CNTFSFileRecordStandardInformationAttribute;
    creation = static_cast<long long>(SI::GetCreationFileTime(si));
    modification = static_cast<long long>(SI::GetModificationFileTime(si));
    access = static_cast<long long>(SI::GetLastAccessFileTime(si));
    attribute |=
        SI::GetDosFilePermission(si) & (kNtfsAttrReadOnly | kNtfsAttrHidden | kNtfsAttrSystem | kNtfsAttrArchive);
  }
  props->SetTimes(creation, modification, access);
  props->SetFileRecordPlace(place);
  props->SetRecordBytes(static_cast<int>(record.Base().GetLength()));
  if (!record.IsinUse()) props->SetState(kNtfsStateDeleted);

  std::unique_ptr<IDataRunList> extents = ReadUnnamedData(record, clusterBytes, size, attribute);
  if (extents) props->SetDataRunList(extents.get());
  if ((attribute & kNtfsAttrCompressed) && (attribute & kNtfsAttrEncrypted)) attribute &= ~kNtfsAttrCompressed;
  props->SetAttribute(attribute);
  props->SetFileSize(size);
  return props;
}

void CNTFSFilePropertiesBuilder::AdjustFileSizeAccordinttoDataRunsWhenFileSizeLessThanZero(
    CNTFSFileProperties& properties, long long clusterBytes) {
  if (properties.GetFileSize() >= 0) return;
  std::unique_ptr<IDataRunList, void (*)(IDataRunList*)> list(properties.GetDataRunList(), [](IDataRunList* l) {
    if (l) l->Release();
  });
  if (!list || list->GetOffset() != 0) return;
  long long total = 0;
  for (const DataRun* r = list->GetFirst(); r != nullptr; r = list->GetNext()) total += r->length;
  long long bytes = 0;
  if (!__builtin_mul_overflow(total, clusterBytes, &bytes)) properties.SetFileSize(bytes);
}
