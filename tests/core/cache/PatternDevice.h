#pragma once
// A device of any size whose bytes are computed from the sector number, so a
// 1 GiB device costs no memory. Safe to read from several threads. Reads can
// fail on chosen sectors, and can be held at a gate to make a reader wait.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

#include "core/device/DeviceData.h"
#include "core/device/StorageDevice.h"

namespace testsupport {

class PatternDevice : public IStorageDevice {
 public:
  explicit PatternDevice(long long totalSectors, int sectorSize = 512, int kind = kDeviceDisk)
      : m_total(totalSectors), m_sectorSize(sectorSize), m_kind(kind) {}

  // The 8-byte words of sector s: s * K + word index.
  static std::uint64_t Word(long long sector, std::size_t index) {
    return static_cast<std::uint64_t>(sector) * 0x9E3779B97F4A7C15ull + index;
  }
  static void Fill(std::uint8_t* out, long long sector, int sectorSize) {
    for (std::size_t i = 0; i < static_cast<std::size_t>(sectorSize) / 8; ++i) {
      const std::uint64_t w = Word(sector, i);
      std::memcpy(out + i * 8, &w, 8);
    }
  }
  static bool Check(const std::uint8_t* in, long long sector, int sectorSize) {
    for (std::size_t i = 0; i < static_cast<std::size_t>(sectorSize) / 8; ++i) {
      std::uint64_t w;
      std::memcpy(&w, in + i * 8, 8);
      if (w != Word(sector, i)) return false;
    }
    return true;
  }
  static bool IsZero(const std::uint8_t* in, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
      if (in[i] != 0) return false;
    }
    return true;
  }

  int Open(char*) override { return 1; }
  int Close() override { return 1; }
  int ReadSector(void* buffer, long long start, long long count) override {
    WaitAtGate();
    m_readCount.fetch_add(1);
    {
      std::lock_guard g(m_lock);
      if (m_recordReads) m_reads.emplace_back(start, count);
    }
    if (buffer == nullptr || start < 0 || count <= 0) return 0;
    auto* out = static_cast<std::uint8_t*>(buffer);
    int ok = 1;
    for (long long i = 0; i < count; ++i) {
      std::uint8_t* sector = out + static_cast<std::size_t>(i) * static_cast<std::size_t>(m_sectorSize);
      const long long s = start + i;
      if (s >= m_total || IsFailing(s)) {
        std::memset(sector, 0, static_cast<std::size_t>(m_sectorSize));
        ok = 0;
      } else {
        Fill(sector, s, m_sectorSize);
      }
    }
    return ok;
  }
  int GetSectorSize() override { return m_sectorSize; }
  long long GetTotalSectors() override { return m_total; }
  int IOCtl(unsigned long long, void*) override { return 0; }
  IStorageDeviceData* GetPrivateData() override { return m_data.get(); }
  void SetPrivateData(IStorageDeviceData* data) override { m_data.reset(data); }
  int GetType() override { return m_kind; }
  RESULT GetLastError() override { return 0; }

  // A volume record with the given file-system code (and kind 2).
  void SetVolumeRecord(int fileSystemCode, const char* volumeName = "") {
    auto* info = new CCollectedVolumeDeviceInfoStruct();
    info->fileSystem = static_cast<std::uint32_t>(fileSystemCode);
    info->volumeName = volumeName;
    info->sectorSize = m_sectorSize;
    info->totalSectors = m_total;
    SetPrivateData(CreateVolumeDeviceData(info));
  }

  void FailSector(long long sector) {
    std::lock_guard g(m_lock);
    m_failing.insert(sector);
    m_hasFailing.store(true);
  }
  void RecordReads(bool on) {
    std::lock_guard g(m_lock);
    m_recordReads = on;
  }
  std::vector<std::pair<long long, long long>> Reads() {
    std::lock_guard g(m_lock);
    return m_reads;
  }
  void ClearReads() {
    std::lock_guard g(m_lock);
    m_reads.clear();
  }
  long long ReadCount() const { return m_readCount.load(); }

  // Reads after the next `passing` ones wait until OpenGate().
  void CloseGateAfter(int passing) {
    std::lock_guard g(m_gateLock);
    m_gateClosed = true;
    m_gatePassing = passing;
  }
  void OpenGate() {
    {
      std::lock_guard g(m_gateLock);
      m_gateClosed = false;
    }
    m_gateCv.notify_all();
  }
  // Reads waiting at the gate now.
  int Waiting() {
    std::lock_guard g(m_gateLock);
    return m_waiting;
  }

 private:
  bool IsFailing(long long s) {
    if (!m_hasFailing.load()) return false;
    std::lock_guard g(m_lock);
    return !m_failing.empty() && m_failing.count(s) != 0;
  }
  void WaitAtGate() {
    std::unique_lock g(m_gateLock);
    if (!m_gateClosed) return;
    if (m_gatePassing > 0) {
      --m_gatePassing;
      return;
    }
    ++m_waiting;
    m_gateCv.notify_all();
    m_gateCv.wait(g, [&] { return !m_gateClosed; });
    --m_waiting;
  }

  long long m_total;
  int m_sectorSize;
  int m_kind;
  std::unique_ptr<IStorageDeviceData> m_data;
  std::mutex m_lock;
  std::set<long long> m_failing;
  std::atomic<bool> m_hasFailing{false};
  bool m_recordReads = true;
  std::vector<std::pair<long long, long long>> m_reads;
  std::atomic<long long> m_readCount{0};
  std::mutex m_gateLock;
  std::condition_variable m_gateCv;
  bool m_gateClosed = false;
  int m_gatePassing = 0;
  int m_waiting = 0;
};

}  // namespace testsupport
