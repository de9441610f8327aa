#pragma once
// Reader of the OLE SummaryInformation property set: title, author, last
// author and the creation and last-save times. 8-bit texts are read in the
// set's own code page.

#include <cstddef>
#include <string>

#include "carving/FileProperty.h"

// Slots of FileProperty filled from a summary.
enum SummarySlot : int {
  kSummaryTitle = 1,
  kSummaryAuthor = 3,
  kSummaryLastAuthor = 4,
  kSummaryCreated = 5,
  kSummarySaved = 6,
};

class CSummaryInFormation {
 public:
  // True when the property set parsed within `length` bytes and gave at
  // least one text.
  bool GetFileInformation(const unsigned char* buffer, FileProperty& property, int length);
  // The 48-byte header test; copies it into `header`.
  bool IsDocumentInformation(const unsigned char* buffer, unsigned char* header);
  // One typed value at `offset`: an integer into `value` or a text.
  void GetDetailInformation(const unsigned char* buffer, int offset, int& value, std::string& text);
  // Every ':' after the first character becomes '-'.
  static std::string FilterFileTime(const std::string& text);
  // Leading spaces dropped, cut to 24 bytes.
  static void OperateString(std::string& text);
  // A FILETIME as local "Y-MM-DD-hh-mm-ss"; empty for 0.
  static std::string FileTimeText(unsigned long long filetime);

 private:
  int m_iSectionSize = 0;
  int m_iPropertyCount = 0;
  int m_iLength = 0;
  // The property set's code page for 8-bit texts (property 1); 0 = none.
  int m_iCodePage = 0;
};
