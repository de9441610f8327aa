#pragma once
// The texts the windows show, looked up by key in the chosen language.

#include <QString>

namespace ui {

// Texts by key from ":/i18n/<language>.json", falling back to English and
// then to the empty string.
class Strings {
 public:
  static QString text(const QString& key);
  static void setLanguage(const QString& language);
  static QString language();
};

}  // namespace ui
