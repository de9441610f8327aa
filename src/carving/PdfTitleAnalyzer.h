#pragma once
// Reads the document information dictionary of a PDF from the sweep bytes.

#include <string>

#include "carving/FileProperty.h"

// Slots of FileProperty filled from a PDF.
enum PdfSlot : int {
  kPdfTitle = 1,
  kPdfProducer = 2,
  kPdfCreator = 3,
  kPdfAuthor = 4,
  kPdfCreated = 5,
  kPdfModified = 6,
};

namespace BruteForce {

class PdfTitleAnalyzer {
 public:
  // One sector (and the next when present, within `length`): true when an
  // information dictionary gave Creator, CreationDate, Author or ModDate.
  bool ObtainPerSecPDFInformation(const unsigned char* data, int length, int sectorSize, bool nextPresent,
                                  FileProperty& property);
  bool SeparateInformation(const unsigned char* text, int length, FileProperty& property);
  static std::string ObtainPerInfo(const unsigned char* text, int length);
  static std::string TimeChange(const std::string& text);
  static bool RemoveNolessVec(const unsigned char* data, int length);
  static bool JudeLegalInfo(const std::string& text);
  static std::string RemoveIllegalTitle(const std::string& text);
  static const unsigned char* myStrstr(const unsigned char* data, int length, const char* needle, int& position);

 private:
  int m_iAvailable = 0;
};

}  // namespace BruteForce
