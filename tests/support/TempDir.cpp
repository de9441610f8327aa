#include "support/TempDir.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <system_error>

namespace testsupport {

TempDir::TempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "quarnel-test-XXXXXX").string();
  if (mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  m_path = tmpl;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(m_path, ec);
}

int Run(const std::string& command) {
  const int status = std::system(command.c_str());
  if (status == -1 || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

bool HaveProgram(const std::string& program) { return Run("command -v " + program + " >/dev/null 2>&1") == 0; }

std::string FixturesDir() {
  const char* dir = std::getenv("QUARNEL_FIXTURES_DIR");
  if (dir == nullptr || !std::filesystem::is_directory(dir)) return {};
  return dir;
}

}  // namespace testsupport
