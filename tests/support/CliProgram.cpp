#include "support/CliProgram.h"

#include <cstdio>
#include <filesystem>

namespace testsupport {

namespace fs = std::filesystem;

std::string CliPath() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
  // Test programs live in <build>/tests, the tool in <build>/src/cli.
  const fs::path cli = self.parent_path().parent_path() / "src" / "cli" / "quarnel-cli";
  return fs::exists(cli, ec) ? cli.string() : std::string();
}

std::string Capture(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buf[4096];
  std::size_t n = 0;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
  pclose(pipe);
  return out;
}

std::string JsonField(const std::string& line, const std::string& key) {
  const std::string tag = "\"" + key + "\": ";
  const auto at = line.find(tag);
  if (at == std::string::npos) return {};
  const auto from = at + tag.size();
  if (from < line.size() && line[from] == '"') {
    for (std::size_t i = from + 1; i < line.size(); ++i) {
      if (line[i] == '\\') {
        ++i;
      } else if (line[i] == '"') {
        return line.substr(from + 1, i - from - 1);
      }
    }
    return {};
  }
  const auto end = line.find_first_of(",}", from);
  return line.substr(from, end == std::string::npos ? std::string::npos : end - from);
}

}  // namespace testsupport
