// The main program itself, offscreen: one copy at a time, the start-up
// settings kept, the display kept awake through a screen saver on a
// private session bus (released at the end), and no bus at all tolerated.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QThread>

#include "support/Absent.h"
#include "support/TempDir.h"

namespace {

QProcessEnvironment programEnvironment(const testsupport::TempDir& dir) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(dir.File("config")));
  env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(dir.Path().string()));
  env.insert(QStringLiteral("QUARNEL_WORK_DIR"), QString::fromStdString(dir.Path().string()));
  // No bus of either kind.
  env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent/session"));
  env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent/system"));
  return env;
}

// Reads the process's output until it holds `text` (or 60 s); all of it.
QString waitForOutput(QProcess& p, QString& seen, const QString& text) {
  QElapsedTimer t;
  t.start();
  while (!seen.contains(text) && t.elapsed() < 60000 && p.state() != QProcess::NotRunning) {
    p.waitForReadyRead(200);
    seen += QString::fromLocal8Bit(p.readAll());
  }
  seen += QString::fromLocal8Bit(p.readAll());
  return seen;
}

TEST(QuarnelProgram, OneCopyAtATimeKeepsItsSettingsAndEndsOnTerm) {
  testsupport::TempDir dir;
  QProcess first;
  first.setProcessEnvironment(programEnvironment(dir));
  first.setProcessChannelMode(QProcess::MergedChannels);
  first.start(QStringLiteral(QUARNEL_PROGRAM_PATH), {QStringLiteral("de*loaderflag*"), QStringLiteral("/s/x.Quarnel")});
  QString out;
  // No bus: start-up says so and goes on.
  waitForOutput(first, out, QStringLiteral("the display may sleep"));
  ASSERT_TRUE(out.contains(QStringLiteral("the display may sleep"))) << out.toStdString();
  EXPECT_TRUE(out.contains(QStringLiteral("argv = de"))) << out.toStdString();
  ASSERT_EQ(first.state(), QProcess::Running) << out.toStdString();

  QProcess second;
  second.setProcessEnvironment(programEnvironment(dir));
  second.setProcessChannelMode(QProcess::MergedChannels);
  second.start(QStringLiteral(QUARNEL_PROGRAM_PATH), {QStringLiteral("fr*loaderflag*")});
  ASSERT_TRUE(second.waitForFinished(60000));
  EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.exitCode(), 0);
  const QString secondOut = QString::fromLocal8Bit(second.readAll());
  EXPECT_TRUE(secondOut.contains(QStringLiteral("already running"))) << secondOut.toStdString();

  // The first start's settings, untouched by the second.
  QSettings stored(QString::fromStdString(dir.File("config/quarnel/quarnel.ini")), QSettings::IniFormat);
  EXPECT_EQ(stored.value(QStringLiteral("AppleLanguages")).toStringList(), QStringList{QStringLiteral("de")});
  EXPECT_EQ(stored.value(QStringLiteral("rsfPath")).toString(), QStringLiteral("/s/x.Quarnel"));

  first.terminate();
  ASSERT_TRUE(first.waitForFinished(60000));
  EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(first.exitCode(), 0) << QString::fromLocal8Bit(first.readAll()).toStdString();
}

TEST(QuarnelProgram, DisplayKeptAwakeOnceAndReleasedAtExit) {
  testsupport::TempDir dir;
  if (!testsupport::HaveProgram("dbus-run-session") || !testsupport::HaveProgram("dbus-daemon"))
    QUARNEL_SKIP_NO_TOOL() << "dbus-run-session missing";
  const std::string log = dir.File("screensaver.log");
  const std::string script = dir.File("run.sh");
  {
    QFile f(QString::fromStdString(script));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(R"(
QUARNEL_FAKE_SCREENSAVER="$LOG" "$TESTBIN" &
FAKE=$!
i=0; while [ $i -lt 400 ] && ! grep -q ready "$LOG" 2>/dev/null; do sleep 0.05; i=$((i+1)); done
"$QUARNEL" 'en*loaderflag*' &
Q=$!
i=0; while [ $i -lt 1200 ] && ! grep -q Inhibit "$LOG" 2>/dev/null; do sleep 0.05; i=$((i+1)); done
sleep 0.5
kill -TERM $Q
wait $Q
echo "exit $?" >> "$LOG"
kill $FAKE
wait $FAKE
exit 0
)");
  }
  QProcessEnvironment env = programEnvironment(dir);
  env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
  env.insert(QStringLiteral("LOG"), QString::fromStdString(log));
  env.insert(QStringLiteral("TESTBIN"), QCoreApplication::applicationFilePath());
  env.insert(QStringLiteral("QUARNEL"), QStringLiteral(QUARNEL_PROGRAM_PATH));
  QProcess run;
  run.setProcessEnvironment(env);
  run.setProcessChannelMode(QProcess::MergedChannels);
  run.start(QStringLiteral("dbus-run-session"),
            {QStringLiteral("--"), QStringLiteral("sh"), QString::fromStdString(script)});
  ASSERT_TRUE(run.waitForFinished(120000));
  QFile f(QString::fromStdString(log));
  ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << QString::fromLocal8Bit(run.readAll()).toStdString();
  const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  EXPECT_EQ(lines, (QStringList{QStringLiteral("ready"), QStringLiteral("Inhibit Quarnel 41"),
                                QStringLiteral("UnInhibit 41"), QStringLiteral("exit 0")}))
      << QString::fromLocal8Bit(run.readAll()).toStdString();
}

}  // namespace
