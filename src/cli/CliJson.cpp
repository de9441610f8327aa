#include "cli/CliJson.h"

#include <set>
#include <utility>

#include "bridge/QVPublic.h"

namespace cli {

namespace {

// Length of the valid UTF-8 sequence at p (0 when invalid).
std::size_t Utf8Length(const unsigned char* p, std::size_t left) {
  const unsigned char c = p[0];
  std::size_t n;
  char32_t min;
  char32_t cp;
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
    min = 0x80;
    cp = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    min = 0x800;
    cp = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    min = 0x10000;
    cp = c & 0x07;
  } else
    return 0;
  if (left < n) return 0;
  for (std::size_t i = 1; i < n; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (p[i] & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return n;
}

// The code point of a valid sequence of `n` bytes.
char32_t CodePoint(const unsigned char* p, std::size_t n) {
  if (n == 1) return p[0];
  char32_t cp = p[0] & (n == 2 ? 0x1F : n == 3 ? 0x0F : 0x07);
  for (std::size_t i = 1; i < n; ++i) cp = (cp << 6) | (p[i] & 0x3F);
  return cp;
}

// Characters a terminal acts on instead of showing: C0 and C1 controls,
// DEL, and the bidirectional overrides and isolates that reorder a line.
bool IsTerminalControl(char32_t cp) {
  return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || (cp >= 0x202A && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069);
}

void AppendEscapedByte(std::string& out, unsigned char c) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "\\u%04x", c);
  out += buf;
}

std::string Time(long long ft) {
  const auto iso = bridge::FileTimeToIsoUtc(static_cast<std::uint64_t>(ft));
  return iso ? "\"" + *iso + "\"" : "null";
}

}  // namespace

std::string JsonString(const std::string& bytes) {
  std::string out = "\"";
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  std::size_t i = 0;
  while (i < bytes.size()) {
    const unsigned char c = p[i];
    if (c == '"') {
      out += "\\\"";
      ++i;
      continue;
    }
    if (c == '\\') {
      out += "\\\\";
      ++i;
      continue;
    }
    if (c == '\n') {
      out += "\\n";
      ++i;
      continue;
    }
    if (c == '\t') {
      out += "\\t";
      ++i;
      continue;
    }
    if (c < 0x20 || c == 0x7F) {
      AppendEscapedByte(out, c);
      ++i;
      continue;
    }
    const std::size_t n = Utf8Length(p + i, bytes.size() - i);
    if (n == 0) {
      AppendEscapedByte(out, c);
      ++i;
      continue;
    }
    const char32_t cp = CodePoint(p + i, n);
    if (IsTerminalControl(cp)) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(cp));
      out += buf;
    } else {
      out.append(bytes, i, n);
    }
    i += n;
  }
  return out + "\"";
}

std::string TerminalText(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size());
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  std::size_t i = 0;
  while (i < bytes.size()) {
    const std::size_t n = Utf8Length(p + i, bytes.size() - i);
    if (n == 0 || IsTerminalControl(CodePoint(p + i, n))) {
      out += '?';
      i += n == 0 ? 1 : n;
      continue;
    }
    out.append(bytes, i, n);
    i += n;
  }
  return out;
}

TreeTotals WriteTrees(std::FILE* out, const std::vector<IFileNode*>& roots, bool json) {
  TreeTotals totals;
  std::set<IFileNode*> seen;
  for (IFileNode* root : roots) {
    if (root == nullptr || !seen.insert(root).second) continue;
    const std::string treeName = root->GetFileName() != nullptr ? root->GetFileName() : "";
    const int type = static_cast<int>(root->GetSearcheType());
    if (!json) std::fprintf(out, "%s (searcher %d)\n", TerminalText(treeName).c_str(), type);
    // (node, path of its folder, depth)
    std::vector<std::pair<IFileNode*, std::pair<std::string, int>>> stack;
    std::vector<IFileNode*> children;
    for (IFileNode* c = root->GetFirstChild(); c != nullptr; c = c->GetNextNode()) children.push_back(c);
    for (auto it = children.rbegin(); it != children.rend(); ++it) stack.push_back({*it, {"", 1}});
    while (!stack.empty()) {
      auto [node, where] = stack.back();
      stack.pop_back();
      if (!seen.insert(node).second) continue;
      const std::string name = node->GetFileName() != nullptr ? node->GetFileName() : "";
      const std::string path = where.first + "/" + name;
      const bool dir = node->IsDirectory() != 0;
      const long long size = dir ? 0 : std::max(0LL, node->GetFileSize());
      if (dir)
        ++totals.folders;
      else {
        ++totals.files;
        totals.bytes += static_cast<unsigned long long>(size);
      }
      const auto* file = dynamic_cast<const CFileNode*>(node);
      const bool damaged = file != nullptr && file->IsDamaged();
      if (json) {
        // "damaged" is there only for a file whose structure was found
        // broken (a size cut to what its device holds, unreadable runs).
        std::fprintf(out,
                     "{\"tree\": %s, \"searcher\": %d, \"path\": %s, \"dir\": %s, \"deleted\": %s, %s\"size\": %lld, "
                     "\"ctime\": %s, \"mtime\": %s, \"atime\": %s}\n",
                     JsonString(treeName).c_str(), type, JsonString(path).c_str(), dir ? "true" : "false",
                     node->IsDeleted() ? "true" : "false", damaged ? "\"damaged\": true, " : "", size,
                     Time(node->GetCreationTime()).c_str(), Time(node->GetModificationTime()).c_str(),
                     Time(node->GetLastAccessTime()).c_str());
      } else {
        const std::string shown = TerminalText(name);
        std::fprintf(out, "%*s%s%s%s%s", where.second * 2, "", shown.c_str(), dir ? "/" : "",
                     node->IsDeleted() ? "  [deleted]" : "", damaged ? "  [damaged]" : "");
        if (!dir) std::fprintf(out, "  %lld bytes", size);
        std::fputc('\n', out);
      }
      if (dir) {
        children.clear();
        for (IFileNode* c = node->GetFirstChild(); c != nullptr; c = c->GetNextNode()) children.push_back(c);
        for (auto it = children.rbegin(); it != children.rend(); ++it) {
          stack.push_back({*it, {path, where.second + 1}});
        }
      }
    }
  }
  return totals;
}

void WriteSummary(std::FILE* out, const TreeTotals& totals, double seconds, bool json,
                  std::optional<long long> unreadableSectors) {
  if (json) {
    const std::string unreadable =
        unreadableSectors ? ", \"unreadable_sectors\": " + std::to_string(*unreadableSectors) : std::string();
    std::fprintf(out, "{\"summary\": {\"files\": %llu, \"folders\": %llu, \"bytes\": %llu, \"seconds\": %.1f%s}}\n",
                 totals.files, totals.folders, totals.bytes, seconds, unreadable.c_str());
  } else {
    const std::string unreadable =
        unreadableSectors && *unreadableSectors > 0
            ? ", " + std::to_string(*unreadableSectors) + " sectors could not be read (read as zeros)"
            : std::string();
    std::fprintf(out, "%llu files, %llu folders, %llu bytes found in %.1f s%s\n", totals.files, totals.folders,
                 totals.bytes, seconds, unreadable.c_str());
  }
}

}  // namespace cli
