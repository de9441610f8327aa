#pragma once
// JPEG header reader: sizes a JPEG through the device by walking its
// markers to the start of scan and then looking for the end marker; names
// it after the camera.

#include <string>

#include "carving/RawFileAnalyser.h"

class RawFileBuffer;

class FileJPGAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kJfifLimit = 0x1A000000;
  static constexpr long long kExifLimit = 0xD000000;

  FileJPGAnalyser() : IRawFileAnalyser(kRawTypeJpg) {}

  bool GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  std::string GetRawFileName() override { return m_strName; }
  std::string GetRawFileTime() override { return m_strTime; }
  virtual void GetRawFileTagAndValue(RAW_FILE_TAG& tag, std::string& value) const;

  // The JFIF/Exif test shared with the streaming analyser.
  static bool IsJfifOrExif(const unsigned char* sector);

 private:
  enum class Walk { kJfif, kExif, kOther };
  void ReadCamera(RawFileBuffer& reader, unsigned long long lengthAt, unsigned long long blockAt, CRawFileInfo& info);
  long long MarkerWalk(RawFileBuffer& reader, Walk walk, long long limit);
  // The size proven by the marker structure, 0 when the structure breaks
  // or no end marker lies within the limit.
  static long long StructureWalk(RawFileBuffer& reader, long long limit);
  long long DataScan(RawFileBuffer& reader, long long offset, long long limit);

  std::string m_strName;
  std::string m_strTime;
  long long m_llSectorSize = 512;
  RAW_FILE_TAG m_eTag = kRawTagNone;
  std::string m_strTagValue;
};
