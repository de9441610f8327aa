#include "core/cache/StorageDeviceWithCache.h"

#include <algorithm>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <system_error>

#include "core/device/SweepRead.h"

CStorageDeviceWithCache::Buffer CStorageDeviceWithCache::BufferPool::Take() {
  Owned data;
  {
    std::lock_guard guard(m_lock);
    if (!m_idle.empty()) {
      data = std::move(m_idle.back());
      m_idle.pop_back();
    }
  }
  if (!data) data = platform::AllocatePageBuffer(m_bytes != 0 ? m_bytes : 1);
  if (!data) throw std::bad_alloc();
  std::weak_ptr<BufferPool> home = weak_from_this();
  const platform::PageBufferRelease release = data.get_deleter();
  return Buffer(data.release(), [home, release](std::uint8_t* p) {
    Owned back(p, release);
    if (const std::shared_ptr<BufferPool> pool = home.lock()) pool->GiveBack(std::move(back));
  });
}

void CStorageDeviceWithCache::BufferPool::GiveBack(Owned data) {
  std::lock_guard guard(m_lock);
  try {
    m_idle.push_back(std::move(data));
  } catch (const std::bad_alloc&) {
    // Freed instead of kept.
  }
}

void CStorageDeviceWithCache::BufferPool::Clear() {
  std::vector<Owned> idle;
  std::lock_guard guard(m_lock);
  idle.swap(m_idle);
}

CStorageDeviceWithCache::CStorageDeviceWithCache(IStorageDevice* source) : m_pSource(source) {
  SetBlockSize(kDefaultBlockSize);
}

CStorageDeviceWithCache::~CStorageDeviceWithCache() { EndCache(); }

int CStorageDeviceWithCache::Open(char*) { return m_pSource != nullptr ? 1 : 0; }

int CStorageDeviceWithCache::Close() { return m_pSource != nullptr ? 1 : 0; }

int CStorageDeviceWithCache::GetSectorSize() { return m_pSource != nullptr ? m_pSource->GetSectorSize() : 512; }

long long CStorageDeviceWithCache::GetTotalSectors() { return m_pSource != nullptr ? m_pSource->GetTotalSectors() : 0; }

long long CStorageDeviceWithCache::BlockCount() const {
  if (m_uBlockSize == 0 || m_llTotalSectors <= 0) return 0;
  return (m_llTotalSectors + m_uBlockSize - 1) / m_uBlockSize;
}

std::size_t CStorageDeviceWithCache::BlockBytes() const {
  return static_cast<std::size_t>(m_uBlockSize) * static_cast<std::size_t>(m_iSectorBytes);
}

bool CStorageDeviceWithCache::IsBlockInValidRange(long long k) const {
  return m_uBlockSize != 0 && k >= 0 && k < BlockCount();
}

int CStorageDeviceWithCache::SetBlockSize(unsigned int sectors) {
  if (m_reader.joinable()) return 0;
  int sectorBytes = 512;
  long long total = 0;
  if (m_pSource != nullptr) {
    if (m_pSource->GetSectorSize() > 0) sectorBytes = m_pSource->GetSectorSize();
    total = std::max(0LL, m_pSource->GetTotalSectors());
  }
  if (static_cast<std::uint64_t>(sectors) * static_cast<std::uint64_t>(sectorBytes) > kMaxBlockBytes) return 0;

  std::lock_guard guard(m_queueLock);
  m_ready.clear();
  m_uBlockSize = sectors;
  m_iSectorBytes = sectorBytes;
  m_llTotalSectors = total;
  m_current = Block{};
  m_pool = std::make_shared<BufferPool>(BlockBytes());
  // Written before it is read: its pages are not touched until a block is
  // read into it.
  if (sectors != 0) m_current.data = m_pool->Take();
  m_llCurBlock = -1;
  return 1;
}

int CStorageDeviceWithCache::ReadSource(void* buffer, long long start, long long count) {
  std::lock_guard guard(m_sourceLock);
  return m_pSource->ReadSector(buffer, start, count);
}

int CStorageDeviceWithCache::ReadSweepSource(void* buffer, long long start, long long count) {
  std::lock_guard guard(m_sourceLock);
  return ReadSweep(m_pSource, buffer, start, count);
}

void CStorageDeviceWithCache::FillBlock(Block& b) {
  const long long start = b.index * m_uBlockSize;
  b.sectors = std::clamp(m_llTotalSectors - start, 0LL, static_cast<long long>(m_uBlockSize));
  const std::size_t validBytes = static_cast<std::size_t>(b.sectors) * static_cast<std::size_t>(m_iSectorBytes);
  b.failed = b.sectors == 0 || ReadSweepSource(b.data.get(), start, b.sectors) == 0;
  // The bytes past the valid sectors are never handed out (reads, views and
  // shares stop at the block's sectors), so the last block's tail is left as
  // it is.
  if (b.failed) std::memset(b.data.get(), 0, validBytes);
}

