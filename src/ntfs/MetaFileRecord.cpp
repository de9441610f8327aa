#include "ntfs/MetaFileRecord.h"

#include <array>

#include "ntfs/FileRecordLayout.h"

namespace {

struct SystemFile {
  std::u16string_view name;
  int record;
};

// $Quota, $ObjId and $Reparse live in $Extend at varying numbers; the numbers
// below only mark them as system files.
constexpr std::array<SystemFile, 15> kSystemFiles = {{{u"$MFT", 0},
                                                      {u"$MFTMirr", 1},
                                                      {u"$LogFile", 2},
                                                      {u"$Volume", 3},
                                                      {u"$AttrDef", 4},
                                                      {u".", 5},
                                                      {u"$Bitmap", 6},
                                                      {u"$Boot", 7},
                                                      {u"$BadClus", 8},
                                                      {u"$Secure", 9},
                                                      {u"$UpCase", 10},
                                                      {u"$Extend", 11},
                                                      {u"$Quota", 24},
                                                      {u"$ObjId", 25},
                                                      {u"$Reparse", 26}}};

constexpr std::uint32_t kHiddenSystem = 0x02 | 0x04;

bool HiddenAndSystem(const CNTFSFileRecord& record) {
  const ByteView si = FirstStandardInformation(record);
  if (si.Size() == 0 || !CNTFSFileRecordStandardInformationAttribute::IsValid(si)) return false;
  return (CNTFSFileRecordStandardInformationAttribute::GetDosFilePermission(si) & kHiddenSystem) == kHiddenSystem;
}

}  // namespace

ByteView FirstFileName(const CNTFSFileRecord& record) { return record.FindAttibute(ntfsrec::kFileName, 0); }
ByteView FirstStandardInformation(const CNTFSFileRecord& record) {
  return record.FindAttibute(ntfsrec::kStandardInformation, 0);
}

int CMetaFileRecordTypeAnalyzer::GetMetaFileRecordIndex(const CNTFSFileRecord& record) {
  if (!record.IsValid() || record.IsExtendFileRecord()) return -1;
  const ByteView fn = FirstFileName(record);
  if (fn.Size() == 0) return -1;
  const std::u16string name = CNTFSFileRecordFileNameAttribute::GetFileName(fn);
  for (const SystemFile& f : kSystemFiles) {
    if (name == f.name) return f.record;
  }
  return -1;
}

bool CMetaFileRecordTypeAnalyzer::IsValidMetaFileRecord(const CNTFSFileRecord& record) {
  return GetMetaFileRecordIndex(record) != -1 && HiddenAndSystem(record);
}

bool CMetaFileRecordTypeAnalyzer::IsValidMetaFileRecord(const CNTFSFileRecord& record, std::u16string_view name) {
  if (!record.IsValid() || !HiddenAndSystem(record)) return false;
  const ByteView fn = FirstFileName(record);
  return fn.Size() != 0 && CNTFSFileRecordFileNameAttribute::IsFileNameEqual(fn, name);
}

bool CMetaFileRecordTypeAnalyzer::IsValidMetaFileRecord(const ByteView& buffer, std::u16string_view name) {
  return IsValidMetaFileRecord(CNTFSFileRecord(buffer), name);
}

bool CIsMetaFileRecord::IsMetaFileRecord(const ByteView& buffer) {
  if (buffer.Size() < ntfsrec::kMinRecordBytes) return false;
  return CMetaFileRecordTypeAnalyzer::IsValidMetaFileRecord(CNTFSFileRecord(buffer));
}

bool CFolderFileRecordAnalyzer::IsValidFolderFileRecordHavingIndexAllocation(const CNTFSFileRecord& record) {
  if (!record.IsValid() || !record.IsFolder()) return false;
  const ByteView a = record.FindAttibute(ntfsrec::kIndexAllocation, 0);
  return a.Size() != 0 && !CNTFSFileRecordAttribute::IsResident(a);
}

std::string CVolumeFileAnalyzer::GetLabel(const ByteView& buffer) {
  const CNTFSFileRecord record(buffer);
  if (!CMetaFileRecordTypeAnalyzer::IsValidVolumeFileRecord(record)) return {};
  const ByteView a = record.FindAttibute(ntfsrec::kVolumeName, 0);
  const ByteView value = CNTFSFileRecordAttribute::ResidentValue(a);
  std::u16string label;
  for (std::size_t i = 0; i + 1 < value.Size(); i += 2) label.push_back(static_cast<char16_t>(value.U16Le(i)));
  return Utf16ToUtf8(label);
}
