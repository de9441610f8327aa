#pragma once
// Sizes an MPEG audio stream through the device by walking its frames, and
// names it from its ID3 tags.

#include <string>

#include "carving/RawFileAnalyser.h"

class RawFileBuffer;

class FileMP3Analyser : public IRawFileAnalyser {
 public:
  static constexpr long long kMinStream = 10240;

  FileMP3Analyser() : IRawFileAnalyser(kRawTypeMp3) {}
  ~FileMP3Analyser() override;

  bool GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  std::string GetRawFileName() override { return m_strTitle; }
  std::string GetRawFileTime() override { return m_strYear; }
  virtual void GetRawFileTagAndValue(RAW_FILE_TAG& tag, std::string& value);

  // Forgets the stream sized last (a new search starts).
  static void ResetRemembered();

 private:
  bool GetRawFileSizeXING(CRawFileInfo& info, RawFileBuffer& buffer);
  bool GetRawFileSizeFromFrame(CRawFileInfo& info, RawFileBuffer& buffer);
  bool GetRawFileSizeFromId3(CRawFileInfo& info, RawFileBuffer& buffer);
  // Artist, title and year from the ID3v2 tag of `tagSize` bytes.
  void ReadId3TextFrames(RawFileBuffer& buffer, unsigned tagSize);
  // An ID3v1 tag at `pos` that ends the stream: zeros or no frame after it.
  bool Id3v1ClosesStream(RawFileBuffer& buffer, unsigned long long pos);
  // The end of the stream after an APE tag at `pos` (set in `pos`); false
  // when none is found.
  bool ApeTagEnd(RawFileBuffer& buffer, unsigned long long& pos);
  void NameFromId3v1(CRawFileInfo& info, RawFileBuffer& buffer, unsigned long long at);

  std::string m_strTitle;
  std::string m_strYear;
  std::string m_strArtist;

  static long long s_rememberedStart;
  static long long s_rememberedSectors;
  static bool s_destroyed;
};
