#include "ui/bridge_qt/QtBridge.h"

#include <QIcon>

namespace bridge_qt {

QtBridge::QtBridge() : QtBridge(Options{}) {}

QtBridge::QtBridge(const Options& options)
    : dispatcher_(std::make_unique<QtMainThreadDispatcher>()),
      relay_(std::make_unique<NotificationRelay>()),
      settings_(options.settingsFile.isEmpty() ? std::make_unique<QtSettings>()
                                               : std::make_unique<QtSettings>(options.settingsFile)),
      localizer_(std::make_unique<QtLocalizer>()),
      // The desktop's icon theme is read here, on the GUI thread.
      thumbnails_(std::make_unique<QtThumbnailMaker>(
          bridge::kThumbnailSide, QIcon::themeName().isEmpty() ? QStringList() : QStringList{QIcon::themeName()})) {
  bridge::SetMainThreadDispatcher(dispatcher_.get());
  bridge::SetSettings(settings_.get());
  bridge::SetLocalizer(localizer_.get());
  bridge::SetThumbnailMaker(thumbnails_.get());
}

QtBridge::~QtBridge() {
  bridge::SetThumbnailMaker(nullptr);
  bridge::SetLocalizer(nullptr);
  bridge::SetSettings(nullptr);
  bridge::SetMainThreadDispatcher(nullptr);
}

}  // namespace bridge_qt
