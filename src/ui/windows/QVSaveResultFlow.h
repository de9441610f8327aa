#pragma once
// Saving the scan result from the results window: the save panel with a
// default name, the checks on the chosen folder and their questions, the
// save on the bridge's thread with its progress window, and "SavePath"
// remembered once the save succeeded.

#include <QString>
#include <QWidget>

namespace windows {

// A file name that FAT, exFAT and NTFS accept: ':' becomes '.', the other
// characters they refuse (and control characters) '_', no trailing dots
// or spaces; never empty.
QString safeResultFileName(const QString& name);

// The whole save dialogue on `window`; true when a result was saved.
bool exportScanResult(QWidget* window);

}  // namespace windows
