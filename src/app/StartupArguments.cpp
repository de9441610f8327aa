#include "app/StartupArguments.h"

namespace app {

StartupArguments ParseStartupArguments(const std::vector<std::string>& argv) {
  StartupArguments parsed;
  if (argv.size() < 2 || argv[1].empty()) {
    parsed.relaunchLauncher = true;
  } else {
    const std::string& first = argv[1];
    const std::string flag = kLoaderFlag;
    if (first.size() >= flag.size() && first.compare(first.size() - flag.size(), flag.size(), flag) == 0) {
      parsed.language = first.substr(0, first.size() - flag.size());
    } else {
      parsed.language = first;
    }
  }
  if (argv.size() >= 3 && argv[2].find(kSavedResultMark) != std::string::npos) parsed.rsfPath = argv[2];
  return parsed;
}

}  // namespace app
