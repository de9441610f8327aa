#include "FakeScreenSaver.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QFile>

namespace windowstest {
namespace {

class ScreenSaver final : public QDBusVirtualObject {
 public:
  explicit ScreenSaver(QString log) : log_(std::move(log)) {}

  QString introspect(const QString&) const override { return {}; }

  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
    if (message.interface() != QLatin1String("org.freedesktop.ScreenSaver")) return false;
    const QList<QVariant> args = message.arguments();
    if (message.member() == QLatin1String("Inhibit") && args.size() == 2) {
      const uint cookie = next_++;
      write(QStringLiteral("Inhibit %1 %2").arg(args[0].toString()).arg(cookie));
      connection.send(message.createReply(QVariant::fromValue(cookie)));
      return true;
    }
    if (message.member() == QLatin1String("UnInhibit") && args.size() == 1) {
      write(QStringLiteral("UnInhibit %1").arg(args[0].toUInt()));
      connection.send(message.createReply());
      return true;
    }
    return false;
  }

  void write(const QString& line) {
    QFile f(log_);
    if (f.open(QIODevice::Append)) f.write(line.toUtf8() + '\n');
  }

 private:
  QString log_;
  uint next_ = 41;
};

}  // namespace

int RunFakeScreenSaver(const QByteArray& logPath, int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QDBusConnection bus = QDBusConnection::sessionBus();
  ScreenSaver service(QFile::decodeName(logPath));
  if (!bus.isConnected() || !bus.registerVirtualObject(QStringLiteral("/org/freedesktop/ScreenSaver"), &service) ||
      !bus.registerService(QStringLiteral("org.freedesktop.ScreenSaver")))
    return 3;
  service.write(QStringLiteral("ready"));
  return app.exec();
}

}  // namespace windowstest
