#pragma once
// The contract of a carving analyser. Results are ints or bools; nothing
// else is reported.

#include <string>

#include "carving/RawFileInfo.h"

class IStorageDevice;

// An analyser that may look at the searcher's buffer around the sector.
class ISpecialRawFileAnalyser {
 public:
  // Non-zero: accepted. The bytes from `sector` to the end of the block
  // ((blockEndSector - sectorNumber) x sectorSize) are readable.
  virtual int AnalyseBufferEx(unsigned char* sector, CRawFileInfo& probe, long long sectorSize, long long sectorNumber,
                              long long previousBlockStartSector, long long blockEndSector) = 0;

 protected:
  ~ISpecialRawFileAnalyser() = default;
};

class IRawFileAnalyser {
 public:
  explicit IRawFileAnalyser(RAW_FILE_TYPE type = -1) : m_eType(type) {}
  virtual ~IRawFileAnalyser() = default;
  IRawFileAnalyser(const IRawFileAnalyser&) = delete;
  IRawFileAnalyser& operator=(const IRawFileAnalyser&) = delete;

  // Sizes the candidate through the device; writes the size (0 = not a file).
  virtual bool GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) { return true; }
  // The header test of one sector (at least 512 bytes); writes the probe.
  virtual int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) { return 0; }
  virtual std::string GetRawFileName() { return {}; }
  virtual std::string GetRawFileTime() { return {}; }
  virtual CRawFileInfo* CreateRawFileInfo() { return new CRawFileInfo(); }
  virtual ISpecialRawFileAnalyser* GetSpecialRawFile() { return nullptr; }

  RAW_FILE_TYPE GetOwnType() const { return m_eType; }

 protected:
  RAW_FILE_TYPE m_eType;
};
