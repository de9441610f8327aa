// A stand-in for the main program "quarnel" in the start-up and launcher
// tests: the real start-up rules, then it prints what it was given instead of
// opening windows.
#include <cstdio>
#include <string>
#include <vector>

#include "app/Startup.h"
#include "platform/ProcessPaths.h"
#include "platform/ProcessStart.h"

namespace {

class PrintedSettings final : public app::StartupSettings {
 public:
  void setCurLanguage(const std::string& code) override {
    std::printf("argv = %s\n", code.c_str());
    std::fprintf(stderr, "set lanague to = %s\n", code.c_str());
  }
  void SetRsfPath(const std::string& path) override { m_rsfPath = path; }
  const std::string& RsfPath() const { return m_rsfPath; }

 private:
  std::string m_rsfPath;
};

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv, argv + argc);
  platform::SystemProcessStarter starter;
  PrintedSettings settings;
  const app::StartupOutcome outcome = app::RunStartup(args, starter, settings, platform::ExecutableDirectory());
  if (outcome.exitNow) {
    std::printf("launcher started; exiting\n");
    return 0;
  }
  if (outcome.relaunchFailed) std::printf("launcher not started; running unprivileged\n");
  std::printf("privileged = %s\n", platform::IsRoot() ? "yes" : "no");
  for (std::size_t i = 1; i < args.size(); ++i) std::printf("arg[%zu] = %s\n", i, args[i].c_str());
  std::printf("rsfPath = %s\n", settings.RsfPath().c_str());
  std::printf("would open the main window\n");
  std::fflush(stdout);
  return 0;
}
