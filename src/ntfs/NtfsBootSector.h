#pragma once
// An NTFS boot sector (a private copy of 512 bytes) and its tests.

#include <array>
#include <cstdint>

#include "core/util/ByteView.h"

class CNTFSDBR {
 public:
  CNTFSDBR() = default;

  // Id, bytes per sector, reserved sectors, sectors per cluster, the zero
  // fields and the 55 AA signature.
  static bool IsFullValidDBR(const ByteView& sector);
  // Only the file-system id.
  static bool IsValidDBR(const ByteView& sector);

  // Copies the sector when it passes the full test.
  bool InitFromBuffer(const ByteView& sector);

  long long GetTotalSectors() const;
  long long GetMFTStartCluster() const;
  long long GetMFTMirrorStartCluster() const;
  unsigned char GetSectorsperCluster() const;
  // Sectors per cluster, decoding the 2^n form of clusters above 64 KiB.
  int GetClusterSectors() const;
  // The FILE-record size when it is one NTFS uses (1024 or 4096), else 0.
  int GetValidFileRecordSize() const;
  std::uint16_t GetBytesPerSector() const;
  unsigned long long GetSerialNumber() const;
  // Bytes of one FILE record from the signed byte at 0x40; 0 when the value
  // cannot be represented.
  int GetFileRecordSizeByByte() const;
  // The 8 id bytes, no terminator.
  void GetFileSystemID(char* out) const;

 private:
  ByteView View() const { return ByteView(m_bytes.data(), m_bytes.size()); }

  std::array<std::uint8_t, 512> m_bytes{};
};

namespace NTFSPublicFunction {
// True when (sector - volumeStart) is a whole number of clusters equal to
// `cluster`. `sectorsPerCluster` 0 gives false.
bool IsClusterNOMatch(long long sector, long long cluster, long long volumeStart, unsigned sectorsPerCluster);
}  // namespace NTFSPublicFunction
