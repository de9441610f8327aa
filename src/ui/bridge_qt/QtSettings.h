#pragma once
// The program's user settings ("SavePath", "AppleLanguages", "rsfPath",
// "Participate", ...) in the user's configuration folder, through QSettings:
// $XDG_CONFIG_HOME/quarnel/quarnel.ini (~/.config when unset). Each write
// is flushed at once, so the next process reads it. Safe from any thread.

#include <QSettings>
#include <QString>
#include <QStringList>

#include <memory>
#include <mutex>

#include "bridge/BridgeServices.h"

namespace bridge_qt {

class QtSettings final : public bridge::ISettings {
 public:
  // The user's settings file of the program.
  QtSettings();
  // A settings file of the caller's choice (tests).
  explicit QtSettings(const QString& iniPath);

  bool GetBool(const std::string& key, bool fallback) const override;
  std::string GetString(const std::string& key, const std::string& fallback) const override;
  void SetBool(const std::string& key, bool value) override;
  void SetString(const std::string& key, const std::string& value) override;

  // Lists ("AppleLanguages" is a one-element list of language codes).
  QStringList GetList(const QString& key) const;
  void SetList(const QString& key, const QStringList& value);

  QString fileName() const;

 private:
  mutable std::mutex lock_;
  std::unique_ptr<QSettings> settings_;
};

}  // namespace bridge_qt
