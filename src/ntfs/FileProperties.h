#pragma once
// What the NTFS engine knows of one found file: name, size, attributes,
// times, state, where its FILE record lies and its packed extents.

#include <memory>
#include <string>

#include "core/model/Contracts.h"
#include "ntfs/MultiFileRecord.h"
#include "ntfs/NtfsRunLists.h"

// Attribute bits.
inline constexpr unsigned kNtfsAttrReadOnly = 0x0001;
inline constexpr unsigned kNtfsAttrHidden = 0x0002;
inline constexpr unsigned kNtfsAttrSystem = 0x0004;
inline constexpr unsigned kNtfsAttrDirectory = 0x0010;
inline constexpr unsigned kNtfsAttrArchive = 0x0020;
inline constexpr unsigned kNtfsAttrEncrypted = 0x0040;
inline constexpr unsigned kNtfsAttrCompressed = 0x0800;
inline constexpr unsigned short kNtfsStateDeleted = 0x0001;

class CNTFSFileProperties final : public IFileProperties {
 public:
  CNTFSFileProperties() = default;
  ~CNTFSFileProperties() override = default;

  int GetFileNameLength() override { return static_cast<int>(m_name.size() + 1); }
  void SetFileName(const char* name) override;
  const char* GetFileName() override { return m_name.c_str(); }
  long long GetFileSize() override { return m_llSize; }
  unsigned int GetAttribute() override { return m_uAttribute; }
  long long GetRawFileCreateTime() override { return 0; }
  long long GetCreationTime() override { return m_llCreation; }
  long long GetModificationTime() override { return m_llModification; }
  long long GetLastAccessTime() override { return m_llAccess; }
  unsigned short GetState() override { return m_uState; }
  void SetState(unsigned short state) override { m_uState = state; }
  // A new list owned by the caller, or null.
  IDataRunList* GetDataRunList() override;
  IFileProperties* Clone() override;

  void SetFileSize(long long size) { m_llSize = size; }
  void SetAttribute(unsigned attribute) { m_uAttribute = attribute; }
  void SetTimes(long long creation, long long modification, long long access) {
    m_llCreation = creation;
    m_llModification = modification;
    m_llAccess = access;
  }
  const RecordPosition& GetFileRecordPlace() const { return m_place; }
  long long GetFileRecordStartSector() const { return m_place.sector; }
  void SetFileRecordPlace(const RecordPosition& place) { m_place = place; }
  const ExtendRecordList& GetExtendFileRecordInfoList() const { return m_extensions; }
  void SetExtendFileRecordInfoList(ExtendRecordList list) { m_extensions = std::move(list); }
  long long GetFileRecordIndex() const { return m_llRecordIndex; }
  void SetFileRecordIndex(long long index) { m_llRecordIndex = index; }
  int GetRecordBytes() const { return m_iRecordBytes; }
  void SetRecordBytes(int bytes) { m_iRecordBytes = bytes; }
  // Packs `list` (the list stays the caller's); null is ignored.
  void SetDataRunList(IDataRunList* list);
  int GetFilePropertyiesType() const { return 0; }
  const std::string& Name() const { return m_name; }

 private:
  std::string m_name;
  long long m_llSize = 0;
  unsigned m_uAttribute = 0;
  long long m_llCreation = 0;
  long long m_llModification = 0;
  long long m_llAccess = 0;
  unsigned short m_uState = 0;
  RecordPosition m_place;
  int m_iRecordBytes = 1024;
  std::unique_ptr<CCompressedDataRunList> m_packed;
  ExtendRecordList m_extensions;
  long long m_llRecordIndex = 0;
};

class CNTFSFilePropertiesBuilder {
 public:
  // Properties of a record and its extension records; null when the record is
  // invalid or has no usable $FILE_NAME. `parent` receives the parent record
  // number (-1 when none).
  [[nodiscard]] static std::unique_ptr<CNTFSFileProperties> BuildFileProperties(const RecordPosition& place,
                                                                                const CNTFSMultiFileRecord& record,
                                                                                long long clusterBytes,
                                                                                long long& parent);
  // A negative size of a non-resident file becomes its clusters' bytes.
  static void AdjustFileSizeAccordinttoDataRunsWhenFileSizeLessThanZero(CNTFSFileProperties& properties,
                                                                        long long clusterBytes);
};

// Parent record number of a record: the second name's when 5 or more, else
// the first's when 5 or more, else -1.
long long ParentFromFileNames(const CNTFSMultiFileRecord& record);
