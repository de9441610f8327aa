#pragma once
// The process-wide event queue: engine code pushes events (a failed device
// read), a dispatch thread hands them to the registered centres at most once
// per interval (one second by default). An event identical to one still
// queued is dropped, so a failing disk cannot grow the queue without bound.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <map>
#include <mutex>
#include <thread>

enum EVENT_TYPE : int {
  kEventDeviceReadFailed = 1,
};

struct _MSG_EVENT {
  std::int32_t type;
  std::int32_t length;
  std::uint8_t payload[1];  // `length` bytes follow
};

class INotifyCenter {
 public:
  virtual ~INotifyCenter() = default;
  virtual void Notify(_MSG_EVENT* event) = 0;
  void SetType(int type) { m_iType = type; }
  int GetType() const { return m_iType; }

 private:
  int m_iType = 0;
};

class INotifyObserver {
 public:
  virtual ~INotifyObserver() = default;
  virtual void Notify(int type, void* payload) = 0;
};

class CMessageCenter {
 public:
  static CMessageCenter* Instance();

  void StartReceiveMessage();
  void StopReceiveMessage();
  void PushEvent(EVENT_TYPE type, int length, void* payload);
  int RegisterNotifyCenter(int type, INotifyCenter* center);
  void UnregisterNotifyCenter(int type);
  INotifyCenter* GetNotifyCenter(int type);
  void UpdateNotifyCenter(int type, INotifyCenter* center);
  void Clear();

  // Time between two deliveries (tests shorten it).
  void SetDispatchInterval(std::chrono::milliseconds interval);
  // Events waiting for delivery.
  std::size_t QueuedCount();

  CMessageCenter();
  // A queue of its own with the given delivery interval (tests).
  explicit CMessageCenter(std::chrono::milliseconds interval);
  ~CMessageCenter();
  CMessageCenter(const CMessageCenter&) = delete;
  CMessageCenter& operator=(const CMessageCenter&) = delete;

 private:
  // Copies the event into the queue; false when dropped or coalesced.
  bool Enqueue(EVENT_TYPE type, int length, const void* payload);
  _MSG_EVENT* PopEvent();
  void SendEvent(_MSG_EVENT* event);
  void ReleaseMessage();
  void DispatchLoop();

  // Guarded by the global message lock.
  std::map<int, INotifyCenter*> m_centers;
  std::list<_MSG_EVENT*> m_queue;
  bool m_bAccepting = false;  // a dispatch thread is held

  std::atomic<bool> m_bStop{false};
  std::mutex m_controlLock;  // serialises start and stop
  std::thread m_thread;      // guarded by m_controlLock
  std::mutex m_wakeLock;
  std::condition_variable m_wake;
  std::atomic<long long> m_intervalMs{1000};
};
