#pragma once
// Thin lock classes shared by the engine: a plain mutex with its scoped
// guard, a condition with its own mutex, a recursive critical section, a
// reader/writer lock and an event object.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <shared_mutex>
#include <thread>

class none_copyable {
 protected:
  constexpr none_copyable() noexcept = default;
  ~none_copyable() = default;

 public:
  none_copyable(const none_copyable&) = delete;
  none_copyable& operator=(const none_copyable&) = delete;
};

// A plain, non-recursive mutex. Constant-initialised, so a global one is
// usable from any static constructor.
class mutex_locker : none_copyable {
 public:
  constexpr mutex_locker() noexcept = default;

  void lock() { m_mutex.lock(); }
  void un_lock() { m_mutex.unlock(); }
  // Standard names, so std::unique_lock and std::condition_variable_any work.
  void unlock() { m_mutex.unlock(); }
  bool try_lock() { return m_mutex.try_lock(); }

 private:
  std::mutex m_mutex;
};

// Locks in the constructor, unlocks in the destructor.
template <class Lock>
class autolocker : none_copyable {
 public:
  explicit autolocker(Lock& lock) : m_lock(lock) { m_lock.lock(); }
  ~autolocker() { m_lock.un_lock(); }

 private:
  Lock& m_lock;
};

// A condition and the mutex it is waited with. Callers lock, wait, unlock;
// signallers call signal() or broadcast().
class cond_locker : none_copyable {
 public:
  void lock() { m_mutex.lock(); }
  void un_lock() { m_mutex.unlock(); }
  void unlock() { m_mutex.unlock(); }

  // The mutex must be held; it is released while waiting.
  void wait() { m_cond.wait(m_mutex); }
  // False when the time ran out without a signal.
  bool wait_for(std::chrono::milliseconds timeout) {
    return m_cond.wait_for(m_mutex, timeout) == std::cv_status::no_timeout;
  }
  void signal() { m_cond.notify_one(); }
  void broadcast() { m_cond.notify_all(); }

 private:
  std::mutex m_mutex;
  std::condition_variable_any m_cond;
};

// A recursive critical section that remembers which thread holds it.
class SimpleCs : none_copyable {
 public:
  // The text names the caller for debugging; it is not used.
  void EnterCS(const char* who = nullptr);
  void LeaveCS();
  bool IsOwnedByCurrentThread() const { return m_owner.load() == std::this_thread::get_id(); }

 private:
  std::recursive_mutex m_mutex;
  std::atomic<std::thread::id> m_owner{};
  int m_depth = 0;  // guarded by m_mutex
};

// Scoped hold of a SimpleCs; a null section is not locked.
class SimpleLock : none_copyable {
 public:
  explicit SimpleLock(SimpleCs* cs, const char* who = nullptr) : m_cs(cs) {
    if (m_cs != nullptr) m_cs->EnterCS(who);
  }
  ~SimpleLock() {
    if (m_cs != nullptr) m_cs->LeaveCS();
  }

 private:
  SimpleCs* m_cs;
};

// Many readers or one writer.
class RWLock : none_copyable {
 public:
  void LockRead() { m_mutex.lock_shared(); }
  void UnlockRead() { m_mutex.unlock_shared(); }
  void LockWrite() { m_mutex.lock(); }
  void UnlockWrite() { m_mutex.unlock(); }

 private:
  std::shared_mutex m_mutex;
};

class ReadLock : none_copyable {
 public:
  explicit ReadLock(RWLock& lock) : m_lock(lock) { m_lock.LockRead(); }
  ~ReadLock() { m_lock.UnlockRead(); }

 private:
  RWLock& m_lock;
};

class WriteLock : none_copyable {
 public:
  explicit WriteLock(RWLock& lock) : m_lock(lock) { m_lock.LockWrite(); }
  ~WriteLock() { m_lock.UnlockWrite(); }

 private:
  RWLock& m_lock;
};

// An event object. A manual-reset event stays set until Reset(); an
// auto-reset event releases one waiter and clears itself.
class WaitEvent : none_copyable {
 public:
  explicit WaitEvent(bool manualReset = true, bool initiallySet = false)
      : m_manualReset(manualReset), m_set(initiallySet) {}

  void Set();
  void Reset();
  bool IsSet();
  // Waits until the event is set; false when the timeout ran out first.
  bool Wait(std::chrono::milliseconds timeout);
  void Wait();

 private:
  std::mutex m_mutex;
  std::condition_variable m_cond;
  const bool m_manualReset;
  bool m_set;
};
