#pragma once
// Read-ahead wrapper over a device for one sequential block sweep. A reader
// thread keeps up to `kQueueDepth` blocks ready while the scan thread
// analyses the current one; reads inside the current block, and reads past
// its end as far as the blocks read ahead reach, are served from memory,
// everything else goes to the source device.
//
// The scan thread owns the current block; the queue, the free buffers and
// the list of failed blocks are shared with the reader under `m_queueLock`.
// The reader never holds that lock while it reads. Source reads of both
// threads are serialised by `m_sourceLock`, so any source device is safe.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/device/StorageDevice.h"
#include "platform/PageBuffer.h"

class CStorageDeviceWithCache : public IStorageDevice {
 public:
  static constexpr int kQueueDepth = 10;
  static constexpr unsigned kDefaultBlockSize = 1000;
  // Largest block the cache accepts, in bytes.
  static constexpr std::uint64_t kMaxBlockBytes = 256ull << 20;

  explicit CStorageDeviceWithCache(IStorageDevice* source);
  ~CStorageDeviceWithCache() override;
  CStorageDeviceWithCache(const CStorageDeviceWithCache&) = delete;
  CStorageDeviceWithCache& operator=(const CStorageDeviceWithCache&) = delete;

  int Open(char* path) override;
  int Close() override;
  int ReadSector(void* buffer, long long startSector, long long count) override;
  int GetSectorSize() override;
  long long GetTotalSectors() override;
  int IOCtl(unsigned long long code, void* arg) override { return 0; }
  IStorageDeviceData* GetPrivateData() override { return m_pPrivateData; }
  void SetPrivateData(IStorageDeviceData* data) override { m_pPrivateData = data; }
  int GetType() override { return kDeviceWrapper; }
  RESULT GetLastError() override { return 0; }

  // Sectors per block; drops the current block. 0 while the read-ahead runs
  // or when a block would exceed kMaxBlockBytes.
  int SetBlockSize(unsigned int sectors);
  unsigned int GetBlockSize() const { return m_uBlockSize; }
  // Reads the first blocks on the calling thread, then starts the reader.
  void BeginCache();
  // Makes block k current: the front of the queue when it holds k (the
  // normal, in-order case), otherwise k is read from the source. 0 without
  // a source, with block size 0 or when k is outside the device.
  int SetCurCacheBlock(long long k);
  // Stops and joins the reader and recycles every queued block.
  void EndCache();

  bool IsBlockInValidRange(long long k) const;
  int IsNeedCatchBuffer();
  // Blocks whose read failed (handed out as zeros), in reading order.
  std::vector<long long> GetFailedBlocks();
  long long GetCurCacheBlock() const { return m_llCurBlock; }
  // Read-only view of sectors [start, start + count) when the current block
  // holds all of them: the same bytes ReadSector would copy.
  // Valid until the next SetCurCacheBlock, SetBlockSize or EndCache; null
  // when the sectors are elsewhere or their read failed.
  const std::uint8_t* ViewSectors(long long start, long long count) const;
  // ViewSectors of `device` when it is a cache, else null.
  static const std::uint8_t* View(IStorageDevice* device, long long start, long long count);
  // A share of the current block when it starts at `start` and holds
  // `sectors` sectors, a whole block's worth: the same bytes ViewSectors
  // shows, kept alive as long as the share is held. Null when the block is
  // another one, short (the device's last) or its read failed.
  std::shared_ptr<const std::uint8_t> ShareBlock(long long start, long long sectors) const;
  // The device the cache reads from.
  IStorageDevice* GetSourceDevice() const { return m_pSource; }

 private:
  using Buffer = std::shared_ptr<std::uint8_t[]>;
  // Block buffers for reuse: a buffer comes back when its last holder (the
  // cache, or someone it shared the block with) drops it.
  class BufferPool : public std::enable_shared_from_this<BufferPool> {
   public:
    explicit BufferPool(std::size_t bytes) : m_bytes(bytes) {}
    Buffer Take();
    void Clear();

   private:
    // Buffers come as whole pages, huge ones where the system offers them
    // (far fewer page faults the first time one is filled).
    using Owned = platform::PageBuffer;
    void GiveBack(Owned data);
    const std::size_t m_bytes;
    std::mutex m_lock;
    std::vector<Owned> m_idle;
  };
  struct Block {
    Buffer data;
    long long index = -1;
    long long sectors = 0;  // valid sectors from index * block size
    bool failed = false;    // the read failed: the data are zeros
  };

  long long BlockCount() const;
  std::size_t BlockBytes() const;

  // Reads block b.index into b.data, clipped to the device end (the bytes
  // past it are left as they are); zeros when the source fails.
  void FillBlock(Block& b);
  int ReadSource(void* buffer, long long start, long long count);
  // Reads of the blocks themselves: each sector once, in order.
  int ReadSweepSource(void* buffer, long long start, long long count);
  void CacheThread();
  // Copies sectors [start, end) from the blocks waiting in the queue, as far
  // as they hold them in a row from `start` (failed blocks not counted);
  // the sectors copied.
  long long CopyReadAhead(std::uint8_t* out, long long start, long long end);
  void StopReader();

  IStorageDevice* m_pSource;
  IStorageDeviceData* m_pPrivateData = nullptr;
  unsigned int m_uBlockSize = 0;
  int m_iSectorBytes = 512;
  long long m_llTotalSectors = 0;

  // Scan thread only.
  Block m_current;
  long long m_llCurBlock = -1;

  std::mutex m_sourceLock;

  std::mutex m_queueLock;
  std::condition_variable m_blockReady;
  std::condition_variable m_needMore;
  std::deque<Block> m_ready;
  std::shared_ptr<BufferPool> m_pool;
  std::vector<long long> m_failedBlocks;
  long long m_llNextBlock = 0;
  bool m_bRunning = false;
  bool m_bReaderDone = true;
  std::thread m_reader;
};
