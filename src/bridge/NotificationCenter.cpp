#include "bridge/NotificationCenter.h"

#include <vector>

namespace bridge {

NotificationCenter& NotificationCenter::Default() {
  static NotificationCenter center;
  return center;
}

NotificationCenter::Token NotificationCenter::AddObserver(const std::string& name, Callback callback) {
  std::lock_guard g(m_lock);
  const Token token = m_next++;
  m_observers.emplace(token, Entry{name, std::move(callback)});
  return token;
}

void NotificationCenter::RemoveObserver(Token token) {
  std::lock_guard g(m_lock);
  m_observers.erase(token);
}

void NotificationCenter::Post(const std::string& name) {
  std::vector<Callback> named;
  std::vector<Callback> all;
  {
    std::lock_guard g(m_lock);
    for (const auto& [token, entry] : m_observers) {
      if (entry.name == name)
        named.push_back(entry.callback);
      else if (entry.name.empty())
        all.push_back(entry.callback);
    }
  }
  for (auto& cb : named) cb(name);
  for (auto& cb : all) cb(name);
}

}  // namespace bridge
