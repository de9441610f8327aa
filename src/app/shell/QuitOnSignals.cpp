#include "app/shell/QuitOnSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>

namespace shell {
namespace {

int g_pipe[2] = {-1, -1};

void onSignal(int) {
  const char byte = 1;
  if (g_pipe[1] >= 0) (void)!::write(g_pipe[1], &byte, 1);
}

}  // namespace

QuitOnSignals::QuitOnSignals(QObject* parent) : QObject(parent) {
  if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  notifier_ = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [] {
    char buf[16];
    while (::read(g_pipe[0], buf, sizeof buf) > 0) {
    }
    // Every event loop ends, modal sessions too; no window may refuse.
    QCoreApplication::exit(0);
  });
  struct sigaction sa {};
  sa.sa_handler = onSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(sig, &sa, nullptr);
}

QuitOnSignals::~QuitOnSignals() {
  struct sigaction sa {};
  sa.sa_handler = SIG_DFL;
  sigemptyset(&sa.sa_mask);
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(sig, &sa, nullptr);
}

}  // namespace shell
