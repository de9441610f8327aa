#pragma once
// A read primitive for tests that plays a troubled disk: reads of one file
// that touch chosen sectors hang (until released, or for at most a minute)
// or fail with EIO; every other read goes to pread.

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>

#include "core/device/AsyncReader.h"

namespace testsupport {

// The time limit of reads in tests that hang a read: short, yet far longer
// than any read that does not hang takes, even under a sanitizer on a busy
// machine.
inline constexpr std::chrono::milliseconds kTestTimeLimit{3000};

class TroubledReads : public IRawReadPrimitive {
 public:
  // Trouble only for the file at `path` (by its inode); sector numbers are
  // byte offset / `sectorSize`.
  TroubledReads(const std::string& path, int sectorSize);
  ~TroubledReads() override;
  TroubledReads(const TroubledReads&) = delete;
  TroubledReads& operator=(const TroubledReads&) = delete;

  void Hang(long long sector);
  void Fail(long long sector);
  // Lets every hanging read return (with its data).
  void Release();
  // Reads that reached a hanging sector so far.
  int HungCalls();
  int Calls();

  Outcome ReadAt(int fd, void* buffer, std::uint64_t length, std::uint64_t offset) override;

 private:
  bool Touches(const std::set<long long>& sectors, std::uint64_t offset, std::uint64_t length,
               std::uint64_t& firstAt) const;

  dev_t m_device = 0;
  ino_t m_inode = 0;
  int m_sectorSize;
  std::mutex m_lock;
  std::condition_variable m_released;
  std::set<long long> m_hang;
  std::set<long long> m_fail;
  bool m_isReleased = false;
  int m_hungCalls = 0;
  int m_calls = 0;
};

// Installs the primitive and a short time limit for a scope; on leaving,
// releases the hanging reads, waits (at most a minute) for those given up
// on to return, and restores pread and the normal limit.
class TroubledReadsScope {
 public:
  TroubledReadsScope(TroubledReads& reads, std::chrono::milliseconds limit);
  ~TroubledReadsScope();
  TroubledReadsScope(const TroubledReadsScope&) = delete;
  TroubledReadsScope& operator=(const TroubledReadsScope&) = delete;

 private:
  TroubledReads& m_reads;
  std::chrono::milliseconds m_previousLimit;
};

// Waits until no read given up on is still out; false after `limit`.
bool WaitForAbandonedReads(std::chrono::milliseconds limit);

}  // namespace testsupport
