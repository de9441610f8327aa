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
         "  quarnel-cli recover SOURCE --to DIR [--volume N] [--deep | --disk] [--types LIST] [--match TEXT] [--json]\n"
         "  quarnel-cli recover --result FILE [--image PATH] --to DIR [--types LIST] [--match TEXT]\n"
         "  quarnel-cli image   SOURCE --to FILE [--volume N] [--qdi] [--json]\n"
         "  quarnel-cli COMMAND --help\n"
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
         "  --help, --version\n"
         "\n"
         "Exit status: 0 done, 1 the scan or recovery failed or was stopped, 2 bad\n"
         "arguments or a source or destination that cannot be used.\n";
}

namespace {

const char* kExitCodes =
    "\nExit status: 0 done, 1 the job failed or was stopped (what was done is kept),\n"
    "2 bad arguments or a source or destination that cannot be used.\n";

const char* kSourceHelp =
    "  SOURCE        a block device (/dev/sdb, /dev/sdb1) or an image file (raw .img/.dd,\n"
    "                .qdi, uncompressed Apple disk image); decompress .gz/.xz images first\n"
    "  --volume N    the volume of a disk or image to scan ('devices' lists a machine's\n"
    "                volumes; an image with several volumes names them when none is chosen)\n"
    "  --deep        complete scan of the volume: reads every sector (default: quick scan\n"
    "                of the file system's own records)\n"
    "  --disk        complete scan of the whole disk or image, volumes and free space\n"
    "  --types LIST  documents,pictures,movies,music,archives,email,other or all (default)\n";

}  // namespace

