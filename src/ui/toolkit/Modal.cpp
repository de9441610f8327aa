#include "ui/toolkit/Modal.h"

#include <QDesktopServices>
#include <QEventLoop>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include "ui/toolkit/ImageStore.h"

namespace ui {
namespace {

DesktopModalRunner g_desktop;
ModalRunner* g_runner = nullptr;

}  // namespace

ModalRunner& Modal() { return g_runner != nullptr ? *g_runner : g_desktop; }

void SetModalRunner(ModalRunner* runner) { g_runner = runner; }

int DesktopModalRunner::runModal(QWidget* window) {
  if (window == nullptr) return 0;
  QEventLoop loop;
  Session session{window, &loop, 0, false};
  sessions_.push_back(&session);
  const Qt::WindowModality before = window->windowModality();
  window->setWindowModality(Qt::ApplicationModal);
  window->show();
  window->raise();
  window->activateWindow();
  // A window destroyed during its session ends it.
  QObject::connect(window, &QObject::destroyed, &loop, [&session] {
    session.stopped = true;
    session.loop->quit();
  });
  if (!session.stopped) loop.exec(QEventLoop::DialogExec);
  std::erase(sessions_, &session);
  if (session.window) session.window->setWindowModality(before);
  return session.code;
}

void DesktopModalRunner::stopModal(QWidget* window, int code) {
  for (Session* s : sessions_) {
    if (s->window == window && !s->stopped) {
      s->code = code;
      s->stopped = true;
      s->loop->quit();
      return;
    }
  }
}

bool DesktopModalRunner::isModalRunning(QWidget* window) const {
  for (const Session* s : sessions_)
    if (s->window == window && !s->stopped) return true;
  return false;
}

int DesktopModalRunner::alert(const AlertSpec& spec) {
  QMessageBox box(spec.parent);
  box.setIconPixmap(
      ImageStore::pixmap(QStringLiteral("warning")).scaled(48, 48, Qt::KeepAspectRatio, Qt::SmoothTransformation));
  box.setText(spec.message);
  box.setInformativeText(spec.informative);
  if (spec.parent != nullptr) box.setWindowModality(Qt::WindowModal);
  QPushButton* def =
      box.addButton(spec.defaultButton.isEmpty() ? QStringLiteral("OK") : spec.defaultButton, QMessageBox::AcceptRole);
  if (!spec.alternateButton.isEmpty()) box.addButton(spec.alternateButton, QMessageBox::RejectRole);
  QPushButton* other =
      spec.otherButton.isEmpty() ? nullptr : box.addButton(spec.otherButton, QMessageBox::DestructiveRole);
  box.setDefaultButton(def);
  box.exec();
  if (box.clickedButton() == def) return 1;
  if (other != nullptr && box.clickedButton() == other) return -1;
  return 0;
}

QString DesktopModalRunner::openFile(QWidget* parent, const QString& caption, const QString& folder,
                                     const QString& filter) {
  return QFileDialog::getOpenFileName(parent, caption, folder, filter);
}

QString DesktopModalRunner::saveFile(QWidget* parent, const QString& caption, const QString& pathOrFolder,
                                     const QString& filter) {
  return QFileDialog::getSaveFileName(parent, caption, pathOrFolder, filter);
}

QString DesktopModalRunner::chooseFolder(QWidget* parent, const QString& caption, const QString& folder) {
  return QFileDialog::getExistingDirectory(parent, caption, folder);
}

bool DesktopModalRunner::openUrl(const QUrl& url) { return url.isValid() && QDesktopServices::openUrl(url); }

int ScriptedModalRunner::runModal(QWidget* window) {
  if (window == nullptr) return 0;
  modalWindows.emplace_back(window);
  running_[window] = 1;
  stopped_.erase(window);
  window->show();
  if (onModal) onModal(window);
  running_.erase(window);
  const auto it = stopped_.find(window);
  const int code = it != stopped_.end() ? it->second : unansweredCode;
  stopped_.erase(window);
  return code;
}

void ScriptedModalRunner::stopModal(QWidget* window, int code) {
  if (running_.count(window) != 0 && stopped_.count(window) == 0) stopped_[window] = code;
}

bool ScriptedModalRunner::isModalRunning(QWidget* window) const {
  return running_.count(window) != 0 && stopped_.count(window) == 0;
}

int ScriptedModalRunner::alert(const AlertSpec& spec) {
  alerts.push_back(spec);
  if (alertAnswers.empty()) return 1;
  const int answer = alertAnswers.front();
  alertAnswers.pop_front();
  return answer;
}

QString ScriptedModalRunner::nextFile(const QString& record) {
  fileQuestions.push_back(record);
  if (fileAnswers.empty()) return {};
  QString answer = fileAnswers.front();
  fileAnswers.pop_front();
  return answer;
}

QString ScriptedModalRunner::openFile(QWidget*, const QString& caption, const QString& folder, const QString& filter) {
  return nextFile(QStringList{QStringLiteral("open"), caption, folder, filter}.join(QLatin1Char('|')));
}

QString ScriptedModalRunner::saveFile(QWidget*, const QString& caption, const QString& pathOrFolder,
                                      const QString& filter) {
  return nextFile(QStringList{QStringLiteral("save"), caption, pathOrFolder, filter}.join(QLatin1Char('|')));
}

QString ScriptedModalRunner::chooseFolder(QWidget*, const QString& caption, const QString& folder) {
  return nextFile(QStringList{QStringLiteral("folder"), caption, folder}.join(QLatin1Char('|')));
}

bool ScriptedModalRunner::openUrl(const QUrl& url) {
  openedUrls.push_back(url);
  return url.isValid();
}

}  // namespace ui
