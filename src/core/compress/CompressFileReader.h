#pragma once
// CCompressFileReader: the bytes of an NTFS-compressed file, decoded one
// compression unit (16 clusters) at a time. Slot 2 `ReadData` is the plain
// run reader and returns the stored clusters; slot 7 returns the file's
// decompressed bytes.

#include <cstdint>
#include <string>
#include <vector>

#include "core/compress/CompressUnits.h"
#include "core/recovery/RunFileReader.h"

class IProgress;

class CCompressFileReader : public CFileReader {
 public:
  // Units above this size are refused (clusters above 64 KiB).
  static constexpr long long kMaxUnitBytes = 16LL * 64 * 1024;

  CCompressFileReader() = default;
  ~CCompressFileReader() override = default;

  using CFileReader::ReadData;
  IFileReader* Clone() override;
  // Decompressed bytes at `pos`; the bytes delivered (0 past the end or when
  // the file cannot be decoded).
  virtual int ReadData(long long pos, char* buf, unsigned len);
  // The same with a report: *err is -1 when nothing was delivered, else the
  // number of unreadable sectors and damaged units met (their bytes are zeros).
  int ReadDecompressed(long long pos, char* buf, unsigned len, int* err);

  // Writes the whole file into `path`. A resident file (data inside its
  // record) is not written: `resident` becomes true and the caller copies it.
  bool Recovery(const char* path, IProgress* sink, bool& resident);
  // Writes the first min(size, file size) bytes of the file into `buffer`.
  bool Recovery(char* buffer, long size, IProgress* sink);

  // The regrouped pieces (for inspection).
  const std::vector<tagCompressDataRun>& Pieces();

 private:
  CCompressFileReader(const CCompressFileReader& other);

  bool EnsureUnits();
  // Decodes unit `index` into the cache; false when it cannot be decoded at all.
  bool LoadUnit(long long index);
  long long UnitBytes() const { return kClustersPerCompressUnit * m_iClusterSize; }

  bool m_bGrouped = false;
  std::vector<tagCompressDataRun> m_pieces;
  std::vector<std::uint8_t> m_unitIn;
  std::vector<std::uint8_t> m_unitOut;
  long long m_llCachedUnit = -1;
  long long m_llCachedDamage = 0;  // unreadable sectors and damaged chunks of the cached unit
};
