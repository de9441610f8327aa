#pragma once
// A stand-in for the desktop's org.freedesktop.ScreenSaver on a private
// session bus: logs every Inhibit and UnInhibit call to a file.

#include <QByteArray>

namespace windowstest {

// Runs the service until the process is ended; the exit status.
int RunFakeScreenSaver(const QByteArray& logPath, int argc, char** argv);

}  // namespace windowstest
