#include "support/CliProgram.h"
#include "hfsplus/HfsTestSupport.h"

#include <cstdio>
#include <ctime>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

#include "support/TempDir.h"

namespace hfstest {

void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool HaveSleuthKit() {
  return testsupport::HaveProgram("fls") && testsupport::HaveProgram("icat") && testsupport::HaveProgram("fsstat");
}

std::map<std::string, FlsEntry> ListWithFls(const std::string& image, long long offset) {
  std::map<std::string, FlsEntry> out;
  const std::string cmd = "fls -r -p -l -z UTC " + (offset ? "-o " + std::to_string(offset) + " " : std::string()) +
                          "'" + image + "' 2>/dev/null";
  std::istringstream lines(Capture(cmd));
  std::string line;
  while (std::getline(lines, line)) {
    // "r/r 18:\tNAME\tmtime\tatime\tctime\tcrtime\tsize\tuid\tgid"
    const auto tab = line.find('\t');
    if (tab == std::string::npos || line.size() < 4) continue;
    const std::vector<std::string> fields = testsupport::SplitTabs(line, tab + 1);
    FlsEntry e;
    e.directory = line[0] == 'd';
    const auto colon = line.find(':');
    const auto space = line.rfind(' ', colon);
    e.inode = std::stoull(line.substr(space + 1, colon - space - 1));
    e.path = fields[0];
    if (e.path.empty() || e.path[0] == '$') continue;
    if (fields.size() > 5) {
      e.mtime = fields[1].substr(0, 19);
      e.crtime = fields[4].substr(0, 19);
      e.size = std::stoll(fields[5]);
    }
    out[e.path] = e;
  }
  return out;
}

namespace {
std::string UtcText(long long unixSeconds) {
  const std::time_t t = static_cast<std::time_t>(unixSeconds);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
  return buf;
}
}  // namespace

std::string HfsDateText(std::uint32_t s) { return UtcText(static_cast<long long>(s) - 2082844800LL); }

std::string FileTimeText(long long ft) { return UtcText((ft - 116444736000000000LL) / 10000000LL); }

Bytes Pattern(std::size_t size, std::uint32_t seed) {
  Bytes b(size);
  std::uint32_t x = seed * 2654435761u + 1;
  for (auto& v : b) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    v = static_cast<std::uint8_t>(x);
  }
  return b;
}

}  // namespace hfstest
