#pragma once
// Modal sessions, alerts, file choosers and opened links go through one
// replaceable runner, so that tests drive whole flows without a nested
// event loop that waits for a person.
//
//   int code = ui::Modal().runModal(window);   // until stopModal(window, c)
//   ui::Modal().stopModal(window, 1);
//   int answer = ui::Modal().alert(spec);      // 1 default, 0 alternate, -1 other
//   QString file = ui::Modal().openFile(parent, caption, folder, filter);

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QWidget>

#include <deque>
#include <functional>
#include <map>
#include <vector>

class QEventLoop;

namespace ui {

// A question with the icon "warning" (Conventions: default button returns
// 1, the alternate 0, the other -1).
struct AlertSpec {
  QWidget* parent = nullptr;  // sheet on this window, else application modal
  QString message;
  QString informative;
  QString defaultButton;    // "OK" when empty
  QString alternateButton;  // none when empty
  QString otherButton;      // none when empty
};

class ModalRunner {
 public:
  virtual ~ModalRunner() = default;
  // Shows the window modally and returns the code given to stopModal.
  virtual int runModal(QWidget* window) = 0;
  // Ends the modal session of the window (nothing when it has none).
  virtual void stopModal(QWidget* window, int code) = 0;
  virtual bool isModalRunning(QWidget* window) const = 0;
  virtual int alert(const AlertSpec& spec) = 0;
  // The chosen path, or "" when the user cancelled.
  virtual QString openFile(QWidget* parent, const QString& caption, const QString& folder, const QString& filter) = 0;
  virtual QString saveFile(QWidget* parent, const QString& caption, const QString& pathOrFolder,
                           const QString& filter) = 0;
  virtual QString chooseFolder(QWidget* parent, const QString& caption, const QString& folder) = 0;
  // Opens a web link or a folder with the desktop.
  virtual bool openUrl(const QUrl& url) = 0;
};

// For real: a nested event loop per session, Qt's message box and file
// dialogs, QDesktopServices.
class DesktopModalRunner final : public ModalRunner {
 public:
  int runModal(QWidget* window) override;
  void stopModal(QWidget* window, int code) override;
  bool isModalRunning(QWidget* window) const override;
  int alert(const AlertSpec& spec) override;
  QString openFile(QWidget* parent, const QString& caption, const QString& folder, const QString& filter) override;
  QString saveFile(QWidget* parent, const QString& caption, const QString& pathOrFolder,
                   const QString& filter) override;
  QString chooseFolder(QWidget* parent, const QString& caption, const QString& folder) override;
  bool openUrl(const QUrl& url) override;

 private:
  struct Session {
    QPointer<QWidget> window;
    QEventLoop* loop;
    int code;
    bool stopped;
  };
  std::vector<Session*> sessions_;
};

// For tests: never blocks. runModal shows the window and calls onModal,
// which may press buttons (and so call stopModal); the code is the one
// given to stopModal, else `unansweredCode`. Alerts, file choosers and
// links take their answers from queues and are recorded.
class ScriptedModalRunner final : public ModalRunner {
 public:
  int runModal(QWidget* window) override;
  void stopModal(QWidget* window, int code) override;
  bool isModalRunning(QWidget* window) const override;
  int alert(const AlertSpec& spec) override;
  QString openFile(QWidget* parent, const QString& caption, const QString& folder, const QString& filter) override;
  QString saveFile(QWidget* parent, const QString& caption, const QString& pathOrFolder,
                   const QString& filter) override;
  QString chooseFolder(QWidget* parent, const QString& caption, const QString& folder) override;
  bool openUrl(const QUrl& url) override;

  std::function<void(QWidget*)> onModal;
  int unansweredCode = 0;
  std::deque<int> alertAnswers;     // 1 when empty
  std::deque<QString> fileAnswers;  // "" (cancel) when empty
  // What was asked.
  std::vector<QPointer<QWidget>> modalWindows;
  std::vector<AlertSpec> alerts;
  std::vector<QString> fileQuestions;  // "open|caption|folder|filter" and the like
  std::vector<QUrl> openedUrls;

 private:
  QString nextFile(const QString& record);
  std::map<QWidget*, int> running_;
  std::map<QWidget*, int> stopped_;
};

ModalRunner& Modal();
// Installs a runner (not owned); null restores the desktop runner.
void SetModalRunner(ModalRunner* runner);

// Installs a scripted runner for the life of the object.
class ScopedModalRunner {
 public:
  explicit ScopedModalRunner(ModalRunner& runner) { SetModalRunner(&runner); }
  ~ScopedModalRunner() { SetModalRunner(nullptr); }
  ScopedModalRunner(const ScopedModalRunner&) = delete;
  ScopedModalRunner& operator=(const ScopedModalRunner&) = delete;
};

}  // namespace ui
