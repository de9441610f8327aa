#include "ui/bridge_qt/NotificationRelay.h"

#include <QString>
#include <QThread>

#include "ui/toolkit/NotificationCenter.h"

namespace bridge_qt {

NotificationRelay::NotificationRelay(QObject* parent) : QObject(parent) {
  QThread* gui = thread();
  token_ = bridge::NotificationCenter::Default().AddObserver("", [gui](const std::string& name) {
    const QString qname = QString::fromStdString(name);
    auto& centre = ui::NotificationCenter::defaultCenter();
    // The bridge posts on the main thread through the dispatcher; a post
    // made on another thread is queued rather than delivered there.
    if (QThread::currentThread() == gui)
      centre.post(qname);
    else
      centre.postOnMain(qname);
  });
}

NotificationRelay::~NotificationRelay() { bridge::NotificationCenter::Default().RemoveObserver(token_); }

}  // namespace bridge_qt
