#pragma once
// TIFF and camera-raw device reader: walks the directories through the
// device to size, type, name and label a find.

#include <string>

#include "carving/RawFileAnalyser.h"

class RawFileBuffer;

// The type a camera make gives (make upper-cased); `current` when none.
RAW_FILE_TYPE TiffTypeFromMake(const std::string& make, const std::string& model, bool dng, bool rw2Header,
                               RAW_FILE_TYPE current);
// A make or model text of at most 63 bytes from `raw` (up to the first NUL):
// cleaned; empty when a byte may not stand in a camera name.
std::string TiffCameraText(const unsigned char* raw, std::size_t n, bool upper);
// FF D8 FF E0, FF D8 FF E1 or FF D8 FF DB.
bool IsTiffJpegStart(const unsigned char* p);

class FileTIFAnalyser : public IRawFileAnalyser {
 public:
  static constexpr unsigned long long kMaxEnd = 0x4E000000;
  static constexpr unsigned long long kExtendLimit = 43620762;
  static constexpr int kMaxSubIfds = 14;
  static constexpr int kMaxIfds = 64;

  FileTIFAnalyser() : IRawFileAnalyser(kRawTypeTif) {}
  bool GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  std::string GetRawFileName() override { return m_strName; }
  std::string GetRawFileTime() override { return m_strTime; }
  virtual void GetRawFileTagAndValue(RAW_FILE_TAG& tag, std::string& value) const;
  virtual void GetThumbStartAndSize(unsigned long long& start, unsigned long long& size) const;

 private:
  struct Entry {
    unsigned tag = 0;
    unsigned elementSize = 0;
    unsigned count = 0;
    unsigned value = 0;
    unsigned long long byteLength = 0;
    unsigned long long at = 0;  // file offset of the entry
  };

  void InitTifAnalyser();
  long long GetTiffSize(CRawFileInfo& info, IStorageDevice* device);
  // A RAF's own header: the EXIF of its JPEG names it and its blocks size it.
  // False when that ends the sizing (`size`: the RAF's size, 0 when none);
  // true with `base` at its TIFF directory.
  bool ReadRafHeader(CRawFileInfo& info, RawFileBuffer& reader, unsigned char* head, unsigned long long& base,
                     long long& size);
  void ReadRafExif(RawFileBuffer& reader, unsigned long long jpegAt);
  // The type, name and label from the make and model read.
  void NameAndLabel(CRawFileInfo& info);
  // A small file's size runs on to the first sector ending in 16 zero bytes.
  long long SizeToZeroTail(RawFileBuffer& reader, unsigned long long size);
  bool R16(unsigned long long off, unsigned& v);
  bool R32(unsigned long long off, unsigned& v);
  bool ReadEntries(unsigned long long off, unsigned n, unsigned long long base, Entry* out);
  bool LastElement(const Entry& e, unsigned long long base, unsigned long long& v);
  bool ReadText(const Entry& e, unsigned long long base, std::string& out);
  void Raise(unsigned long long end) {
    if (end > m_u64End) m_u64End = end;
  }
  void Preview(unsigned long long offset, unsigned long long length);
  // The start of a strip or embedded JPEG (the last strip's); false when unreadable.
  bool PreviewOffset(const Entry& e, unsigned long long base, unsigned long long& offset);
  // Its length, which makes it the preview when its start is known.
  void PreviewLength(const Entry& e, unsigned long long base, bool offsetKnown, unsigned long long offset);
  void GetSubIFDSize(unsigned long long offset, unsigned long long base, int depth);
  // 1: go on; 0: size 0; 2: RAF finished.
  // What reading one tag of the main directories gives.
  enum TagStep : int {
    kTagUnreadable = 0,  // the tag's bytes cannot be read: no file
    kTagRead = 1,        // on to the next tag
    kTagRafNamed = 2,    // a RAF's model names it: the RAF header has sized it
  };
  int MainTag(const Entry& e, unsigned long long base);
  int MakeTag(const Entry& e, unsigned long long base);
  int ModelTag(const Entry& e, unsigned long long base);
  void SubIfdsTag(const Entry& e, unsigned long long base);
  void IptcTag(const Entry& e, unsigned long long base);

  RawFileBuffer* m_pReader = nullptr;
  bool m_bBigEndian = false;
  unsigned long long m_u64JpegOffset = 0;
  bool m_bJpegOffsetKnown = false;
  unsigned long long m_u64End = 0;
  unsigned long long m_u64TileOffsetsLast = 0;
  unsigned m_uTileCount = 0;
  bool m_bTilesKnown = false;
  bool m_bRaf = false;
  unsigned long long m_u64RafEnd = 0;
  bool m_bNikon = false;
  bool m_bEpson = false;
  bool m_bA100 = false;
  unsigned long long m_u64A100SubIfd = 0;
  bool m_bDng = false;
  bool m_bIfdSeen = false;
  bool m_bRw2Header = false;
  std::string m_strName;
  std::string m_strTime;
  std::string m_strMake;
  std::string m_strModel;
  RAW_FILE_TAG m_eTag = kRawTagCamera;
  unsigned long long m_u64ThumbStart = 0;
  unsigned long long m_u64ThumbSize = 0;
  int m_iSubIfdBudget = kMaxSubIfds;
};
