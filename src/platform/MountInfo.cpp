#include "platform/MountInfo.h"

#include <fstream>
#include <sstream>

namespace platform {
namespace {

// mountinfo escapes blanks and backslashes as \ooo.
std::string Unescape(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size()) {
      const std::string oct = s.substr(i + 1, 3);
      if (oct.size() == 3 && oct.find_first_not_of("01234567") == std::string::npos) {
        out.push_back(static_cast<char>(std::stoi(oct, nullptr, 8)));
        i += 3;
        continue;
      }
    }
    out.push_back(s[i]);
  }
  return out;
}

}  // namespace

std::vector<MountEntry> ParseMountInfo(const std::string& text) {
  std::vector<MountEntry> out;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream f(line);
    std::string id, parent, devno, root, mountPoint;
    if (!(f >> id >> parent >> devno >> root >> mountPoint)) continue;
    std::string field;
    while (f >> field && field != "-") {
    }
    if (field != "-") continue;
    MountEntry e;
    if (!(f >> e.fsType >> e.source)) continue;
    const auto colon = devno.find(':');
    if (colon == std::string::npos) continue;
    try {
      e.major = static_cast<std::uint32_t>(std::stoul(devno.substr(0, colon)));
      e.minor = static_cast<std::uint32_t>(std::stoul(devno.substr(colon + 1)));
    } catch (...) {
      continue;
    }
    e.mountPoint = Unescape(mountPoint);
    e.source = Unescape(e.source);
    out.push_back(std::move(e));
  }
  return out;
}

std::vector<MountEntry> ReadMountInfo(const std::string& path) {
  std::ifstream in(path);
  std::stringstream ss;
  ss << in.rdbuf();
  return ParseMountInfo(ss.str());
}

std::string MountPointOf(const std::vector<MountEntry>& mounts, std::uint32_t major, std::uint32_t minor) {
  for (const MountEntry& m : mounts) {
    if (m.major == major && m.minor == minor) return m.mountPoint;
  }
  return {};
}

}  // namespace platform
