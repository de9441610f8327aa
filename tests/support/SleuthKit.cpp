#include "support/SleuthKit.h"

#include <cstdlib>
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

std::vector<FlsBodyEntry> FlsBody(const std::string& image, long long offsetSectors, bool deletedOnly) {
  const std::string command = std::string("TZ=UTC fls -r ") + (deletedOnly ? "-d " : "") + "-m / -o " +
                              std::to_string(offsetSectors) + " " + Quote(image) + " 2>/dev/null";
  std::vector<FlsBodyEntry> entries;
  std::istringstream lines(Capture(command));
  for (std::string line; std::getline(lines, line);) {
    // "0|/DIR/NAME (deleted)|inode|r/rrwxrwxrwx|uid|gid|size|atime|mtime|ctime|crtime"
    std::vector<std::string> f;
    std::size_t start = 0;
    for (std::size_t bar; (bar = line.find('|', start)) != std::string::npos; start = bar + 1) {
      f.push_back(line.substr(start, bar - start));
    }
    f.push_back(line.substr(start));
    if (f.size() < 11) continue;
    FlsBodyEntry e;
    e.path = f[1];
    // " (deleted)", or " (deleted-realloc)" when its metadata is in use again.
    const auto mark = e.path.find(" (deleted");
    if (mark != std::string::npos && e.path.back() == ')') {
      e.path.resize(mark);
      e.deleted = true;
    }
    e.directory = f[3].rfind("d/", 0) == 0;
    e.inode = f[2];
    e.size = std::atoll(f[6].c_str());
    e.mtime = std::atoll(f[8].c_str());
    entries.push_back(e);
  }
  return entries;
}

}  // namespace testsupport
