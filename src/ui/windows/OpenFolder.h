#pragma once
// Opens a destination folder in the file manager. Normally through
// ui::Modal().openUrl (the desktop's handler). When the program runs as
// root under pkexec, a file manager started by root would run as root in
// the user's session, so the folder is opened as the user who started the
// program (PKEXEC_UID) with runuser and xdg-open; when that cannot be done
// the user is told why and where the folder is.

#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>

namespace windows {

// False when nothing was opened (empty path, or the reason was shown).
bool openFolderInFileManager(QWidget* parent, const QString& path);

// Starts a detached program; replaceable for tests (null restores).
using DetachedStarter = std::function<bool(const QString& program, const QStringList& args)>;
void setDetachedStarter(DetachedStarter starter);

}  // namespace windows
