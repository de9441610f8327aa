#pragma once
// Time source of the tree builder: batch timing and the pause after a new
// tree root is shown. Tests pass their own.

class ITreeBuilderClock {
 public:
  virtual ~ITreeBuilderClock() = default;
  // Wall-clock seconds.
  virtual long long Now() = 0;
  virtual void Sleep(int seconds) = 0;
};

// time() and a real sleep (none while window waits are off); lives for
// the whole process.
ITreeBuilderClock& SystemTreeBuilderClock();
