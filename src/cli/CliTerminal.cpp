#include "cli/CliTerminal.h"

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

namespace cli {

namespace {
volatile std::sig_atomic_t g_interrupted = 0;
extern "C" void OnInterrupt(int) { g_interrupted = 1; }
}  // namespace

ProgressLine::ProgressLine() : m_tty(::isatty(STDERR_FILENO) == 1) {}

void ProgressLine::Show(const std::string& text) {
  if (m_tty) {
    std::string line = "\r" + text;
    if (text.size() < m_width) line += std::string(m_width - text.size(), ' ');
    m_width = text.size();
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
    return;
  }
  const auto now = std::chrono::steady_clock::now();
  m_latest = text;
  if (text == m_last || now - m_lastLine < std::chrono::seconds(1)) return;
  m_last = text;
  m_lastLine = now;
  std::fprintf(stderr, "%s\n", text.c_str());
}

void ProgressLine::Finish() {
  // Plain output: the last state is always shown, however soon it came.
  if (!m_tty && !m_latest.empty() && m_latest != m_last) std::fprintf(stderr, "%s\n", m_latest.c_str());
  m_last = m_latest;
  if (m_tty && m_width > 0) std::fputc('\n', stderr);
  m_width = 0;
}

void ProgressLine::Note(const std::string& text) {
  if (m_tty && m_width > 0) std::fprintf(stderr, "\r%s\r", std::string(m_width, ' ').c_str());
  m_width = 0;
  std::fprintf(stderr, "%s\n", text.c_str());
  std::fflush(stderr);
}

std::string HumanBytes(double bytes) {
  static const char* const kUnits[] = {"bytes", "KB", "MB", "GB", "TB", "PB"};
  std::size_t unit = 0;
  while (bytes >= 1000.0 && unit + 1 < sizeof kUnits / sizeof kUnits[0]) {
    bytes /= 1000.0;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", bytes, kUnits[unit]);
  return text;
}

std::string RateAndTimeLeft(double done, double total, double seconds) {
  if (seconds <= 0 || done <= 0) return "  rate -  time left -";
  const double rate = done / seconds;
  const double left = total > done ? (total - done) / rate : 0.0;
  char text[96];
  if (left >= 100.0 * 3600) {
    std::snprintf(text, sizeof text, "  %s/s  more than 100 h left", HumanBytes(rate).c_str());
  } else {
    const auto secs = static_cast<long long>(left + 0.5);
    std::snprintf(text, sizeof text, "  %s/s  %02lld:%02lld:%02lld left", HumanBytes(rate).c_str(), secs / 3600,
                  secs / 60 % 60, secs % 60);
  }
  return text;
}

void InstallInterruptHandler() {
  struct sigaction sa {};
  sa.sa_handler = OnInterrupt;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
}

bool InterruptRequested() { return g_interrupted != 0; }

std::FILE* TakeStandardOutput() {
  std::fflush(stdout);
  const int ours = ::dup(STDOUT_FILENO);
  const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (ours < 0 || null < 0) return stdout;
  ::dup2(null, STDOUT_FILENO);
  ::close(null);
  std::FILE* out = ::fdopen(ours, "w");
  return out != nullptr ? out : stdout;
}

}  // namespace cli
