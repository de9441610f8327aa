#pragma once
// Repairs deleted FILE records from the volume's $LogFile: keeps the FILE
// record images the journal holds and its log records, and rebuilds a
// record's $DATA by applying the undo data of the records that changed it.

#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "ntfs/FileProperties.h"
#include "ntfs/LogPage.h"
#include "ntfs/MftGeometry.h"

class IStorageDevice;

class CFindFileFromLogFile {
 public:
  // Largest journal loaded.
  static constexpr long long kMaxJournalBytes = 256LL * 1024 * 1024;
  // Longest log record kept (a record may continue over a few pages).
  static constexpr std::size_t kMaxLogRecordBytes = 64 * 1024;

  CFindFileFromLogFile() = default;

  // Finds $LogFile through MFT record 2; false when the read fails.
  bool Init(IStorageDevice* device, const MftGeometry& geometry);
  // Geometry of the volume whose journal is analysed (set by Init).
  void SetGeometry(const MftGeometry& geometry) { m_geometry = geometry; }
  // Loads the journal from the device and analyses it.
  bool Analyzer();
  // Analyses a journal given as bytes.
  void AnalyzeJournal(const ByteView& journal);
  // Journal bytes read from the device at a time.
  static constexpr std::size_t kWindowBytes = 1024 * 1024;
  bool IsFound() const { return m_bFound; }
  void Reset();

  // Repairs the size and extents of a deleted record's properties; false when
  // nothing could be used.
  bool ReplaceFileRecordInfo(const ByteView& record, CNTFSFileProperties& properties, long long parent,
                             const ExtendRecordList& extensions);

  std::size_t ImageCount() const { return m_images.size(); }
  std::size_t LogRecordCount() const { return m_records.size(); }
  // FILE-record number that a log record targets.
  long long TargetRecordIndex(const CLogRecordHeader& header) const;
  // Applies the undo data of the matching log records to the $DATA
  // attributes of `record` (number `recordNumber`).
  void RebuildFileRecord(std::span<std::uint8_t> record, long long recordNumber) const;

 private:
  struct Image {
    std::unique_ptr<CNTFSFileProperties> properties;
    long long parent = -1;
  };
  struct LogRecord {
    CLogRecordHeader header;
    std::vector<std::uint8_t> bytes;
  };

  // Copies journal page `index` (of `pages`) to `out` (kPageBytes).
  using PageReader = std::function<void(std::size_t index, std::uint8_t* out)>;
  void AnalyzePages(std::size_t pages, const PageReader& read);
  void HandleRecord(const ByteView& record);
  void AddImage(const ByteView& record);
  // Applies undo data at attribute offset `attributeOffset`; the end reached or 0.
  std::size_t BuildFileDataAttributeBuffer(long long recordNumber, std::size_t attributeOffset,
                                           std::span<std::uint8_t> record) const;

  bool m_bFound = false;
  bool m_bAnalyzed = false;
  IStorageDevice* m_pDevice = nullptr;
  MftGeometry m_geometry;
  CNTFSDataRunList m_logRuns;
  bool m_bCompressed = false;
  std::vector<Image> m_images;
  std::vector<LogRecord> m_records;
  std::multimap<long long, std::size_t> m_byRecord;  // target record -> m_records index
};
