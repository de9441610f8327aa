#pragma once
// Worker threads of the bridge's jobs and the registry of the jobs alive, so
// that closing, a device-list refresh and tests can wait for them.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace bridge {

// Stack of a worker thread (raised in sanitizer builds).
inline constexpr std::size_t kWorkerStack = 0x200000;

// Starts `fn` on a detached thread with a stack of `stackSize` bytes (0: the
// system default). False when no thread could be made.
bool StartThread(std::function<void()> fn, std::size_t stackSize);

class JobRegistry {
 public:
  static JobRegistry& instance();

  // Starts `fn` on a worker thread registered under `name` until it returns.
  // False (and nothing runs) when no thread could be made.
  bool Start(const std::string& name, std::function<void()> fn, std::size_t stackSize = kWorkerStack);

  // Number of jobs alive; of those named `name`.
  int Alive() const;
  int Alive(const std::string& name) const;
  std::vector<std::string> AliveNames() const;
  // Waits until no job (or no job of that name) is alive; false on timeout.
  bool WaitIdle(std::chrono::milliseconds timeout) const;
  bool WaitIdle(const std::string& name, std::chrono::milliseconds timeout) const;

 private:
  void Begin(const std::string& name);
  void End(const std::string& name);

  mutable std::mutex m_lock;
  mutable std::condition_variable m_cv;
  std::vector<std::string> m_alive;
};

}  // namespace bridge
