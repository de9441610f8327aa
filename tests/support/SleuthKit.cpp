#include "support/SleuthKit.h"

#include <sstream>

#include "support/CliProgram.h"

namespace testsupport {

std::vector<FlsEntry> FlsLong(const std::string& image, long long offsetSectors, bool deletedOnly) {
  const std::string command = std::string("fls -r -p -l -z UTC ") + (deletedOnly ? "-d " : "") +
                              (offsetSectors != 0 ? "-o " + std::to_string(offsetSectors) + " " : std::string()) +
                              Quote(image) + " 2>/dev/null";
  std::vector<FlsEntry> entries;
  std::istringstream lines(Capture(command));
  for (std::string line; std::getline(lines, line);) {
    // "-/r * 71-128-2:\tPATH\tmtime\tatime\tctime\tcrtime\tsize\tuid\tgid"
    const auto tab = line.find('\t');
    if (tab == std::string::npos || line.size() < 4) continue;
    const std::vector<std::string> fields = SplitTabs(line, tab + 1);
    FlsEntry e;
    e.path = fields[0];
    e.directory = line[2] == 'd';
    e.deleted = line.find(" * ") < tab;
    const auto colon = line.find(':');
    const auto space = line.rfind(' ', colon);
    e.inode = std::stoull(line.substr(space + 1, colon - space - 1));
    if (fields.size() > 1) e.mtime = fields[1].substr(0, 19);
    if (fields.size() > 2) e.atime = fields[2].substr(0, 19);
    if (fields.size() > 4) e.crtime = fields[4].substr(0, 19);
    if (fields.size() > 5) e.size = std::stoll(fields[5]);
    entries.push_back(e);
  }
  return entries;
}

}  // namespace testsupport
