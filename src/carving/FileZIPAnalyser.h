#pragma once
// ZIP archives and the formats built on ZIP (DOCX, XLSX, PPTX, OpenDocument,
// iWork, EPUB, IPA, OLM, CDR): a record walk while the sweep passes, typed by
// member names, named and labelled from docProps/core.xml.

#include <cstdint>
#include <string>

#include "carving/FileProperty.h"
#include "carving/RawFileAnalyser.h"
#include "carving/ZipSearch.h"

class RawFileBuffer;

class FileZIPAnalyser : public IRawFileAnalyser {
 public:
  static constexpr int kTypeZip = kRawTypeZip;
  static constexpr long long kCap = 200000000;
  static constexpr long long kOfficeCap = 20000000;
  static constexpr unsigned long long kDeviceWalkLimit = 0x104000000ULL;
  static constexpr unsigned long long kEndSearchLimit = 0xD000000ULL;

  class ZIPRawFileInfo : public CRawFileInfo {
   public:
    ZIPRawFileInfo() { m_eType = kTypeZip; }
    bool WhetherImplementGuess() override { return true; }
    void WillBeRemove(unsigned char* sector, long long sectorNumber) override;
    int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) override;
    // Name, time and Office label of a finished find.
    void FillFileInfo(long long sector, int sectorSize, int zeroTail);

    bool m_bMaybeOffice = false;
    bool m_bFirstMember = false;
    bool m_bWalk = true;
    std::uint64_t m_u64Walk = 0;
    long long m_llCap = kCap;
    FileProperty m_property;
    int m_iPropertiesRead = 0;
    int m_iSubType = kTypeZip;
    std::string m_strFirstMember;  // the first member's name, cut to 20 bytes

   private:
    bool TryCore(const class StreamBytes& bytes, long long pos);
    // The first local header: false when the candidate is no archive.
    bool Start(const StreamBytes& bytes);
    // After a member whose sizes follow its data: central headers type the
    // archive and the end record closes it; its end, or 0 when not in sight.
    long long ScanForEnd(const StreamBytes& bytes, const unsigned char* sector, int sectorSize, long long pos);
    int Finish(long long sectorNumber, int sectorSize, int zeroTail, long long size);

    bool m_bStarted = false;
    bool m_bDescriptor = false;  // a data descriptor follows the last member
    bool m_bCorePending = false;
    std::uint64_t m_u64CoreAt = 0;  // docProps/core.xml record offset
    ZipRecord m_core;
  };

  FileZIPAnalyser() : IRawFileAnalyser(kTypeZip) {}
  bool GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  CRawFileInfo* CreateRawFileInfo() override { return new ZIPRawFileInfo(); }

  // Looks for an end-of-central-directory record from `offset` whose
  // directory ends right before it; the archive's end, or 0.
  static std::uint64_t GetProbablySize(std::uint64_t offset, RawFileBuffer& reader,
                                       std::uint64_t* endRecordAt = nullptr);

  bool m_bMaybeOffice = false;
  bool m_bCorelDraw = false;

 private:
  // Where the device walk stands.
  struct DeviceWalk {
    std::uint64_t offset = 0;
    int sub = kTypeZip;
    bool ended = false;
    std::string firstName;
    FileProperty property;
    bool propertiesRead = false;
  };
  // One local member of the device walk: types the archive by its name and
  // steps past it (and its data descriptor); false when the archive's end
  // cannot be found.
  bool LocalMember(RawFileBuffer& reader, const ZipRecord& r, DeviceWalk& walk);
  // The central directory before the end record at `endRecord` types the archive.
  void TypeFromCentralDirectory(RawFileBuffer& reader, std::uint64_t endRecord, int& sub);
};
