#pragma once
// The program-wide key filter that gives every window the standard editing
// shortcuts (cut, copy, paste, undo, redo, select all).

#include <QObject>

class QKeyEvent;

namespace ui {

// Gives every window the standard editing shortcuts whether or not a menu
// carries them: Ctrl+X, C, V, Z, A and Ctrl+Shift+Z are sent as cut, copy,
// paste, undo, selectAll and redo to the first widget of the focus chain
// that has that slot, before shortcuts and key handling see the key.
class MyNSApplication : public QObject {
  Q_OBJECT
 public:
  explicit MyNSApplication(QObject* parent = nullptr);

  // Installs the filter on the running application; owned by it.
  static MyNSApplication* install();

  // The editing slot for a key press, or nullptr for an ordinary key.
  static const char* actionForKey(int key, Qt::KeyboardModifiers modifiers);
  // Sends the action along the focus chain; false when no widget takes it.
  static bool sendAction(const char* action);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace ui
