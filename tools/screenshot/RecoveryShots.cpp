// quarnel_recovery_shots OUT_DIR: the recovery and save dialogs, each shown
// in a typical state and photographed on the X screen
// (scripts/screenshots.sh runs it under Xvfb):
//   recovery-progress.png   the progress window during a recovery
//   recovery-stop.png       the question after its stop button
//   recovery-no-space.png   the destination ran full
//   recovery-finished.png   the finished window with the destination link
//   recovery-stopped.png    the stopped window with the number of files
//   save-progress.png       saving a scan result

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>

#include <cstdio>

#include "Shots.h"
#include "ui/windows/QVProgressWindow.h"
#include "ui/windows/QVScanEndSaveWindows.h"
#include "ui/windows/QVShowScanProgressWindowController.h"

namespace {

QString g_out;

void shot(QWidget& window, const char* name) {
  if (QScreen* screen = QGuiApplication::primaryScreen())
    window.move(screen->availableGeometry().center() - window.rect().center());
  window.show();
  window.raise();
  shots::Wait(800);
  shots::SaveScreen(g_out, name);
  window.hide();
  shots::Wait(200);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: quarnel_recovery_shots OUT_DIR\n");
    return 2;
  }
  g_out = QString::fromLocal8Bit(argv[1]);
  const QString destination = QStringLiteral("/home/ana/Recovered files");
  {
    windows::QVShowScanProgressWindowController progress;
    progress.changeProgressValue(42.0, QStringLiteral("holiday.jpg"));
    shot(progress, "recovery-progress");
    progress.stopProgressButtonAction();
    shot(progress, "recovery-stop");
    progress.noButtonAction();
    progress.setNoMemeryViewHidden();
    shot(progress, "recovery-no-space");
  }
  {
    windows::QVScanEndSaveWindowController finished;
    finished.setSavePathStr(destination);
    shot(finished, "recovery-finished");
  }
  {
    windows::QVScanNotEndSaveWindowController stopped;
    stopped.changeRecoveryFilesPoint(destination, 3);
    shot(stopped, "recovery-stopped");
  }
  {
    windows::QVProgressWindow save;
    save.setBSave(true);
    save.start();
    save.progress()->setValue(60);
    shot(save, "save-progress");
  }
  return 0;
}
