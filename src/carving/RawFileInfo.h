#pragma once
// The record of one carving candidate, from its first sector until its size
// is known and it is handed to a carved-file tree.

#include <string>

#include "carving/RawFileType.h"

class IRawFileAnalyser;

// Label kinds of a carved file.
enum RAW_FILE_TAG : int {
  kRawTagNone = -1,
  kRawTagArtists = 0,
  kRawTagCamera = 1,
  kRawTagOffice = 2,
  kRawTagMov = 3,
  kRawTagPdf = 4,
  kRawTagAi = 5,
};

// What CalcRawSize answers for one sector.
enum RawSizeStep : int {
  kSizeDone = 1,      // the size is final (0 when it could not be sized this way)
  kSizeNeedMore = 2,  // the next sector is needed
};

// What a streaming member's record walk (its bContinue) answers for one sector.
enum RecordWalkStep : int {
  kWalkEnded = 0,      // the end is found, or the walk gives up
  kWalkNeedsMore = 1,  // the next sector is needed
};

class CRawFileInfo {
 public:
  // What the searcher knows of the sector being analysed.
  struct SearchContext {
    long long previousBlockStartSector = 0;  // first sector of the lower buffer half
    long long blockEndSector = 0;            // one past the current block
    int flags = 0;                           // 4: the sector's first u32 is 0
    int zeroTailBytes = 0;                   // 0..32: zero u32 words at the sector's end, in bytes
    CRawFileInfo* other = nullptr;           // the candidate made on this sector, if another
    bool fileStartsHere = false;             // a candidate was made on this sector
    // The sweep bytes around the sector that may be read: [bufferBegin,
    // bufferEnd). Null: only the sector itself.
    const unsigned char* bufferBegin = nullptr;
    const unsigned char* bufferEnd = nullptr;
  };

  CRawFileInfo() = default;
  virtual ~CRawFileInfo() = default;
  CRawFileInfo(const CRawFileInfo&) = default;
  CRawFileInfo& operator=(const CRawFileInfo&) = default;

  // True when the size is worked out sector by sector (CalcRawSize).
  virtual bool WhetherImplementGuess() { return false; }
  // The candidate leaves the stream (evicted, finished without a size, or
  // the search ends): a streaming candidate hands itself to a device reader.
  virtual void WillBeRemove(unsigned char* sector, long long sectorNumber) {}
  // A RawSizeStep: kSizeDone or kSizeNeedMore.
  virtual int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) {
    return kSizeNeedMore;
  }

  // Stores the name after ApiStrFilterBadFileName.
  void SetRawFileName(const std::string& name);
  std::string GetRawFileName() const;
  void SetRawFileTagAndValue(RAW_FILE_TAG tag, std::string& value);
  void GetRawFileTagAndValue(RAW_FILE_TAG& tag, std::string& value) const;

  long long m_llStartSector = 0;
  long long m_llSize = 0;
  // The size is a cap or the start of zero fill, not an end the format
  // marks: the file never reaches past the next file found after it.
  bool m_bEndGuessed = false;
  RAW_FILE_TYPE m_eType = kRawTypeRaw;
  int m_iAnalyserType = 0xFFFF;
  std::string m_strName;
  std::string m_strTime;
  RAW_FILE_TAG m_eTag = kRawTagNone;
  std::string m_strTagValue;
  IRawFileAnalyser* m_pAnalyser = nullptr;
};
