#include "support/CliProgram.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "support/Files.h"
#include "support/TempDir.h"

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

std::string Quote(const std::string& text) { return "'" + text + "'"; }

CliRun RunCli(const std::string& args, const std::string& prefix) {
  TempDir dir;
  const std::string command = prefix + " " + Quote(CliPath()) + " " + args + " >" + Quote(dir.File("out")) + " 2>" +
                              Quote(dir.File("err")) + " </dev/null";
  std::ofstream(dir.File("run.sh")) << command << "\n";
  CliRun run;
  run.status = Run("bash " + Quote(dir.File("run.sh")));
  run.out = ReadFileText(dir.File("out"));
  run.err = ReadFileText(dir.File("err"));
  return run;
}

Lack DemoImageToolsMissing() { return MissingTool({"mkfs.vfat", "mmd", "mcopy", "mdel"}); }

bool MakeDemoImage(const std::string& path, int sizeMb) {
  return Run(std::string(QUARNEL_SCRIPTS_DIR) + "/make-demo-image.sh " + Quote(path) + " " + std::to_string(sizeMb) +
             " >/dev/null") == 0;
}

const std::string& DemoImage() {
  static TempDir dir;
  static const std::string path = MakeDemoImage(dir.File("demo.img")) ? dir.File("demo.img") : std::string();
  return path;
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
  if (from >= line.size() || line[from] != '"') {
    const auto end = line.find_first_of(",}", from);
    return line.substr(from, end == std::string::npos ? std::string::npos : end - from);
  }
  std::string out;
  for (std::size_t i = from + 1; i < line.size() && line[i] != '"'; ++i) {
    if (line[i] != '\\' || i + 1 >= line.size()) {
      out += line[i];
      continue;
    }
    const char e = line[++i];
    if (e == 'u' && i + 4 < line.size()) {
      const unsigned cp = static_cast<unsigned>(std::stoul(line.substr(i + 1, 4), nullptr, 16));
      i += 4;
      if (cp < 0x80) {
        out += static_cast<char>(cp);
      } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
      } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
      }
    } else {
      out += e == 'n' ? '\n' : e == 't' ? '\t' : e;
    }
  }
  return out;
}

std::vector<std::string> SplitTabs(const std::string& line, std::size_t from) {
  std::vector<std::string> fields;
  std::size_t at = from;
  while (at <= line.size()) {
    const auto next = line.find('\t', at);
    fields.push_back(line.substr(at, next == std::string::npos ? std::string::npos : next - at));
    if (next == std::string::npos) break;
    at = next + 1;
  }
  return fields;
}

}  // namespace testsupport
