#include "core/tree/TreeBuilderClock.h"

#include <chrono>
#include <ctime>
#include <thread>

#include "core/util/WindowWaits.h"

namespace {
class SystemClock final : public ITreeBuilderClock {
 public:
  long long Now() override { return static_cast<long long>(std::time(nullptr)); }
  void Sleep(int seconds) override {
    if (seconds > 0 && window_waits::Enabled()) std::this_thread::sleep_for(std::chrono::seconds(seconds));
  }
};
}  // namespace

ITreeBuilderClock& SystemTreeBuilderClock() {
  static SystemClock clock;
  return clock;
}
