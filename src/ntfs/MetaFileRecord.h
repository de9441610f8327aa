#pragma once
// Recognition of the system files' FILE records by their first name, and
// the volume label.

#include <cstdint>
#include <string_view>

#include "ntfs/FileRecord.h"

class CMetaFileRecordTypeAnalyzer {
 public:
  // Record number of the system file the first name names, -1 when none (or
  // for an invalid or extension record).
  static int GetMetaFileRecordIndex(const CNTFSFileRecord& record);
  // A system name, and hidden and system set in the first $STANDARD_INFORMATION.
  static bool IsValidMetaFileRecord(const CNTFSFileRecord& record);
  // The record is valid, hidden and system are set and the first name is `name`.
  static bool IsValidMetaFileRecord(const CNTFSFileRecord& record, std::u16string_view name);
  static bool IsValidMetaFileRecord(const ByteView& buffer, std::u16string_view name);
  static bool IsValidMFTFileRecord(const CNTFSFileRecord& r) { return IsValidMetaFileRecord(r, u"$MFT"); }
  static bool IsValidMFTMirrFileRecord(const CNTFSFileRecord& r) { return IsValidMetaFileRecord(r, u"$MFTMirr"); }
  static bool IsValidLogFileRecord(const CNTFSFileRecord& r) { return IsValidMetaFileRecord(r, u"$LogFile"); }
  static bool IsValidVolumeFileRecord(const CNTFSFileRecord& r) { return IsValidMetaFileRecord(r, u"$Volume"); }
  static bool IsValidBitmapFileRecord(const CNTFSFileRecord& r) { return IsValidMetaFileRecord(r, u"$Bitmap"); }
  static bool IsValidAttrDefFileRecord(const CNTFSFileRecord& r) { return IsValidMetaFileRecord(r, u"$AttrDef"); }
  static bool IsValidUpCaseFileRecord(const CNTFSFileRecord& r) { return IsValidMetaFileRecord(r, u"$UpCase"); }
};

class CIsMetaFileRecord {
 public:
  static bool IsMetaFileRecord(long long recordNumber) { return recordNumber < 25; }
  static bool IsMetaFileRecord(const ByteView& buffer);
};

class CFolderFileRecordAnalyzer {
 public:
  // Directory flag set and a non-resident $INDEX_ALLOCATION present.
  static bool IsValidFolderFileRecordHavingIndexAllocation(const CNTFSFileRecord& record);
};

class CVolumeFileAnalyzer {
 public:
  // The label of a $Volume record in UTF-8; empty when none.
  static std::string GetLabel(const ByteView& record);
};

// The first $FILE_NAME and $STANDARD_INFORMATION (empty views when absent).
ByteView FirstFileName(const CNTFSFileRecord& record);
ByteView FirstStandardInformation(const CNTFSFileRecord& record);
