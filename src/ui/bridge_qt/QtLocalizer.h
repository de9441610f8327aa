#pragma once
// The bridge's localised texts from the windows' strings table. The table
// of the language is copied when the localiser is made (and on
// setLanguage), so worker threads read it without touching Qt resources.

#include <QHash>
#include <QString>

#include <mutex>

#include "bridge/BridgeServices.h"

namespace bridge_qt {

class QtLocalizer final : public bridge::ILocalizer {
 public:
  // The language of ui::Strings at the time of the call.
  QtLocalizer();

  std::string Text(const std::string& key) const override;
  // Switches ui::Strings and this table to another language.
  void setLanguage(const QString& language);

 private:
  void load();

  mutable std::mutex lock_;
  QHash<QString, QString> table_;
};

}  // namespace bridge_qt
