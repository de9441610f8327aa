#pragma once
// "On the main thread": the bridge hands closures to a dispatcher that the
// program's event loop drains (Qt in the windows, a queue in headless use).

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace bridge {

class IMainThreadDispatcher {
 public:
  virtual ~IMainThreadDispatcher() = default;
  // Queues `fn` to run on the main thread; never waits for it.
  virtual void Post(std::function<void()> fn) = 0;
  virtual bool IsMainThread() const = 0;
};

// A dispatcher whose main thread is whichever thread calls Run*: the
// command-line tool and the tests.
class QueueDispatcher final : public IMainThreadDispatcher {
 public:
  QueueDispatcher();

  void Post(std::function<void()> fn) override;
  bool IsMainThread() const override;

  // Makes the calling thread the main thread.
  void BindToCurrentThread();
  // Runs every queued closure; their number.
  int RunPending();
  // Runs closures as they come until `done()` is true (checked after each
  // round) or the time is over; the final answer of `done()`.
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
  // Wakes a RunUntil waiting for closures, so it checks `done()` again.
  void Wake();

 private:
  mutable std::mutex m_lock;
  std::condition_variable m_cv;
  std::deque<std::function<void()>> m_queue;
  bool m_woken = false;  // a Wake not yet seen by RunUntil
  std::thread::id m_owner;
};

// The dispatcher in use; a process-wide QueueDispatcher until one is set.
IMainThreadDispatcher& MainThread();
// Installs the program's dispatcher (not owned; it outlives every job).
// Null restores the default queue.
void SetMainThreadDispatcher(IMainThreadDispatcher* dispatcher);
// The default queue (headless programs and tests drain it).
QueueDispatcher& DefaultQueue();

}  // namespace bridge
