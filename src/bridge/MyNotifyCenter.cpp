#include "bridge/MyNotifyCenter.h"

#include <algorithm>
#include <cstring>

#include "bridge/QVPublic.h"
#include "core/util/Locks.h"

namespace {
// Guards the observer lists of every receiver; taken inside the queue's lock.
mutex_locker m_CriticalSection;
}  // namespace

void CMyNotifyCenter::Notify(_MSG_EVENT* event) {
  if (event == nullptr) return;
  m_payload.clear();
  if (event->length > 0) m_payload.assign(event->payload, event->payload + event->length);
  NotifyObserver(event->type);
}

void CMyNotifyCenter::NotifyObserver(int type) {
  autolocker<mutex_locker> hold(m_CriticalSection);
  void* data = m_payload.empty() ? nullptr : m_payload.data();
  for (INotifyObserver* o : m_observers) o->Notify(type, data);
}

void CMyNotifyCenter::AddObserver(INotifyObserver* observer) {
  autolocker<mutex_locker> hold(m_CriticalSection);
  m_observers.push_back(observer);
}

void CMyNotifyCenter::RemoveObserver(INotifyObserver* observer) {
  autolocker<mutex_locker> hold(m_CriticalSection);
  const auto it = std::find(m_observers.begin(), m_observers.end(), observer);
  if (it != m_observers.end()) m_observers.erase(it);
}

std::size_t CMyNotifyCenter::ObserverCount() const {
  autolocker<mutex_locker> hold(m_CriticalSection);
  return m_observers.size();
}

CProgressNotify::CProgressNotify(CMessageCenter* queue) : m_pQueue(queue) {
  if (m_pQueue == nullptr) return;
  m_pReceiver = dynamic_cast<CMyNotifyCenter*>(m_pQueue->GetNotifyCenter(kEventDeviceReadFailed));
  if (m_pReceiver == nullptr) {
    m_pReceiver = new CMyNotifyCenter();
    m_pReceiver->SetType(kEventDeviceReadFailed);
    m_bOwnsReceiver = true;
  }
  m_pReceiver->AddObserver(this);
  m_pQueue->UpdateNotifyCenter(kEventDeviceReadFailed, m_pReceiver);
}

CProgressNotify::~CProgressNotify() {
  if (m_pQueue == nullptr || m_pReceiver == nullptr) return;
  m_pReceiver->RemoveObserver(this);
  // Once unregistered (under the queue's lock) no dispatch can reach it.
  m_pQueue->UnregisterNotifyCenter(kEventDeviceReadFailed);
  if (m_bOwnsReceiver) delete m_pReceiver;
}

void CProgressNotify::Notify(int type, void*) {
  if (type == kEventDeviceReadFailed) QVUIPublic::NotifyMainThread(kBadSectorNotify);
}
