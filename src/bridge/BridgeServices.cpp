#include "bridge/BridgeServices.h"

#include <atomic>

namespace bridge {

bool MemorySettings::GetBool(const std::string& key, bool fallback) const {
  std::lock_guard g(m_lock);
  const auto it = m_values.find(key);
  return it == m_values.end() ? fallback : it->second == "1";
}

std::string MemorySettings::GetString(const std::string& key, const std::string& fallback) const {
  std::lock_guard g(m_lock);
  const auto it = m_values.find(key);
  return it == m_values.end() ? fallback : it->second;
}

void MemorySettings::SetBool(const std::string& key, bool value) {
  std::lock_guard g(m_lock);
  m_values[key] = value ? "1" : "0";
}

void MemorySettings::SetString(const std::string& key, const std::string& value) {
  std::lock_guard g(m_lock);
  m_values[key] = value;
}

std::string EnglishLocalizer::Text(const std::string& key) const {
  static const std::map<std::string, std::string> kTexts = {
      {"DEVICE_NAME_UNTITILED", "Untitled"},
      {"CREATE_TIME_ROOT_NAME", "Creation date"},
      {"MODIFY_TIME_ROOT_NAME", "Modification date"},
      {"NQT_TWO_DOCUMENT_TITLE", "Documents"},
      {"NQT_TWO_PICTURE_TITLE", "Pictures"},
      {"NQT_TWO_MOVIE_TITLE", "Movies"},
      {"NQT_TWO_MUSIC_TITLE", "Music"},
      {"NQT_TWO_ARCHIVES_TITLE", "Archives"},
      {"NQT_TWO_EMAIL_TITLE", "E-mail"},
      {"NQT_TWO_OTHER_TITLE", "Other"},
  };
  const auto it = kTexts.find(key);
  return it == kTexts.end() ? std::string() : it->second;
}

namespace {
std::atomic<ISettings*> g_settings{nullptr};
std::atomic<ILocalizer*> g_localizer{nullptr};
}  // namespace

ISettings& Settings() {
  static MemorySettings fallback;
  ISettings* s = g_settings.load(std::memory_order_acquire);
  return s != nullptr ? *s : fallback;
}

ILocalizer& Localizer() {
  static EnglishLocalizer fallback;
  ILocalizer* l = g_localizer.load(std::memory_order_acquire);
  return l != nullptr ? *l : fallback;
}

void SetSettings(ISettings* settings) { g_settings.store(settings, std::memory_order_release); }
void SetLocalizer(ILocalizer* localizer) { g_localizer.store(localizer, std::memory_order_release); }

}  // namespace bridge
