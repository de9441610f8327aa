// quarnel-cli: the engine driven from a terminal.

#include <cstdio>
#include <string>
#include <vector>

#include "bridge/MainThreadDispatcher.h"
#include "cli/CliArgs.h"
#include "cli/CliCommands.h"
#include "cli/CliTerminal.h"
#include "core/util/WindowWaits.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    std::fprintf(stderr, "quarnel-cli: missing COMMAND\n\n%s", cli::UsageText());
    return 2;
  }
  cli::Options options;
  std::string error;
  if (!cli::ParseArguments(args, options, error)) {
    std::fprintf(stderr, "quarnel-cli: %s\n\n%s", error.c_str(), cli::UsageText());
    return 2;
  }
  if (options.help) {
    std::fputs(cli::CommandHelp(options.command).c_str(), stdout);
    return 0;
  }
  switch (options.command) {
    case cli::Command::kHelp:
      std::fputs(cli::UsageText(), stdout);
      return 0;
    case cli::Command::kVersion:
      std::puts("quarnel-cli " QUARNEL_VERSION);
      return 0;
    default:
      break;
  }
  // No window lays out the trees: the scan need not pause for one.
  window_waits::SetEnabled(false);
  std::FILE* out = cli::TakeStandardOutput();
  bridge::DefaultQueue().BindToCurrentThread();
  cli::InstallInterruptHandler();
  switch (options.command) {
    case cli::Command::kDevices:
      return cli::RunDevices(options, out);
    case cli::Command::kScan:
      return cli::RunScan(options, out);
    case cli::Command::kRecover:
      return cli::RunRecover(options, out);
    case cli::Command::kLoad:
      return cli::RunLoad(options, out);
    case cli::Command::kImage:
      return cli::RunImage(options, out);
    default:
      return 2;
  }
}
