#pragma once
// A ring of the last blocks of the sweep, read like a device: reads that lie
// inside the ring come from memory, all others go to the device behind.
// A block is either copied into the ring or shared with it (the read-ahead
// cache's own buffer, kept alive while the ring holds it).

#include <memory>
#include <vector>

#include "core/device/StorageDevice.h"

class CBufferStorageDevice : public IStorageDevice {
 public:
  CBufferStorageDevice() = default;
  CBufferStorageDevice(const CBufferStorageDevice&) = delete;
  CBufferStorageDevice& operator=(const CBufferStorageDevice&) = delete;

  // Reserves the ring; its memory is only taken as blocks arrive, so a small
  // device costs no more than its own blocks. 0 for sizes that are 0 or too
  // large.
  int InitBufferDevice(IStorageDevice* device, unsigned long long firstSector, unsigned int sectorSize,
                       unsigned int sectorsPerBlock, unsigned int blocks);
  // Appends one block of sectors-per-block sectors that starts at
  // `startSector`; `validSectors` of them hold data (the rest are zeroed). A
  // block that does not follow the last one empties the ring first.
  void AddBlockToBuffer(const unsigned char* block, long long startSector, long long validSectors);
  // AddBlockToBuffer without a copy: `block` holds sectors-per-block
  // sectors of data (`validSectors` is that many), and is not written while
  // the ring holds it. A null block takes the block's place in the
  // ring without its bytes: reads that touch it go to the device behind.
  void AddSharedBlock(std::shared_ptr<const unsigned char> block, long long startSector, long long validSectors);
  bool IsFullBuffer() const { return m_bReady && m_llHeld == static_cast<long long>(m_uCapacity); }
  unsigned long long GetDeviceStartSector() const { return m_u64First; }

  int Open(char*) override { return 1; }
  int Close() override;
  int ReadSector(void* buffer, long long startSector, long long count) override;
  int GetSectorSize() override { return m_uSectorSize == 0 ? 512 : static_cast<int>(m_uSectorSize); }
  long long GetTotalSectors() override { return m_llHeld; }
  int IOCtl(unsigned long long, void*) override { return 0; }
  IStorageDeviceData* GetPrivateData() override { return nullptr; }
  void SetPrivateData(IStorageDeviceData*) override {}
  int GetType() override { return kDeviceWrapper; }
  RESULT GetLastError() override { return 0; }

  // The device behind the ring.
  IStorageDevice* GetSourceDevice() const { return m_pDevice; }

 private:
  // The slot the next block goes to, after a gap empties the ring.
  unsigned int SlotFor(long long startSector);
  void Advance();

  // Per slot: the block's bytes, and the ring's own buffer for copies
  // (taken when first needed).
  std::vector<std::shared_ptr<const unsigned char>> m_slots;
  std::vector<std::shared_ptr<unsigned char[]>> m_own;
  unsigned long long m_u64First = 0;
  long long m_llHeld = 0;
  unsigned int m_uWriteSlot = 0;  // in blocks
  unsigned int m_uSectorsPerBlock = 0;
  unsigned int m_uBlocks = 0;
  unsigned int m_uCapacity = 0;
  unsigned int m_uSectorSize = 512;
  IStorageDevice* m_pDevice = nullptr;
  bool m_bReady = false;
};
