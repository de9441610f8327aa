#pragma once
// What the programs that photograph the windows share: waiting with the
// event loop running, saving the screen, the rows of an opened image and the
// rows of the results window.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QModelIndex>
#include <QString>

#include "bridge/QVUIDeviceData.h"

namespace windows {
class CommOutlineView;
class QVDeletailWindowController;
}  // namespace windows

namespace shots {

// Runs the event loop for `ms`.
void Wait(int ms);
// Runs the event loop until `done()` holds or `ms` have passed; whether it
// holds.
template <typename F>
bool WaitFor(F&& done, int ms) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}

// Saves the whole screen as `dir`/`name`.png and says so.
void SaveScreen(const QString& dir, const char* name);

// Opens the image file: its disk row (without its volumes) and its first
// volume's row; false, said on standard error, when it has no volume.
bool OpenImageRows(const QString& image, _DiskVolumeData& disk, _DiskVolumeData& volume);

// The first row of the outline, at any depth, whose label is `label`, or
// starts with it when `prefix` (in any case).
QModelIndex FindRow(windows::CommOutlineView& outline, const QString& label, bool prefix);
// The first row of the file list whose name contains `text`, or -1.
int ListRow(windows::QVDeletailWindowController& w, const QString& text, Qt::CaseSensitivity cs);
// Runs the event loop until the window's scan has ended (five minutes at the
// most); false when the scan still runs.
bool WaitForScanEnd(windows::QVDeletailWindowController& w);

}  // namespace shots
