#pragma once
// Running quarnel-cli from a test and reading its JSON lines.

#include <string>
#include <vector>

namespace testsupport {

// The quarnel-cli of this build tree ("" when it is not built).
std::string CliPath();
// Standard output of a shell command.
std::string Capture(const std::string& command);
// The value of `key` in one JSON line printed by quarnel-cli: the text of a
// string (escapes undone), else the raw token ("" when absent).
std::string JsonField(const std::string& line, const std::string& key);

// The tab-separated fields of a line from `from` on (The Sleuth Kit's
// `fls -l` output).
std::vector<std::string> SplitTabs(const std::string& line, std::size_t from);

}  // namespace testsupport
