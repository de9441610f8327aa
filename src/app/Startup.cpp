#include "app/Startup.h"

#include <cstdio>

namespace app {

bool WXManRunLoader(platform::ProcessStarter& starter, const std::string& programDirectory) {
  if (programDirectory.empty()) return false;
  const std::string launcher = programDirectory + "/" + kLauncherName;
  return starter.Start(launcher, {}, /*elevated=*/false) == platform::StartResult::Started;
}

StartupOutcome RunStartup(const std::vector<std::string>& argv, platform::ProcessStarter& starter,
                          StartupSettings& settings, const std::string& programDirectory) {
  const char* first = argv.size() >= 2 ? argv[1].c_str() : "(none)";
  const char* zeroth = argv.empty() ? "(none)" : argv[0].c_str();
  std::fprintf(stderr, "vyx path para[0] = %s, para[1] = %s\n", zeroth, first);

  StartupOutcome outcome;
  outcome.arguments = ParseStartupArguments(argv);
  if (outcome.arguments.relaunchLauncher) {
    if (WXManRunLoader(starter, programDirectory)) {
      outcome.exitNow = true;
      return outcome;
    }
    outcome.relaunchFailed = true;
  } else if (outcome.arguments.language) {
    settings.setCurLanguage(*outcome.arguments.language);
  }
  // Reset first so that a path of an earlier run never survives.
  settings.SetRsfPath("");
  if (!outcome.arguments.rsfPath.empty()) settings.SetRsfPath(outcome.arguments.rsfPath);
  return outcome;
}

}  // namespace app
