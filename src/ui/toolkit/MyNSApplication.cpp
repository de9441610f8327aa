#include "ui/toolkit/MyNSApplication.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace ui {
namespace {

QWidget* responderFor(const char* action) {
  const QByteArray signature = QByteArray(action) + "()";
  for (QWidget* w = QApplication::focusWidget(); w; w = w->parentWidget()) {
    if (w->metaObject()->indexOfMethod(signature.constData()) >= 0) return w;
    if (w->isWindow()) break;
  }
  return nullptr;
}

}  // namespace

MyNSApplication::MyNSApplication(QObject* parent) : QObject(parent) {}

MyNSApplication* MyNSApplication::install() {
  auto* app = QCoreApplication::instance();
  if (!app) return nullptr;
  if (auto* existing = app->findChild<MyNSApplication*>(QString(), Qt::FindDirectChildrenOnly)) return existing;
  auto* filter = new MyNSApplication(app);
  app->installEventFilter(filter);
  return filter;
}

const char* MyNSApplication::actionForKey(int key, Qt::KeyboardModifiers modifiers) {
  const Qt::KeyboardModifiers m =
      modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
  if (m == Qt::ControlModifier) {
    switch (key) {
      case Qt::Key_X:
        return "cut";
      case Qt::Key_C:
        return "copy";
      case Qt::Key_V:
        return "paste";
      case Qt::Key_Z:
        return "undo";
      case Qt::Key_A:
        return "selectAll";
      default:
        return nullptr;
    }
  }
  if (m == (Qt::ControlModifier | Qt::ShiftModifier) && key == Qt::Key_Z) return "redo";
  return nullptr;
}

bool MyNSApplication::sendAction(const char* action) {
  QWidget* target = responderFor(action);
  return target && QMetaObject::invokeMethod(target, action, Qt::DirectConnection);
}

bool MyNSApplication::eventFilter(QObject* watched, QEvent* event) {
  const auto type = event->type();
  if ((type == QEvent::KeyPress || type == QEvent::ShortcutOverride) && watched->isWidgetType()) {
    auto* key = static_cast<QKeyEvent*>(event);
    const char* action = actionForKey(key->key(), key->modifiers());
    // Only the event sent to the focus widget counts, not its propagation.
    if (action && watched == QApplication::focusWidget() && responderFor(action)) {
      if (type == QEvent::ShortcutOverride) {
        event->accept();  // keeps menu shortcuts from taking it
        return true;
      }
      if (sendAction(action)) return true;
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace ui
