#include "core/events/MessageCenter.h"

#include <cstdlib>
#include <cstring>
#include <optional>

#include "core/util/Locks.h"

namespace {

// Guards every centre map and queue, and delivery to the centres.
constinit mutex_locker g_lockerMSG;

// Type and length before the payload.
constexpr std::size_t kEventHeaderSize = 12;
static_assert(sizeof(_MSG_EVENT) == kEventHeaderSize);

bool SameEvent(const _MSG_EVENT* event, EVENT_TYPE type, int length, const void* payload) {
  return event->type == type && event->length == length &&
         (length == 0 || std::memcmp(event->payload, payload, static_cast<std::size_t>(length)) == 0);
}

}  // namespace

CMessageCenter* CMessageCenter::Instance() {
  static CMessageCenter instance;
  return &instance;
}

CMessageCenter::CMessageCenter() : CMessageCenter(std::chrono::milliseconds(1000)) {}

CMessageCenter::CMessageCenter(std::chrono::milliseconds interval) : m_intervalMs(interval.count()) {
  StartReceiveMessage();
}

CMessageCenter::~CMessageCenter() {
  StopReceiveMessage();
  autolocker<mutex_locker> hold(g_lockerMSG);
  ReleaseMessage();
  m_centers.clear();
}

void CMessageCenter::StartReceiveMessage() {
  std::lock_guard<std::mutex> control(m_controlLock);
  {
    std::lock_guard<std::mutex> wake(m_wakeLock);
    m_bStop = false;
  }
  if (m_thread.joinable()) return;
  {
    autolocker<mutex_locker> hold(g_lockerMSG);
    ReleaseMessage();
    m_bAccepting = true;
  }
  m_thread = std::thread([this] { DispatchLoop(); });
}

void CMessageCenter::StopReceiveMessage() {
  std::lock_guard<std::mutex> control(m_controlLock);
  {
    autolocker<mutex_locker> hold(g_lockerMSG);
    m_bAccepting = false;
  }
  {
    std::lock_guard<std::mutex> wake(m_wakeLock);
    m_bStop = true;
  }
  m_wake.notify_all();
  if (m_thread.joinable()) m_thread.join();
}

void CMessageCenter::PushEvent(EVENT_TYPE type, int length, void* payload) {
  if (length < 0 || (length > 0 && payload == nullptr)) return;
  if (!Enqueue(type, length, payload)) return;
  { std::lock_guard<std::mutex> wake(m_wakeLock); }
  m_wake.notify_all();
}

bool CMessageCenter::Enqueue(EVENT_TYPE type, int length, const void* payload) {
  autolocker<mutex_locker> hold(g_lockerMSG);
  if (!m_bAccepting) return false;
  // A failing disk reports the same event again and again; keep one.
  for (const _MSG_EVENT* queued : m_queue) {
    if (SameEvent(queued, type, length, payload)) return false;
  }
  auto* event = static_cast<_MSG_EVENT*>(std::malloc(kEventHeaderSize + static_cast<std::size_t>(length)));
  if (event == nullptr) return false;
  event->type = type;
  event->length = length;
  if (length > 0) std::memcpy(event->payload, payload, static_cast<std::size_t>(length));
  m_queue.push_back(event);
  return true;
}

int CMessageCenter::RegisterNotifyCenter(int type, INotifyCenter* center) {
  if (center == nullptr) return 0;
  autolocker<mutex_locker> hold(g_lockerMSG);
  return m_centers.emplace(type, center).second ? 1 : 0;
}

void CMessageCenter::UnregisterNotifyCenter(int type) {
  autolocker<mutex_locker> hold(g_lockerMSG);
  m_centers.erase(type);
}

INotifyCenter* CMessageCenter::GetNotifyCenter(int type) {
  autolocker<mutex_locker> hold(g_lockerMSG);
  const auto found = m_centers.find(type);
  return found == m_centers.end() ? nullptr : found->second;
}

void CMessageCenter::UpdateNotifyCenter(int type, INotifyCenter* center) {
  autolocker<mutex_locker> hold(g_lockerMSG);
  if (center == nullptr) {
    m_centers.erase(type);
  } else {
    m_centers[type] = center;
  }
}

void CMessageCenter::Clear() {
  autolocker<mutex_locker> hold(g_lockerMSG);
  ReleaseMessage();
}

void CMessageCenter::SetDispatchInterval(std::chrono::milliseconds interval) {
  {
    std::lock_guard<std::mutex> wake(m_wakeLock);
    m_intervalMs = interval.count();
  }
  m_wake.notify_all();
}

std::size_t CMessageCenter::QueuedCount() {
  autolocker<mutex_locker> hold(g_lockerMSG);
  return m_queue.size();
}

_MSG_EVENT* CMessageCenter::PopEvent() {
  autolocker<mutex_locker> hold(g_lockerMSG);
  if (m_queue.empty()) return nullptr;
  _MSG_EVENT* event = m_queue.front();
  m_queue.pop_front();
  return event;
}

void CMessageCenter::SendEvent(_MSG_EVENT* event) {
  if (event == nullptr) return;
  {
    autolocker<mutex_locker> hold(g_lockerMSG);
    for (const auto& [type, center] : m_centers) {
      if (center != nullptr) center->Notify(event);
    }
  }
  std::free(event);
}

void CMessageCenter::ReleaseMessage() {
  for (_MSG_EVENT* event : m_queue) std::free(event);
  m_queue.clear();
}

void CMessageCenter::DispatchLoop() {
  using Clock = std::chrono::steady_clock;
  std::optional<Clock::time_point> lastSent;
  std::unique_lock<std::mutex> wake(m_wakeLock);
  while (!m_bStop) {
    // An idle queue sleeps until a push; an event is sent as soon as the
    // previous one is an interval old. Pushes, stops and interval changes
    // all notify m_wake.
    if (QueuedCount() == 0) {
      m_wake.wait(wake);
      continue;
    }
    if (lastSent) {
      const Clock::time_point due = *lastSent + std::chrono::milliseconds(m_intervalMs.load());
      if (Clock::now() < due) {
        m_wake.wait_until(wake, due);
        continue;
      }
    }
    wake.unlock();
    SendEvent(PopEvent());
    lastSent = Clock::now();
    wake.lock();
  }
  wake.unlock();
  Clear();
}
