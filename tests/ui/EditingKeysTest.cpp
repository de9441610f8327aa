// The editing shortcuts every window gets from the application's key
// filter.

#include "UiTestSupport.h"

#include "ui/toolkit/MyNSApplication.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

using namespace ui;

namespace {

// Counts the key presses that reach a widget.
struct KeyCounter : QObject {
  int presses = 0;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() != QEvent::KeyPress) return false;
    // QTest presses the modifier keys themselves first.
    const int key = static_cast<QKeyEvent*>(e)->key();
    if (key != Qt::Key_Control && key != Qt::Key_Shift && key != Qt::Key_Alt && key != Qt::Key_Meta) ++presses;
    return false;
  }
};

struct KeysFixture : ::testing::Test {
  QWidget window;
  QLineEdit* edit = nullptr;
  QWidget* plain = nullptr;
  KeyCounter counter;
  void SetUp() override {
    MyNSApplication::install();
    auto* layout = new QVBoxLayout(&window);
    edit = new QLineEdit(&window);
    plain = new QWidget(&window);
    plain->setFocusPolicy(Qt::StrongFocus);
    layout->addWidget(edit);
    layout->addWidget(plain);
    edit->installEventFilter(&counter);
    plain->installEventFilter(&counter);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    edit->setFocus();
  }
};

}  // namespace

TEST(MyNSApplication, KeyTable) {
  struct Case {
    int key;
    Qt::KeyboardModifiers mods;
    const char* action;
  };
  const Case cases[] = {
      {Qt::Key_X, Qt::ControlModifier, "cut"},
      {Qt::Key_C, Qt::ControlModifier, "copy"},
      {Qt::Key_V, Qt::ControlModifier, "paste"},
      {Qt::Key_Z, Qt::ControlModifier, "undo"},
      {Qt::Key_A, Qt::ControlModifier, "selectAll"},
      {Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier, "redo"},
      {Qt::Key_C, Qt::ControlModifier | Qt::KeypadModifier, "copy"},
      {Qt::Key_C, Qt::ControlModifier | Qt::AltModifier, nullptr},
      {Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier, nullptr},
      {Qt::Key_C, Qt::MetaModifier, nullptr},
      {Qt::Key_C, Qt::NoModifier, nullptr},
      {Qt::Key_Z, Qt::ShiftModifier, nullptr},
      {Qt::Key_B, Qt::ControlModifier, nullptr},
  };
  for (const Case& c : cases) {
    const char* got = MyNSApplication::actionForKey(c.key, c.mods);
    if (c.action)
      EXPECT_STREQ(got, c.action) << c.key;
    else
      EXPECT_EQ(got, nullptr) << c.key << " " << int(c.mods);
  }
}

TEST_F(KeysFixture, EditingKeysActOnTheFocusedFieldBeforeItSeesTheKey) {
  edit->setText(QStringLiteral("hello world"));
  edit->setSelection(0, 5);
  QApplication::clipboard()->clear();
  QTest::keyClick(edit, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("hello"));
  EXPECT_EQ(counter.presses, 0);

  QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(edit->selectedText(), QStringLiteral("hello world"));
  QTest::keyClick(edit, Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(edit->text(), QString());
  QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(edit->text(), QStringLiteral("hello world"));
  QTest::keyClick(edit, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(edit->text(), QString());
  QTest::keyClick(edit, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(edit->text(), QStringLiteral("hello world"));
  EXPECT_EQ(counter.presses, 0);
}

TEST_F(KeysFixture, OrdinaryKeysReachTheWidget) {
  edit->clear();
  QTest::keyClick(edit, Qt::Key_C);
  QTest::keyClick(edit, 'Z', Qt::ShiftModifier);
  EXPECT_EQ(edit->text(), QStringLiteral("cZ"));
  QTest::keyClick(edit, Qt::Key_C, Qt::ControlModifier | Qt::AltModifier);
  EXPECT_EQ(counter.presses, 3);
}

TEST_F(KeysFixture, WithoutATakerTheKeyGoesOnToShortcutsAndTheWidget) {
  int triggered = 0;
  auto* cut = new QAction(&window);
  cut->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));
  window.addAction(cut);
  QObject::connect(cut, &QAction::triggered, [&] { ++triggered; });

  plain->setFocus();
  QTest::keyClick(plain, Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(triggered, 1);  // the window's own shortcut ran

  window.removeAction(cut);
  QTest::keyClick(plain, Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(counter.presses, 1);  // the widget saw the key

  // With a taker in focus, the shortcut does not run.
  window.addAction(cut);
  edit->setFocus();
  edit->setText(QStringLiteral("abc"));
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(triggered, 1);
  EXPECT_EQ(edit->text(), QString());
}
