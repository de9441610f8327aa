#include "ui/windows/QVSaveResultFlow.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>

#include <unistd.h>

#include <cstdio>

#include "bridge/QVUIController.h"
#include "bridge/SaveRestoreResult.h"
#include "ui/toolkit/Modal.h"
#include "ui/toolkit/Strings.h"
#include "ui/windows/QVProgressWindow.h"

namespace windows {
namespace {

QString text(const char* key) { return ui::Strings::text(QString::fromLatin1(key)); }

const QString kSuffix = QStringLiteral(".Quarnel");

enum class Answer { ChangeDestination, Cancel, Go };

Answer askCannotWrite(QWidget* window) {
  ui::AlertSpec spec;
  spec.parent = window;
  spec.message = QStringLiteral("Warning!");
  spec.informative = text("SAVE_CANNOT_WRITE");
  spec.defaultButton = text("CHANG_DESTINATION");
  spec.alternateButton = text("NQT_FOUR_SCAN_BACKHOME_NO_BUTTON");
  return ui::Modal().alert(spec) == 1 ? Answer::ChangeDestination : Answer::Cancel;
}

Answer askSameDevice(QWidget* window) {
  ui::AlertSpec spec;
  spec.parent = window;
  spec.message = text("SAVE_SAME_DISK_WARNING");
  spec.informative = text("SAVE_SAME_DISK_PROMPT");
  spec.defaultButton = text("CHANG_DESTINATION");
  spec.alternateButton = text("NQT_FOUR_SCAN_BACKHOME_NO_BUTTON");
  spec.otherButton = text("NQT_FOUR_SAVE_SAME_PATH_YES_BUTTON");
  const int answer = ui::Modal().alert(spec);
  return answer == 1 ? Answer::ChangeDestination : (answer == -1 ? Answer::Go : Answer::Cancel);
}

QString startFolder() {
  const QString last = QString::fromStdString(QVUIController::GetSavePath());
  if (!last.isEmpty()) {
    const QFileInfo info(last);
    const QString dir = info.isDir() ? info.absoluteFilePath() : info.absolutePath();
    if (QFileInfo(dir).isDir()) return dir;
  }
  return QDir::homePath();
}

// The chosen file, checked; "" when the user gave up.
QString chooseResultFile(QWidget* window) {
  const QString name = safeResultFileName(QString::fromStdString(QVUIController::GetSaveFileName())) + kSuffix;
  for (;;) {
    QString path = ui::Modal().saveFile(window, text("SAVE_SCAN_RESULT"), QDir(startFolder()).filePath(name),
                                        QStringLiteral("Quarnel scan results (*.Quarnel)"));
    if (path.isEmpty()) return {};
    if (!path.endsWith(kSuffix)) path += kSuffix;
    const QString folder = QFileInfo(path).absolutePath();
    if (::access(QFile::encodeName(folder).constData(), W_OK) != 0) {
      if (askCannotWrite(window) == Answer::ChangeDestination) continue;
      return {};
    }
    if (QVUIController::IsRecoveryToSameDevice(QFile::encodeName(folder).toStdString())) {
      const Answer answer = askSameDevice(window);
      if (answer == Answer::ChangeDestination) continue;
      if (answer == Answer::Cancel) return {};
    }
    return path;
  }
}

}  // namespace

QString safeResultFileName(const QString& name) {
  QString out;
  out.reserve(name.size());
  for (const QChar c : name) {
    if (c == QLatin1Char(':'))
      out += QLatin1Char('.');
    else if (c.unicode() < 0x20 || QStringLiteral("/\\*?\"<>|").contains(c))
      out += QLatin1Char('_');
    else
      out += c;
  }
  while (!out.isEmpty() && (out.endsWith(QLatin1Char('.')) || out.endsWith(QLatin1Char(' ')))) out.chop(1);
  while (!out.isEmpty() && out.startsWith(QLatin1Char(' '))) out.remove(0, 1);
  return out.isEmpty() ? QStringLiteral("Scan result") : out;
}

bool exportScanResult(QWidget* window) {
  const QString path = chooseResultFile(window);
  if (path.isEmpty()) return false;
  std::fprintf(stderr, "Call Logic code save file %s\n", QFile::encodeName(path).constData());
  QVProgressWindow progress;
  progress.setStrPostName(QStringLiteral("QueryProgressInfo"));
  progress.setBSave(true);
  progress.start();
  QVUIController::RestorPostUIUpdate("QueryProgressInfo", 1);
  const int started = QVUIController::beginSaveOrRestoreNode(1, QFile::encodeName(path).toStdString(), "");
  if (started != 0)
    progress.failedToStart(started == -3 ? QStringLiteral("Another job is still running.")
                                         : QString::fromStdString(SaveRestoreResult::GetLastError(1)));
  if (window != nullptr && window->isVisible())
    progress.move(window->frameGeometry().center() - progress.rect().center());
  ui::Modal().runModal(&progress);
  if (window != nullptr) window->activateWindow();
  if (!progress.getResult()) return false;
  QVUIController::SavePathToPList(QFile::encodeName(path).toStdString());
  return true;
}

}  // namespace windows
