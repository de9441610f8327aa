#pragma once
// Reads a candidate through a device in windows of 128 sectors (plus one
// sector, so that a structure may reach one sector past a window's end).

#include <cstddef>
#include <vector>

class IStorageDevice;

class RawFileBuffer {
 public:
  static constexpr unsigned kWindowSectors = 128;

  RawFileBuffer(IStorageDevice* device, unsigned long long startSector);

  // The byte at `offset` from the candidate's start; null after a cancel or
  // when nothing can be read there. At least SectorSize() + 1 bytes are
  // readable from the pointer (Available tells how many).
  const unsigned char* GetRawFileBuffer(unsigned long long offset);
  std::size_t Available(unsigned long long offset) const;
  // Copies n bytes from `offset`; false when any of them cannot be read.
  bool Read(unsigned long long offset, void* out, std::size_t n);

  unsigned SectorSize() const { return m_uSectorSize; }

 private:
  bool LoadWindow(long long window);

  IStorageDevice* m_pDevice;
  unsigned long long m_u64Start;
  long long m_llWindow = -1;
  unsigned m_uSectorSize = 512;
  unsigned long long m_u64WindowBytes = 0;
  std::size_t m_loadedBytes = 0;  // bytes of the window actually read
  std::vector<unsigned char> m_buffer;
};
