#include "app/shell/SleepInhibitor.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>

#include <cstdio>

namespace shell {
namespace {

constexpr int kCallTimeoutMs = 3000;

void logLine(const QString& text) { std::fprintf(stderr, "quarnel: %s\n", text.toLocal8Bit().constData()); }

}  // namespace

SleepInhibitor::SleepInhibitor(QString reason) : reason_(std::move(reason)) {}

SleepInhibitor::~SleepInhibitor() { ReleasePreventObj(); }

SleepInhibitor::Kind SleepInhibitor::PreventSleep() {
  if (kind_ != Kind::None) return kind_;
  if (tryScreenSaver())
    kind_ = Kind::ScreenSaver;
  else if (tryLogind())
    kind_ = Kind::Logind;
  else
    logLine(QStringLiteral("no screen saver or login manager on D-Bus; the display may sleep"));
  return kind_;
}

bool SleepInhibitor::tryScreenSaver() {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    logLine(QStringLiteral("no D-Bus session bus"));
    return false;
  }
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("/org/freedesktop/ScreenSaver"),
      QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("Inhibit"));
  call << QStringLiteral("Quarnel") << reason_;
  const QDBusReply<uint> reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
  if (!reply.isValid()) return false;
  cookie_ = reply.value();
  return true;
}

bool SleepInhibitor::tryLogind() {
  QDBusConnection bus = QDBusConnection::systemBus();
  if (!bus.isConnected()) {
    logLine(QStringLiteral("no D-Bus system bus"));
    return false;
  }
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
      QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
  call << QStringLiteral("idle") << QStringLiteral("Quarnel") << reason_ << QStringLiteral("block");
  const QDBusReply<QDBusUnixFileDescriptor> reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
  if (!reply.isValid() || !reply.value().isValid()) return false;
  // The inhibitor lasts while this descriptor stays open.
  logindFd_ = reply.value();
  return true;
}

void SleepInhibitor::ReleasePreventObj() {
  if (kind_ == Kind::ScreenSaver) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("/org/freedesktop/ScreenSaver"),
        QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("UnInhibit"));
    call << cookie_;
    if (bus.isConnected()) bus.call(call, QDBus::Block, kCallTimeoutMs);
  } else if (kind_ == Kind::Logind) {
    logindFd_ = QDBusUnixFileDescriptor();
  }
  kind_ = Kind::None;
  cookie_ = 0;
}

}  // namespace shell
