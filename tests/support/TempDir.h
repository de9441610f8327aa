#pragma once
// A fresh folder under the build tree's temporary area, removed with the object.

#include <filesystem>
#include <string>

namespace testsupport {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return m_path; }
  std::string File(const std::string& name) const { return (m_path / name).string(); }

 private:
  std::filesystem::path m_path;
};

// Runs a shell command; its exit status (or -1).
int Run(const std::string& command);
// True when `program` is found on PATH.
bool HaveProgram(const std::string& program);
// Folder of the shared third-party images ("" when absent).
std::string FixturesDir();

}  // namespace testsupport
