#pragma once
// The progress record and sink that every engine reports through.

#include <cstdint>

struct _PROGRESS_INFO {
  std::int32_t state;  // 0 first sweep report, 1 refresh only, 2 running, 3 finished
  std::uint8_t pad[4];
  std::uint64_t total;
  std::uint64_t done;
  std::uint64_t result;  // failure code, 0xD03 = write failed, or a count
  char text[4096];
};
static_assert(sizeof(_PROGRESS_INFO) == 4128);

enum ProgressState : std::int32_t {
  kProgressFirstSweep = 0,
  kProgressRefresh = 1,
  kProgressRunning = 2,
  kProgressFinished = 3,
};

class IProgress {
 public:
  virtual ~IProgress() = default;
  virtual void UpdateProgress(_PROGRESS_INFO* info) = 0;
  // 0 once the user cancelled.
  virtual int Continued() = 0;
  // True when Continued() guards its own state, so that several threads may
  // ask at once without being queued behind one another.
  virtual bool ContinuedIsThreadSafe() const { return false; }
  // Whether trees are still wanted at the end of a scan.
  virtual int shouldBuild() = 0;
};
