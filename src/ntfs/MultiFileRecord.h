#pragma once
// A base FILE record joined with the extension records its $ATTRIBUTE_LIST
// names.

#include <memory>
#include <vector>

#include "ntfs/FileRecord.h"
#include "ntfs/MftGeometry.h"

class IStorageDevice;

struct CAttributeListExtendFileRecordInfo {
  RecordPosition place;  // sector -1 while unknown
  long long recordNumber = -1;
};
using ExtendRecordList = std::vector<CAttributeListExtendFileRecordInfo>;

class CNTFSMultiFileRecord {
 public:
  // Largest non-resident $ATTRIBUTE_LIST read.
  static constexpr long long kMaxAttributeListBytes = 256 * 1024;

  // Record numbers named by the record's $ATTRIBUTE_LIST (each once), places unknown.
  static ExtendRecordList GetExtendFileRecordInfoList(const CNTFSFileRecord& record, const MftGeometry& geometry,
                                                      IStorageDevice* device);
  // The list with places through the $MFT runs, without unmapped entries and
  // without the base record itself.
  static ExtendRecordList InitExtendFileRecord(const CNTFSFileRecord& record, const RecordPosition& basePlace,
                                               const MftGeometry& geometry, IStorageDevice* device);

  // Keeps the base record; reads each listed extension record from the device.
  CNTFSMultiFileRecord(const CNTFSFileRecord& base, const RecordPosition& basePlace, IStorageDevice* device,
                       const ExtendRecordList& extensions, int recordBytes);

  bool IsValid() const { return m_base.IsValid(); }
  bool IsinUse() const { return m_base.IsinUse(); }
  const CNTFSFileRecord& Base() const { return m_base; }
  // The index-th attribute of `type` over the base and then the extension
  // records; its offset and the place of the record holding it.
  ByteView FindAttibute(std::uint32_t type, int index, std::size_t* offset, RecordPosition* place) const;

 private:
  struct Extension {
    RecordPosition place;
    CNTFSFileRecord record;
  };
  CNTFSFileRecord m_base;
  RecordPosition m_basePlace;
  std::vector<Extension> m_extensions;
};

// Reads the bytes of a non-resident attribute through its runs, at most
// `limit` bytes; false when a read fails or the runs are unusable.
bool ReadNonResidentAttribute(const ByteView& attribute, const MftGeometry& geometry, IStorageDevice& device,
                              long long limit, std::vector<std::uint8_t>& out);
