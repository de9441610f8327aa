#pragma once
// Running quarnel-cli from a test and reading its JSON lines.

#include <string>
#include <vector>

#include "support/Absent.h"

namespace testsupport {

// The quarnel-cli of this build tree ("" when it is not built).
std::string CliPath();
// `text` in single quotes for the shell.
std::string Quote(const std::string& text);

// What one run of quarnel-cli left: its exit status (-1 when it did not
// exit), standard output and standard error.
struct CliRun {
  int status = -1;
  std::string out;
  std::string err;
};
// Runs quarnel-cli with `args` (shell words, quoted by the caller) and no
// input; `prefix` runs in the same bash before it (limits, traps, variables).
CliRun RunCli(const std::string& args, const std::string& prefix = "");

// What scripts/make-demo-image.sh needs and this machine lacks, if anything.
Lack DemoImageToolsMissing();
// A FAT16 volume of `sizeMb` MiB with files, some of them deleted, made by
// scripts/make-demo-image.sh; false when the script failed.
bool MakeDemoImage(const std::string& path, int sizeMb = 32);
// The demonstration image of 32 MiB, made once per test program ("" when it
// could not be made).
const std::string& DemoImage();

// Standard output of a shell command.
std::string Capture(const std::string& command);
// The value of `key` in one JSON line printed by quarnel-cli: the text of a
// string (escapes undone), else the raw token ("" when absent).
std::string JsonField(const std::string& line, const std::string& key);

// The tab-separated fields of a line from `from` on (The Sleuth Kit's
// `fls -l` output).
std::vector<std::string> SplitTabs(const std::string& line, std::size_t from);

}  // namespace testsupport
