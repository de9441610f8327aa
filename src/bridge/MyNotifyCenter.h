#pragma once
// The bridge's side of the engine's event queue: a receiver that keeps a
// copy of each event's payload and calls its observers, and the per-scan
// observer that turns unreadable sectors into "BadSectorNotify".

#include <cstdint>
#include <vector>

#include "core/events/MessageCenter.h"

inline constexpr const char* kBadSectorNotify = "BadSectorNotify";

class CMyNotifyCenter : public INotifyCenter {
 public:
  CMyNotifyCenter() = default;
  ~CMyNotifyCenter() override = default;

  void Notify(_MSG_EVENT* event) override;
  void NotifyObserver(int type);
  void AddObserver(INotifyObserver* observer);
  void RemoveObserver(INotifyObserver* observer);
  std::size_t ObserverCount() const;
  // Bytes of the last payload copied (dispatch thread only).
  std::size_t PayloadSize() const { return m_payload.size(); }

 private:
  std::vector<INotifyObserver*> m_observers;
  std::vector<std::uint8_t> m_payload;
};

class CProgressNotify : public INotifyObserver {
 public:
  // Registers with the queue's receiver for event 1, making one when none.
  explicit CProgressNotify(CMessageCenter* queue = CMessageCenter::Instance());
  // Deregisters; frees the receiver it made once no observer is left.
  ~CProgressNotify() override;
  CProgressNotify(const CProgressNotify&) = delete;
  CProgressNotify& operator=(const CProgressNotify&) = delete;

  // Event 1 posts "BadSectorNotify" on the main thread.
  void Notify(int type, void* payload) override;

 private:
  CMessageCenter* m_pQueue;
  CMyNotifyCenter* m_pReceiver = nullptr;
  bool m_bOwnsReceiver = false;
};
