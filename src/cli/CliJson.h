#pragma once
// JSON and text output of found trees. Names from disks may hold any byte:
// valid UTF-8 passes through, every byte of an invalid sequence is written
// as \u00XX (the byte read as a Latin-1 character).

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "core/model/FileNode.h"

namespace cli {

std::string JsonString(const std::string& bytes);
// Text from a disk made safe to print on a terminal: every control
// character (C0, DEL, C1), bidirectional override and byte of an invalid
// UTF-8 sequence becomes '?'; the rest passes unchanged.
std::string TerminalText(const std::string& bytes);

struct TreeTotals {
  unsigned long long files = 0;
  unsigned long long folders = 0;
  unsigned long long bytes = 0;
};

// Every node below each root, depth first, children in order: one JSON
// object per line, or an indented text tree.
TreeTotals WriteTrees(std::FILE* out, const std::vector<IFileNode*>& roots, bool json);
// The last line; `unreadableSectors` (a scan's) adds how many sectors could
// not be read.
void WriteSummary(std::FILE* out, const TreeTotals& totals, double seconds, bool json,
                  std::optional<long long> unreadableSectors = std::nullopt);

}  // namespace cli
