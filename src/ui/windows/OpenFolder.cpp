#include "ui/windows/OpenFolder.h"

#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include <pwd.h>
#include <unistd.h>

#include <vector>

#include "ui/toolkit/Modal.h"
#include "ui/toolkit/Strings.h"

namespace windows {
namespace {

DetachedStarter g_starter;

bool startDetached(const QString& program, const QStringList& args) {
  if (g_starter) return g_starter(program, args);
  return QProcess::startDetached(program, args);
}

QString userName(uid_t uid) {
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) return {};
  return QString::fromLocal8Bit(found->pw_name);
}

// Opens `path` as the user of PKEXEC_UID; "" when started, else why not.
QString openAsPkexecUser(const QString& path, const QByteArray& uidText) {
  bool ok = false;
  const uint uid = uidText.toUInt(&ok);
  if (!ok)
    return QStringLiteral("the id of the user who started the program (%1) is not a number")
        .arg(QString::fromLocal8Bit(uidText));
  const QString name = userName(static_cast<uid_t>(uid));
  if (name.isEmpty()) return QStringLiteral("there is no user with id %1").arg(uid);
  const QString runuser = QStandardPaths::findExecutable(
      QStringLiteral("runuser"),
      {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin"), QStringLiteral("/usr/bin"), QStringLiteral("/bin")});
  if (runuser.isEmpty()) return QStringLiteral("the program runuser is missing");
  const QString runtime = QStringLiteral("/run/user/%1").arg(uid);
  QStringList args{QStringLiteral("-u"), name, QStringLiteral("--"), QStringLiteral("env")};
  for (const char* var : {"DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY"}) {
    const QByteArray value = qgetenv(var);
    if (!value.isEmpty()) args << QString::fromLatin1(var) + QLatin1Char('=') + QString::fromLocal8Bit(value);
  }
  args << QStringLiteral("XDG_RUNTIME_DIR=") + runtime
       << QStringLiteral("DBUS_SESSION_BUS_ADDRESS=unix:path=") + runtime + QStringLiteral("/bus")
       << QStringLiteral("xdg-open") << path;
  if (!startDetached(runuser, args)) return QStringLiteral("%1 could not be started").arg(runuser);
  return {};
}

}  // namespace

void setDetachedStarter(DetachedStarter starter) { g_starter = std::move(starter); }

bool openFolderInFileManager(QWidget* parent, const QString& path) {
  if (path.isEmpty()) return false;
  const QByteArray pkexecUid = qgetenv("PKEXEC_UID");
  if (geteuid() != 0 || pkexecUid.isEmpty()) return ui::Modal().openUrl(QUrl::fromLocalFile(path));
  const QString why = openAsPkexecUser(path, pkexecUid);
  if (why.isEmpty()) return true;
  ui::AlertSpec spec;
  spec.parent = parent;
  spec.message = ui::Strings::text(QStringLiteral("OPEN_FOLDER_FAILED"));
  spec.informative = path + QStringLiteral("\n") + why;
  ui::Modal().alert(spec);
  return false;
}

}  // namespace windows
