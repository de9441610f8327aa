#pragma once
// Installer packages: xar archives (sized from the table of contents) and
// packages whose header carries their total size.

#include <cstdint>
#include <string>

#include "carving/RawFileAnalyser.h"

class TiXmlElement;

class FilePKGAnalyser : public IRawFileAnalyser {
 public:
  static constexpr int kTypePkg = kRawTypePkg;
  static constexpr unsigned long long kMaxToc = 0x300000;
  static constexpr int kMaxFiles = 200000;

  FilePKGAnalyser() : IRawFileAnalyser(kTypePkg) {}
  bool GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;

  // 7F "PKG" header with its own total size.
  bool PkgSignFileSize(const unsigned char* data, std::size_t length, long long& size) const;
  static int UnCompress(unsigned char* destination, unsigned long* destinationLength, const unsigned char* data,
                        unsigned long sourceLength);
  static unsigned long long Hl64ton(unsigned long long value);
  void RecursionSearch(const TiXmlElement* element, int depth = 0);
  bool SearchXmlNodeData(const TiXmlElement* element);

  long long m_llHeapEnd = 0;
  long long m_llLimit = 0x280000000LL;
  long long m_llHighestId = -1;

 private:
  int m_iVisited = 0;
};
