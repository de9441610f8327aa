#pragma once
// Waiting in the tests of windows: the event loop runs while the test waits,
// so that queued calls, timers and painting go on.

#include <QCoreApplication>
#include <QElapsedTimer>

namespace testsupport {

// Runs the event loop in slices of at most `sliceMs` until `done()` holds or
// `ms` have passed; whether `done()` holds at the end.
template <typename F>
bool RunEventsUntil(F&& done, int ms, int sliceMs = 20) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, sliceMs);
  return done();
}

// Runs the event loop for `ms`.
inline void RunEventsFor(int ms) {
  RunEventsUntil([] { return false; }, ms);
}

}  // namespace testsupport
