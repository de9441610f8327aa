#include "cli/CliArgs.h"

#include <cstdlib>
#include <map>

namespace cli {

const char* UsageText() {
  return "Usage:\n"
         "  quarnel-cli devices [--json]\n"
         "  quarnel-cli scan    SOURCE [--volume N] [--deep | --disk] [--types LIST] [--json]\n"
         "  quarnel-cli scan    SOURCE --save FILE [options of scan]\n"
         "  quarnel-cli load    FILE [--image PATH] [--json]\n"
         "  quarnel-cli recover SOURCE --to DIR [--volume N] [--deep | --disk] [--types LIST] [--match TEXT]\n"
         "\n"
         "Quarnel finds deleted files and the files of lost or reformatted\n"
         "partitions (HFS+, APFS, FAT, exFAT, NTFS) on a disk, a partition or a\n"
         "disk image, and copies them to another volume. Sources are only read.\n"
         "\n"
         "  SOURCE        a block device (/dev/sdb, /dev/sdb1) or an image file (raw or .qdi)\n"
         "  --volume N    the volume of a disk or image to scan (see 'devices')\n"
         "  --deep        complete scan of the volume (default: quick scan)\n"
         "  --disk        complete scan of the whole disk\n"
         "  --types LIST  documents,pictures,movies,music,archives,email,other or all (default)\n"
         "  --match TEXT  recover only files whose name contains TEXT (any case)\n"
         "  --to DIR      destination folder; must not be on the scanned device\n"
         "  --json        one JSON object per line\n"
         "  --help, --version\n";
}

bool ParseTypes(const std::string& list, unsigned& mask, std::string& error) {
  static const std::map<std::string, unsigned> kBits = {
      {"documents", 1}, {"pictures", 2}, {"movies", 4}, {"music", 8},
      {"archives", 16}, {"email", 32},   {"other", 64}, {"all", 127},
  };
  mask = 0;
  std::size_t pos = 0;
  while (pos <= list.size()) {
    std::size_t comma = list.find(',', pos);
    if (comma == std::string::npos) comma = list.size();
    const std::string word = list.substr(pos, comma - pos);
    const auto it = kBits.find(word);
    if (it == kBits.end()) {
      error = "unknown file type '" + word + "' in --types";
      return false;
    }
    mask |= it->second;
    pos = comma + 1;
  }
  return mask != 0;
}

bool ParseArguments(const std::vector<std::string>& args, Options& out, std::string& error) {
  out = Options{};
  if (args.empty()) return true;
  const std::string& cmd = args[0];
  if (cmd == "--help" || cmd == "-h" || cmd == "help") return true;
  if (cmd == "--version") {
    out.command = Command::kVersion;
    return true;
  }
  if (cmd == "devices") out.command = Command::kDevices;
  else if (cmd == "scan") out.command = Command::kScan;
  else if (cmd == "recover") out.command = Command::kRecover;
  else if (cmd == "load") out.command = Command::kLoad;
  else {
    error = "unknown command '" + cmd + "'";
    return false;
  }

  auto value = [&](std::size_t& i, std::string& into) {
    if (i + 1 >= args.size()) {
      error = "missing value after " + args[i];
      return false;
    }
    into = args[++i];
    return true;
  };

  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::string v;
    if (a == "--json" && out.command != Command::kRecover) {
      out.json = true;
    } else if (out.command == Command::kDevices) {
      error = "unexpected argument '" + a + "'";
      return false;
    } else if (a == "--deep") {
      out.deep = true;
    } else if (a == "--disk") {
      out.disk = true;
    } else if (a == "--volume") {
      if (!value(i, v)) return false;
      char* end = nullptr;
      const long n = std::strtol(v.c_str(), &end, 10);
      if (v.empty() || *end != 0 || n < 0 || n > 100000) {
        error = "--volume needs a number, not '" + v + "'";
        return false;
      }
      out.volume = static_cast<int>(n);
    } else if (a == "--types") {
      if (!value(i, v) || !ParseTypes(v, out.types, error)) {
        if (error.empty()) error = "--types needs a list";
        return false;
      }
    } else if (a == "--save" && out.command == Command::kScan) {
      if (!value(i, out.saveTo)) return false;
    } else if (a == "--image" && out.command == Command::kLoad) {
      if (!value(i, out.image)) return false;
    } else if (out.command == Command::kLoad && !a.empty() && a[0] == '-') {
      error = "unknown option '" + a + "'";
      return false;
    } else if (a == "--to" && out.command == Command::kRecover) {
      if (!value(i, out.destination)) return false;
    } else if (a == "--match" && out.command == Command::kRecover) {
      if (!value(i, out.match)) return false;
    } else if (!a.empty() && a[0] == '-') {
      error = "unknown option '" + a + "'";
      return false;
    } else if (out.source.empty()) {
      out.source = a;
    } else {
      error = "unexpected argument '" + a + "'";
      return false;
    }
  }
  if (out.command == Command::kDevices) return true;
  if (out.command == Command::kLoad && out.source.empty()) {
    error = "missing FILE (a saved scan result)";
    return false;
  }
  if (out.source.empty()) {
    error = "missing SOURCE (a block device or an image file)";
    return false;
  }
  if (out.deep && out.disk) {
    error = "--deep and --disk cannot be used together";
    return false;
  }
  if (out.disk && out.volume) {
    error = "--disk scans the whole disk: leave out --volume";
    return false;
  }
  if (out.command == Command::kRecover && out.destination.empty()) {
    error = "missing --to DIR";
    return false;
  }
  return true;
}

}  // namespace cli
