#pragma once
// The application's delegate: the launch sequence (the media monitor, the
// update check at most every seven days, then the main window), the menu
// that the main window's band carries in place of a menu bar, and what a
// request to quit does while a scan runs (it asks, with the scan paused).

#include <QDateTime>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QToolButton>

#include <functional>
#include <memory>

#include "app/shell/QVMediaMonitor.h"
#include "ui/windows/QVCheckUpdateWindowController.h"
#include "ui/windows/QVRootWindowController.h"

namespace shell {

class QVAppDelegate : public QObject {
  Q_OBJECT
 public:
  struct Options {
    // Start the media monitor at launch.
    bool mediaMonitor = true;
    // What ends the program (the run loop's end by default).
    std::function<void()> terminate;
    // The time now (tests set it).
    std::function<QDateTime()> now;
  };

  QVAppDelegate();
  explicit QVAppDelegate(Options options);
  ~QVAppDelegate() override;

  void applicationDidFinishLaunching();
  // Makes and shows the main window once.
  void runRootWindow();
  // After the user went back home from the results: a new main window
  // replaces the one that led there, and the device list is read again.
  void showRootWindowAfterHome();
  // Whether the stored time of the last check asks for one now.
  static bool shouldCheckForUpdate(const QString& stored, const QDateTime& now);

  // A request to quit: true when the program may end now. While a scan
  // runs it pauses the scan and asks; the answer ends the program or
  // lets the scan go on.
  bool applicationShouldTerminate();
  void applicationWillTerminate();

  // Menu actions.
  void aboutAction();
  void CheckUpAction();
  void ParticipateInCustomer();
  void openLink(const QString& key);
  void openImageAction();

  windows::QVRootWindowController* rootWindowCon() const { return rootWindowCon_; }
  windows::QVCheckUpdateWindowController* checkUpdateWindow() const { return checkUpdateWindow_; }
  QMenu* menu() const { return menu_.get(); }
  QToolButton* menuButton() const { return menuButton_; }
  QVMediaMonitor* mediaMonitor() const { return monitor_.get(); }

 signals:
  // The launch sequence has shown the main window.
  void rootWindowShown();

 private:
  void checkAtLaunch();
  void buildMenu();
  void attachMenuButton();
  void makeRootWindow();

  Options options_;
  std::unique_ptr<QVMediaMonitor> monitor_;
  QPointer<windows::QVRootWindowController> rootWindowCon_;
  std::unique_ptr<windows::QVRootWindowController> ownedRoot_;
  QPointer<windows::QVCheckUpdateWindowController> checkUpdateWindow_;
  std::unique_ptr<QMenu> menu_;
  QPointer<QToolButton> menuButton_;
  QAction* participate_ = nullptr;
  bool terminating_ = false;
};

}  // namespace shell