void CStorageDeviceWithCache::BeginCache() {
  if (m_reader.joinable() || m_pSource == nullptr || m_uBlockSize == 0 || !m_current.data) return;

  std::unique_lock lock(m_queueLock);
  m_ready.clear();
  m_failedBlocks.clear();
  m_llNextBlock = 0;

  // The first blocks are read before the sweep starts, into buffers whose
  // pages are backed side by side first.
  const long long blocks = BlockCount();
  std::vector<Buffer> first;
  std::vector<std::uint8_t*> fresh;
  while (static_cast<long long>(first.size()) < std::min<long long>(kQueueDepth, blocks)) {
    first.push_back(m_pool->Take());
    fresh.push_back(first.back().get());
  }
  platform::BackPages(fresh.data(), fresh.size(), BlockBytes());
  for (Buffer& data : first) {
    Block b;
    b.data = std::move(data);
    b.index = m_llNextBlock++;
    FillBlock(b);
    if (b.failed) m_failedBlocks.push_back(b.index);
    m_ready.push_back(std::move(b));
  }

  m_bRunning = true;
  m_bReaderDone = false;
  lock.unlock();
  try {
    m_reader = std::thread(&CStorageDeviceWithCache::CacheThread, this);
  } catch (const std::system_error&) {
    // Without a reader every block is read on demand.
    lock.lock();
    m_bRunning = false;
    m_bReaderDone = true;
  }
}

void CStorageDeviceWithCache::CacheThread() {
  std::unique_lock lock(m_queueLock);
  const long long blocks = BlockCount();
  for (;;) {
    m_needMore.wait(
        lock, [&] { return !m_bRunning || m_llNextBlock >= blocks || static_cast<int>(m_ready.size()) < kQueueDepth; });
    if (!m_bRunning || m_llNextBlock >= blocks) break;

    Block b;
    b.index = m_llNextBlock++;

    lock.unlock();
    b.data = m_pool->Take();
    FillBlock(b);
    lock.lock();

    if (b.failed) m_failedBlocks.push_back(b.index);
    m_ready.push_back(std::move(b));
    m_blockReady.notify_all();
  }
  m_bReaderDone = true;
  m_blockReady.notify_all();
}

int CStorageDeviceWithCache::SetCurCacheBlock(long long k) {
  if (m_pSource == nullptr || m_uBlockSize == 0) return 0;
  if (k < 0 || k >= BlockCount()) return 0;
  if (!m_current.data) return 1;
  if (k == m_llCurBlock) return 1;

  {
    std::unique_lock lock(m_queueLock);
    for (;;) {
      // Blocks before k are not asked for again in a forward sweep.
      while (!m_ready.empty() && m_ready.front().index < k) {
        m_ready.pop_front();
        m_needMore.notify_all();
      }
      if (!m_ready.empty()) {
        if (m_ready.front().index != k) break;
        Block taken = std::move(m_ready.front());
        m_ready.pop_front();
        m_current = std::move(taken);
        m_needMore.notify_all();
        m_llCurBlock = k;
        return 1;
      }
      // Wait only for the block being read or the next one to be read.
      const bool coming = m_bRunning && !m_bReaderDone && (k == m_llNextBlock || k == m_llNextBlock - 1);
      if (!coming) break;
      m_needMore.notify_all();
      m_blockReady.wait(lock);
    }
  }

  // Not in the queue (asked out of order, or no reader): read it here, into
  // a buffer of its own (the current one may be shared).
  m_current.data = m_pool->Take();
  m_current.index = k;
  FillBlock(m_current);
  if (m_current.failed) {
    std::lock_guard guard(m_queueLock);
    m_failedBlocks.push_back(k);
  }
  m_llCurBlock = k;
  return 1;
}

