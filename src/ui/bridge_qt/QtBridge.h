#pragma once
// The Qt side of the engine bridge, installed for the life of one object:
// the GUI-thread dispatcher, the relay of the bridge's notifications into
// ui::NotificationCenter, the user settings, the localised texts and the
// thumbnail maker. Make it after the QApplication and before the first
// bridge call; it restores the bridge's headless defaults when it goes
// (after the jobs have ended).

#include <QString>

#include <memory>

#include "ui/bridge_qt/NotificationRelay.h"
#include "ui/bridge_qt/QtLocalizer.h"
#include "ui/bridge_qt/QtMainThreadDispatcher.h"
#include "ui/bridge_qt/QtSettings.h"
#include "ui/bridge_qt/QtThumbnailMaker.h"

namespace bridge_qt {

class QtBridge {
 public:
  struct Options {
    // Settings file; empty for the user's own (QtSettings()).
    QString settingsFile;
  };
  QtBridge();
  explicit QtBridge(const Options& options);
  ~QtBridge();
  QtBridge(const QtBridge&) = delete;
  QtBridge& operator=(const QtBridge&) = delete;

  QtSettings& settings() { return *settings_; }
  QtLocalizer& localizer() { return *localizer_; }
  QtThumbnailMaker& thumbnails() { return *thumbnails_; }
  QtMainThreadDispatcher& dispatcher() { return *dispatcher_; }

 private:
  std::unique_ptr<QtMainThreadDispatcher> dispatcher_;
  std::unique_ptr<NotificationRelay> relay_;
  std::unique_ptr<QtSettings> settings_;
  std::unique_ptr<QtLocalizer> localizer_;
  std::unique_ptr<QtThumbnailMaker> thumbnails_;
};

}  // namespace bridge_qt
