#pragma once
// Runs a partitioning tool and parses what it prints.

#include <cstdint>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/Files.h"
#include "support/TempDir.h"

namespace parttest {

// Standard output of `command`, or "" when it fails.
inline std::string Capture(const testsupport::TempDir& dir, const std::string& command) {
  const std::string out = dir.File("tool-output.txt");
  if (testsupport::Run(command + " > '" + out + "' 2>/dev/null") != 0) return {};
  return testsupport::ReadFileText(out);
}

struct ToolPartition {
  long long start = 0;
  long long length = 0;
  int slot = -1;     // mmls: table number x 1000 + slot; sfdisk: partition number
  std::string type;  // mmls description or sfdisk type
  std::string uuid;  // sfdisk (GPT)
};

// mmls rows of partitions (slot "NNN:NNN" or "NNN"); Meta and unallocated rows are skipped.
inline std::vector<ToolPartition> ParseMmls(const std::string& text) {
  std::vector<ToolPartition> rows;
  static const std::regex row(R"(^\d+:\s+(\d+)(?::(\d+))?\s+(\d+)\s+\d+\s+(\d+)\s*(.*)$)");
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    std::smatch m;
    if (!std::regex_match(line, m, row)) continue;
    ToolPartition p;
    p.slot = m[2].matched ? std::stoi(m[1]) * 1000 + std::stoi(m[2]) : std::stoi(m[1]);
    p.start = std::stoll(m[3]);
    p.length = std::stoll(m[4]);
    p.type = m[5];
    while (!p.type.empty() && p.type.back() == ' ') p.type.pop_back();
    rows.push_back(p);
  }
  return rows;
}

// Partitions of `sfdisk -J`; slot is the number at the end of the node name.
inline std::vector<ToolPartition> ParseSfdiskJson(const std::string& text) {
  std::vector<ToolPartition> rows;
  static const std::regex part(
      R"re("node":\s*"[^"]*?(\d+)",\s*"start":\s*(\d+),\s*"size":\s*(\d+),\s*"type":\s*"([^"]+)"(?:,\s*"uuid":\s*"([^"]+)")?)re");
  for (std::sregex_iterator it(text.begin(), text.end(), part), end; it != end; ++it) {
    ToolPartition p;
    p.slot = std::stoi((*it)[1]);
    p.start = std::stoll((*it)[2]);
    p.length = std::stoll((*it)[3]);
    p.type = (*it)[4];
    p.uuid = (*it)[5];
    rows.push_back(p);
  }
  return rows;
}

// A GPT GUID in its text form (first three fields little-endian).
inline std::string GuidText(const std::array<std::uint8_t, 16>& g) {
  static const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  std::string s;
  char hex[3];
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) s.push_back('-');
    std::snprintf(hex, sizeof hex, "%02X", g[static_cast<std::size_t>(order[i])]);
    s += hex;
  }
  return s;
}

}  // namespace parttest
