#include "ui/bridge_qt/QtLocalizer.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include "ui/toolkit/ImageStore.h"
#include "ui/toolkit/Strings.h"

namespace bridge_qt {
namespace {

QHash<QString, QString> readTable(const QString& language) {
  QHash<QString, QString> map;
  QFile file(QStringLiteral(":/i18n/") + language + QStringLiteral(".json"));
  if (!file.open(QIODevice::ReadOnly)) return map;
  const QJsonObject obj = QJsonDocument::fromJson(file.readAll()).object();
  for (auto e = obj.begin(); e != obj.end(); ++e) map.insert(e.key(), e.value().toString());
  return map;
}

}  // namespace

QtLocalizer::QtLocalizer() { load(); }

void QtLocalizer::load() {
  ui::ImageStore::contains(QString());  // registers the resources
  const QString language = ui::Strings::language();
  // English first, the language's own texts over it.
  QHash<QString, QString> table = readTable(QStringLiteral("en"));
  if (language != QLatin1String("en")) {
    const QHash<QString, QString> own = readTable(language);
    for (auto it = own.begin(); it != own.end(); ++it) table.insert(it.key(), it.value());
  }
  std::lock_guard g(lock_);
  table_ = std::move(table);
}

std::string QtLocalizer::Text(const std::string& key) const {
  std::lock_guard g(lock_);
  const auto it = table_.constFind(QString::fromStdString(key));
  return it == table_.constEnd() ? std::string() : it->toStdString();
}

void QtLocalizer::setLanguage(const QString& language) {
  ui::Strings::setLanguage(language);
  load();
}

}  // namespace bridge_qt
