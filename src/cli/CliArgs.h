#pragma once
// The command line of quarnel-cli.

#include <optional>
#include <string>
#include <vector>

namespace cli {

enum class Command { kHelp, kVersion, kDevices, kScan, kRecover, kLoad, kImage };

struct Options {
  Command command = Command::kHelp;
  std::string source;
  std::string destination;  // recover --to DIR, image --to FILE
  std::optional<int> volume;
  bool deep = false;
  bool disk = false;
  unsigned types = 127;
  std::string match;
  bool json = false;
  std::string saveTo;  // scan --save FILE
  std::string image;   // load --image PATH, recover --result FILE --image PATH
  std::string result;  // recover --result FILE: a saved scan result instead of SOURCE
  bool help = false;   // COMMAND --help
  bool qdi = false;    // image --qdi: the program's own image format
};

// Parses argv; false with `error` set on a bad argument.
bool ParseArguments(const std::vector<std::string>& args, Options& out, std::string& error);
// Category mask of a --types list ("documents,pictures", "all").
bool ParseTypes(const std::string& list, unsigned& mask, std::string& error);

const char* UsageText();
// The help of one command (its synopsis, options and exit codes).
std::string CommandHelp(Command command);

}  // namespace cli
