#include "ui/toolkit/Strings.h"

#include "ui/toolkit/ImageStore.h"

#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>

namespace ui {
namespace {

struct Tables {
  QString language = QStringLiteral("en");
  QHash<QString, QHash<QString, QString>> loaded;
};

Tables& tables() {
  static Tables t;
  return t;
}

const QHash<QString, QString>& table(const QString& language) {
  Tables& t = tables();
  auto it = t.loaded.find(language);
  if (it != t.loaded.end()) return *it;
  ImageStore::contains(QString());  // makes sure the resources are registered
  QHash<QString, QString> map;
  QFile file(QStringLiteral(":/i18n/") + language + QStringLiteral(".json"));
  if (file.open(QIODevice::ReadOnly)) {
    const QJsonObject obj = QJsonDocument::fromJson(file.readAll()).object();
    for (auto e = obj.begin(); e != obj.end(); ++e) map.insert(e.key(), e.value().toString());
  }
  return *t.loaded.insert(language, map);
}

}  // namespace

QString Strings::text(const QString& key) {
  const QString lang = tables().language;
  const auto& own = table(lang);
  if (auto it = own.constFind(key); it != own.constEnd()) return *it;
  if (lang != QLatin1String("en")) {
    const auto& en = table(QStringLiteral("en"));
    if (auto it = en.constFind(key); it != en.constEnd()) return *it;
  }
  return QString(QLatin1String(""));
}

void Strings::setLanguage(const QString& language) {
  tables().language = language.isEmpty() ? QStringLiteral("en") : language;
}

QString Strings::language() { return tables().language; }

}  // namespace ui
