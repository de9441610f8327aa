#pragma once
// Progress on stderr (redrawn in place on a terminal, plain lines
// otherwise) and the Ctrl-C request.

#include <chrono>
#include <string>

namespace cli {

class ProgressLine {
 public:
  ProgressLine();
  // Shows the text: redrawn in place on a terminal; else written as a line
  // when it changed and at least a second passed.
  void Show(const std::string& text);
  // Ends the in-place line.
  void Finish();
  // A line of its own between progress updates (the in-place line is
  // cleared first and drawn again by the next Show).
  void Note(const std::string& text);

 private:
  bool m_tty;
  std::string m_last;
  std::string m_latest;
  std::size_t m_width = 0;
  std::chrono::steady_clock::time_point m_lastLine{};
};

// "1.5 GB", "730 KB", "12 bytes" (powers of 1000, as disks are sold).
std::string HumanBytes(double bytes);
// "  45.2 MB/s  00:01:12 left" from `done` of `total` bytes after `seconds`;
// the rate and time left show as soon as anything was done.
std::string RateAndTimeLeft(double done, double total, double seconds);

// Ctrl-C (and SIGTERM) set a flag instead of ending the process.
void InstallInterruptHandler();
bool InterruptRequested();

// Sends the standard output of the engine's console lines away, keeping a
// stream of our own for the program's output.
std::FILE* TakeStandardOutput();

}  // namespace cli
