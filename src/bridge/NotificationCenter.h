#pragma once
// Named notifications between the bridge and its users. Post delivers on the
// calling thread; QVUIPublic::NotifyMainThread posts through the main-thread
// dispatcher.

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>

namespace bridge {

class NotificationCenter {
 public:
  using Callback = std::function<void(const std::string& name)>;
  using Token = std::uint64_t;

  static NotificationCenter& Default();

  // Observes one name; "" observes every name.
  Token AddObserver(const std::string& name, Callback callback);
  void RemoveObserver(Token token);
  // Calls the observers of `name` (then those of every name) in the order
  // they were added. Observers may add or remove observers.
  void Post(const std::string& name);

 private:
  struct Entry {
    std::string name;
    Callback callback;
  };
  std::mutex m_lock;
  std::map<Token, Entry> m_observers;
  Token m_next = 1;
};

// Observes a name for the life of the object.
class ScopedObserver {
 public:
  ScopedObserver(const std::string& name, NotificationCenter::Callback callback)
      : m_token(NotificationCenter::Default().AddObserver(name, std::move(callback))) {}
  ~ScopedObserver() { NotificationCenter::Default().RemoveObserver(m_token); }
  ScopedObserver(const ScopedObserver&) = delete;
  ScopedObserver& operator=(const ScopedObserver&) = delete;

 private:
  NotificationCenter::Token m_token;
};

}  // namespace bridge
