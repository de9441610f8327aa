#pragma once
// Services the bridge takes from the program: settings and localised texts.
// Headless defaults are used until the program installs its own.

#include <map>
#include <mutex>
#include <string>

namespace bridge {

class ISettings {
 public:
  virtual ~ISettings() = default;
  virtual bool GetBool(const std::string& key, bool fallback) const = 0;
  virtual std::string GetString(const std::string& key, const std::string& fallback) const = 0;
  virtual void SetBool(const std::string& key, bool value) = 0;
  virtual void SetString(const std::string& key, const std::string& value) = 0;
};

class ILocalizer {
 public:
  virtual ~ILocalizer() = default;
  // The text of a key; "" when unknown.
  virtual std::string Text(const std::string& key) const = 0;
};

// Settings kept in memory for the life of the process.
class MemorySettings final : public ISettings {
 public:
  bool GetBool(const std::string& key, bool fallback) const override;
  std::string GetString(const std::string& key, const std::string& fallback) const override;
  void SetBool(const std::string& key, bool value) override;
  void SetString(const std::string& key, const std::string& value) override;

 private:
  mutable std::mutex m_lock;
  std::map<std::string, std::string> m_values;
};

// English texts of the keys the bridge itself needs.
class EnglishLocalizer final : public ILocalizer {
 public:
  std::string Text(const std::string& key) const override;
};

ISettings& Settings();
ILocalizer& Localizer();
// Install the program's services (not owned; null restores the default).
void SetSettings(ISettings* settings);
void SetLocalizer(ILocalizer* localizer);

}  // namespace bridge
