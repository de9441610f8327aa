#pragma once
// The main program's start-up before any window exists.

#include <string>
#include <vector>

#include "app/StartupArguments.h"
#include "platform/ProcessStart.h"

namespace app {

// The launcher's executable name, in the main program's own folder.
inline constexpr const char* kLauncherName = "quarnel-launcher";

// Where the start-up records what the windows read later.
class StartupSettings {
 public:
  virtual ~StartupSettings() = default;
  // "AppleLanguages" = [code].
  virtual void setCurLanguage(const std::string& code) = 0;
  // "rsfPath".
  virtual void SetRsfPath(const std::string& path) = 0;
};

// Starts the launcher beside the main program, unprivileged; true when it started.
bool WXManRunLoader(platform::ProcessStarter& starter, const std::string& programDirectory);

struct StartupOutcome {
  bool exitNow = false;  // the launcher took over: end the process with status 0
  bool relaunchFailed = false;
  StartupArguments arguments;
};

// Steps before the run loop: log, language, relaunch, "rsfPath".
StartupOutcome RunStartup(const std::vector<std::string>& argv, platform::ProcessStarter& starter,
                          StartupSettings& settings, const std::string& programDirectory);

}  // namespace app
