#pragma once
// The main program's command line: who started it and with what.

#include <optional>
#include <string>
#include <vector>

namespace app {

inline constexpr const char* kLoaderFlag = "*loaderflag*";
// The text that marks a saved scan-result path in the second argument.
inline constexpr const char* kSavedResultMark = ".Quarnel";

struct StartupArguments {
  bool relaunchLauncher = false;        // started directly: hand over to the launcher
  std::optional<std::string> language;  // the language to run in, when given
  std::string rsfPath;                  // saved result to load at start, or ""
};

// `argv` includes argv[0].
StartupArguments ParseStartupArguments(const std::vector<std::string>& argv);

}  // namespace app
