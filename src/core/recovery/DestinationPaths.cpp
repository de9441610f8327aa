#include "core/recovery/DestinationPaths.h"

#include <filesystem>
#include <string_view>

namespace destination_paths {
namespace {

// A path of plain names only: no empty, "." or ".." parts and no trailing
// slash. For such paths the folder and the below-test are plain string work
// with the same answers as the general forms.
bool IsPlain(std::string_view p) {
  std::size_t start = !p.empty() && p[0] == '/' ? 1 : 0;
  if (start >= p.size()) return false;
  while (true) {
    std::size_t end = p.find('/', start);
    if (end == std::string_view::npos) end = p.size();
    const std::string_view part = p.substr(start, end - start);
    if (part.empty() || part == "." || part == "..") return false;
    if (end == p.size()) return true;
    start = end + 1;
  }
}

}  // namespace

std::string Parent(const std::string& path) {
  if (!IsPlain(path)) {
    std::filesystem::path n = std::filesystem::path(path).lexically_normal();
    if (!n.has_filename()) n = n.parent_path();  // "a/b/" -> "a/b"
    return n.parent_path().string();
  }
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return "";
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

Root::Root(const std::string& root) : m_root(root) {
  std::string plain = root;
  while (plain.size() > 1 && plain.back() == '/') plain.pop_back();
  if (IsPlain(plain)) m_plain = std::move(plain);
}

bool Root::IsBelow(const std::string& dir) const {
  if (m_plain.empty() || !IsPlain(dir)) {
    const std::filesystem::path rel = std::filesystem::path(dir).lexically_normal().lexically_relative(
        std::filesystem::path(m_root).lexically_normal());
    if (rel.empty() || rel == ".") return false;
    return *rel.begin() != "..";
  }
  return dir.size() > m_plain.size() + 1 && dir.compare(0, m_plain.size(), m_plain) == 0 && dir[m_plain.size()] == '/';
}

}  // namespace destination_paths
