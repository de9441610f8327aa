// quarnel-launcher: starts the main program with administrator rights and quits.
#include <string>
#include <vector>

#include "launcher/QVAppDelegate.h"
#include "platform/ProcessStart.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv, argv + argc);
  platform::SystemProcessStarter starter;
  return launcher::LoaderMain(args, starter, launcher::LauncherSettingsFromEnvironment());
}
