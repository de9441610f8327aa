#pragma once
// The command line of quarnel-cli.

#include <optional>
#include <string>
#include <vector>

namespace cli {

enum class Command { kHelp, kVersion, kDevices, kScan, kRecover, kLoad };

struct Options {
  Command command = Command::kHelp;
  std::string source;
  std::string destination;  // recover --to
  std::optional<int> volume;
  bool deep = false;
  bool disk = false;
  unsigned types = 127;
  std::string match;
  bool json = false;
  std::string saveTo;  // scan --save FILE
  std::string image;   // load --image PATH
};

// Parses argv; false with `error` set on a bad argument.
bool ParseArguments(const std::vector<std::string>& args, Options& out, std::string& error);
// Category mask of a --types list ("documents,pictures", "all").
bool ParseTypes(const std::string& list, unsigned& mask, std::string& error);

const char* UsageText();

}  // namespace cli
