#include "ui/bridge_qt/QtSettings.h"

namespace bridge_qt {

QtSettings::QtSettings()
    : settings_(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("quarnel"),
                                            QStringLiteral("quarnel"))) {}

QtSettings::QtSettings(const QString& iniPath)
    : settings_(std::make_unique<QSettings>(iniPath, QSettings::IniFormat)) {}

bool QtSettings::GetBool(const std::string& key, bool fallback) const {
  std::lock_guard g(lock_);
  return settings_->value(QString::fromStdString(key), fallback).toBool();
}

std::string QtSettings::GetString(const std::string& key, const std::string& fallback) const {
  std::lock_guard g(lock_);
  const QVariant v = settings_->value(QString::fromStdString(key));
  return v.isValid() ? v.toString().toStdString() : fallback;
}

void QtSettings::SetBool(const std::string& key, bool value) {
  std::lock_guard g(lock_);
  settings_->setValue(QString::fromStdString(key), value);
  settings_->sync();
}

void QtSettings::SetString(const std::string& key, const std::string& value) {
  std::lock_guard g(lock_);
  settings_->setValue(QString::fromStdString(key), QString::fromStdString(value));
  settings_->sync();
}

QStringList QtSettings::GetList(const QString& key) const {
  std::lock_guard g(lock_);
  return settings_->value(key).toStringList();
}

void QtSettings::SetList(const QString& key, const QStringList& value) {
  std::lock_guard g(lock_);
  settings_->setValue(key, value);
  settings_->sync();
}

QString QtSettings::fileName() const {
  std::lock_guard g(lock_);
  return settings_->fileName();
}

}  // namespace bridge_qt