int CStorageDeviceWithCache::ReadSector(void* buffer, long long start, long long count) {
  if (m_pSource == nullptr || buffer == nullptr || start < 0 || count <= 0) return 0;
  if (count > LLONG_MAX - start) return 0;
  if (m_llCurBlock < 0 || !m_current.data || m_current.failed || m_current.sectors <= 0) {
    return ReadSource(buffer, start, count);
  }

  auto* out = static_cast<std::uint8_t*>(buffer);
  const std::size_t ss = static_cast<std::size_t>(m_iSectorBytes);
  const long long end = start + count;
  const long long blockStart = m_current.index * m_uBlockSize;
  const long long blockEnd = blockStart + m_current.sectors;
  int ok = 1;

  // Before the current block.
  if (start < blockStart) {
    const long long n = std::min(end, blockStart) - start;
    if (ReadSource(out, start, n) == 0) ok = 0;
  }
  // Inside it.
  const long long from = std::max(start, blockStart);
  const long long to = std::min(end, blockEnd);
  if (from < to) {
    std::memcpy(out + static_cast<std::size_t>(from - start) * ss,
                m_current.data.get() + static_cast<std::size_t>(from - blockStart) * ss,
                static_cast<std::size_t>(to - from) * ss);
  }
  // After it: from the blocks read ahead as far as they reach, then from the
  // source.
  if (end > blockEnd) {
    long long s = std::max(start, blockEnd);
    s += CopyReadAhead(out + static_cast<std::size_t>(s - start) * ss, s, end);
    if (s < end && ReadSource(out + static_cast<std::size_t>(s - start) * ss, s, end - s) == 0) ok = 0;
  }
  return ok;
}

long long CStorageDeviceWithCache::CopyReadAhead(std::uint8_t* out, long long start, long long end) {
  const std::size_t ss = static_cast<std::size_t>(m_iSectorBytes);
  long long s = start;
  while (s < end) {
    Buffer data;
    long long blockStart = 0;
    long long blockEnd = 0;
    {
      std::lock_guard guard(m_queueLock);
      const long long k = s / m_uBlockSize;
      const auto it = std::find_if(m_ready.begin(), m_ready.end(), [k](const Block& b) { return b.index == k; });
      if (it == m_ready.end() || it->failed) break;
      data = it->data;
      blockStart = k * m_uBlockSize;
      blockEnd = blockStart + it->sectors;
    }
    if (s >= blockEnd) break;
    // The block stays whole while `data` holds it: buffers are refilled
    // only once nobody holds them.
    const long long to = std::min(end, blockEnd);
    std::memcpy(out + static_cast<std::size_t>(s - start) * ss,
                data.get() + static_cast<std::size_t>(s - blockStart) * ss, static_cast<std::size_t>(to - s) * ss);
    s = to;
  }
  return s - start;
}

const std::uint8_t* CStorageDeviceWithCache::ViewSectors(long long start, long long count) const {
  if (m_pSource == nullptr || start < 0 || count <= 0) return nullptr;
  if (m_llCurBlock < 0 || !m_current.data || m_current.failed || m_current.sectors <= 0) return nullptr;
  const long long blockStart = m_current.index * m_uBlockSize;
  const long long end = blockStart + m_current.sectors;
  if (start < blockStart || start >= end || count > end - start) return nullptr;
  return m_current.data.get() + static_cast<std::size_t>(start - blockStart) * static_cast<std::size_t>(m_iSectorBytes);
}

std::shared_ptr<const std::uint8_t> CStorageDeviceWithCache::ShareBlock(long long start, long long sectors) const {
  if (m_pSource == nullptr || start < 0 || sectors <= 0 || sectors != static_cast<long long>(m_uBlockSize)) {
    return nullptr;
  }
  if (m_llCurBlock < 0 || !m_current.data || m_current.failed || m_current.sectors != sectors) return nullptr;
  if (start != m_current.index * m_uBlockSize) return nullptr;
  return std::shared_ptr<const std::uint8_t>(m_current.data, m_current.data.get());
}

const std::uint8_t* CStorageDeviceWithCache::View(IStorageDevice* device, long long start, long long count) {
  const auto* cache = dynamic_cast<const CStorageDeviceWithCache*>(device);
  return cache != nullptr ? cache->ViewSectors(start, count) : nullptr;
}

void CStorageDeviceWithCache::StopReader() {
  {
    std::lock_guard guard(m_queueLock);
    m_bRunning = false;
  }
  m_needMore.notify_all();
  m_blockReady.notify_all();
  if (m_reader.joinable()) m_reader.join();
}

void CStorageDeviceWithCache::EndCache() {
  StopReader();
  std::lock_guard guard(m_queueLock);
  m_bReaderDone = true;
  m_ready.clear();
  if (m_pool) m_pool->Clear();
}

int CStorageDeviceWithCache::IsNeedCatchBuffer() {
  std::lock_guard guard(m_queueLock);
  return m_ready.empty() ? 1 : 0;
}

std::vector<long long> CStorageDeviceWithCache::GetFailedBlocks() {
  std::lock_guard guard(m_queueLock);
  return m_failedBlocks;
}