std::string CommandHelp(Command command) {
  switch (command) {
    case Command::kDevices:
      return std::string(
                 "Usage: quarnel-cli devices [--json]\n\n"
                 "Lists this machine's disks and their volumes with the numbers --volume takes.\n"
                 "Disks that cannot be read are marked (run as root to read them).\n") +
             kExitCodes;
    case Command::kScan:
      return std::string(
                 "Usage: quarnel-cli scan SOURCE [--volume N] [--deep | --disk] [--types LIST] [--json]\n"
                 "                        [--save FILE]\n\n"
                 "Finds files on SOURCE and lists them as a tree (deleted ones marked), then a\n"
                 "summary line. Nothing is written to SOURCE. Progress goes to standard error.\n\n") +
             kSourceHelp +
             "  --json        one JSON object per found file or folder, then a summary object\n"
             "  --save FILE   keep the result in FILE, to list it ('load') or recover from it\n"
             "                ('recover --result') later without scanning again\n" +
             kExitCodes;
    case Command::kRecover:
      return std::string(
                 "Usage: quarnel-cli recover SOURCE --to DIR [--volume N] [--deep | --disk] [--types LIST]\n"
                 "                           [--match TEXT] [--json]\n"
                 "       quarnel-cli recover --result FILE [--image PATH] --to DIR [--types LIST]\n"
                 "                           [--match TEXT] [--json]\n\n"
                 "Scans SOURCE (or loads a result saved by 'scan --save') and copies the found\n"
                 "files with their folders and times into DIR, one folder per file system:\n"
                 "DIR/Fat_Recovered Data<date>_0001/... . DIR is checked before the scan: it\n"
                 "must be a writable folder (or one that can be made) with free space, and not\n"
                 "on SOURCE. A file that could not be written whole is kept under its name\n"
                 "with \".part\" added and listed with the reason.\n\n") +
             kSourceHelp +
             "  --result FILE a saved scan result to recover from instead of SOURCE\n"
             "  --image PATH  with --result: the image file the result was made from, when it moved\n"
             "  --match TEXT  recover only files whose name contains TEXT (any case)\n"
             "  --to DIR      destination folder; must not be on the scanned device\n"
             "  --json        the summary and every failed file as JSON lines\n" +
             kExitCodes;
    case Command::kImage:
      return std::string(
                 "Usage: quarnel-cli image SOURCE --to FILE [--volume N] [--qdi] [--json]\n\n"
                 "Copies every sector of SOURCE into the new file FILE, to scan the copy instead\n"
                 "of a failing disk. SOURCE is only read; FILE must not exist yet and must not\n"
                 "lie on SOURCE. A copy that fails or is stopped (Ctrl-C) is removed.\n\n"
                 "  SOURCE        a disk or partition (/dev/sdb, /dev/sdb1) or an image file\n"
                 "  --volume N    only that volume of a disk or image ('devices' lists them)\n"
                 "  --to FILE     the image to write: the sectors alone (a raw image), or\n"
                 "  --qdi         a QDI image (the program's own format: a header with the\n"
                 "                source's name and geometry, then the sectors)\n"
                 "  --json        the outcome as one JSON line\n") +
             kExitCodes;
    case Command::kLoad:
      return std::string(
                 "Usage: quarnel-cli load FILE [--image PATH] [--json]\n\n"
                 "Lists the trees of a result saved by 'scan --save'. The scanned device (or\n"
                 "image) must be present; --image PATH names an image that moved.\n\n"
                 "  --image PATH  the image file the result was made from\n"
                 "  --json        one JSON object per line\n") +
             kExitCodes;
    default:
      return UsageText();
  }
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

namespace {

// What the options say together: a source or a saved result, a destination
// for recover, no scan choices that exclude each other.
bool CheckCombination(const Options& o, std::string& error) {
  if (o.command == Command::kDevices) return true;
  if (o.command == Command::kImage) {
    if (o.source.empty()) {
      error = "missing SOURCE (a block device or an image file)";
      return false;
    }
    if (o.destination.empty()) {
      error = "missing --to FILE";
      return false;
    }
    return true;
  }
  if (o.command == Command::kLoad && o.source.empty()) {
    error = "missing FILE (a saved scan result)";
    return false;
  }
  if (o.command == Command::kRecover && !o.result.empty()) {
    if (!o.source.empty()) {
      error = "give either SOURCE or --result FILE, not both";
      return false;
    }
    if (o.deep || o.disk || o.volume) {
      error = "--deep, --disk and --volume choose a scan; a saved result was scanned already";
      return false;
    }
  } else if (o.source.empty()) {
    error = "missing SOURCE (a block device or an image file)";
    return false;
  }
  if (!o.image.empty() && o.command == Command::kRecover && o.result.empty()) {
    error = "--image goes with --result FILE";
    return false;
  }
  if (o.deep && o.disk) {
    error = "--deep and --disk cannot be used together";
    return false;
  }
  if (o.disk && o.volume) {
    error = "--disk scans the whole disk: leave out --volume";
    return false;
  }
  if (o.command == Command::kRecover && o.destination.empty()) {
    error = "missing --to DIR";
    return false;
  }
  return true;
}

// The command word, into `out.command`; false with `error` for an unknown one.
bool ParseCommand(const std::string& cmd, Options& out, std::string& error) {
  static const std::map<std::string, Command> kCommands = {
      {"devices", Command::kDevices}, {"scan", Command::kScan},   {"recover", Command::kRecover},
      {"load", Command::kLoad},       {"image", Command::kImage},
  };
  const auto it = kCommands.find(cmd);
  if (it == kCommands.end()) {
    error = "unknown command '" + cmd + "'";
    return false;
  }
  out.command = it->second;
  return true;
}

// The value after the option at `i` (then `i` points at the value).
bool TakeValue(const std::vector<std::string>& args, std::size_t& i, std::string& into, std::string& error) {
  if (i + 1 >= args.size()) {
    error = "missing value after " + args[i];
    return false;
  }
  into = args[++i];
  return true;
}

bool ParseVolume(const std::string& v, Options& out, std::string& error) {
  char* end = nullptr;
  const long n = std::strtol(v.c_str(), &end, 10);
  if (v.empty() || *end != 0 || n < 0 || n > 100000) {
    error = "--volume needs a number, not '" + v + "'";
    return false;
  }
  out.volume = static_cast<int>(n);
  return true;
}

bool LooksLikeOption(const std::string& a) { return !a.empty() && a[0] == '-'; }

// One argument after the command (with its value, which moves `i` on);
// false with `error` for one the command does not take.
bool TakeArgument(const std::vector<std::string>& args, std::size_t& i, Options& out, std::string& error) {
  const std::string& a = args[i];
  std::string v;
  if (a == "--json") {
    out.json = true;
  } else if (out.command == Command::kDevices) {
    error = "unexpected argument '" + a + "'";
    return false;
  } else if (out.command == Command::kImage && a != "--volume" && a != "--to" && a != "--qdi" && LooksLikeOption(a)) {
    error = "unknown option '" + a + "'";
    return false;
  } else if (a == "--qdi" && out.command == Command::kImage) {
    out.qdi = true;
  } else if (a == "--deep") {
    out.deep = true;
  } else if (a == "--disk") {
    out.disk = true;
  } else if (a == "--volume") {
    return TakeValue(args, i, v, error) && ParseVolume(v, out, error);
  } else if (a == "--types") {
    if (!TakeValue(args, i, v, error) || !ParseTypes(v, out.types, error)) {
      if (error.empty()) error = "--types needs a list";
      return false;
    }
  } else if (a == "--save" && out.command == Command::kScan) {
    return TakeValue(args, i, out.saveTo, error);
  } else if (a == "--image" && (out.command == Command::kLoad || out.command == Command::kRecover)) {
    return TakeValue(args, i, out.image, error);
  } else if (out.command == Command::kLoad && LooksLikeOption(a)) {
    error = "unknown option '" + a + "'";
    return false;
  } else if (a == "--to" && (out.command == Command::kRecover || out.command == Command::kImage)) {
    return TakeValue(args, i, out.destination, error);
  } else if (a == "--match" && out.command == Command::kRecover) {
    return TakeValue(args, i, out.match, error);
  } else if (a == "--result" && out.command == Command::kRecover) {
    return TakeValue(args, i, out.result, error);
  } else if (LooksLikeOption(a)) {
    error = "unknown option '" + a + "'";
    return false;
  } else if (out.source.empty()) {
    out.source = a;
  } else {
    error = "unexpected argument '" + a + "'";
    return false;
  }
  return true;
}

}  // namespace

bool ParseArguments(const std::vector<std::string>& args, Options& out, std::string& error) {
  out = Options{};
  if (args.empty()) return true;
  const std::string& cmd = args[0];
  if (cmd == "--help" || cmd == "-h" || cmd == "help") return true;
  if (cmd == "--version") {
    out.command = Command::kVersion;
    return true;
  }
  if (!ParseCommand(cmd, out, error)) return false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--help" || args[i] == "-h") {
      out.help = true;
      return true;
    }
  }
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (!TakeArgument(args, i, out, error)) return false;
  }
  return CheckCombination(out, error);
}

}  // namespace cli
