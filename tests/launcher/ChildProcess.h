#pragma once
// Running a program of the build tree from a test: chosen environment,
// standard output into a file, exit status back.

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/Files.h"

namespace testchild {

// Exit status of `argv` run with `env`, its output in `outFile`; -1 on failure.
inline int RunAndWait(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                      const std::string& outFile) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  std::vector<char*> a;
  for (const auto& s : argv) a.push_back(const_cast<char*>(s.c_str()));
  a.push_back(nullptr);
  std::vector<char*> e;
  for (const auto& s : env) e.push_back(const_cast<char*>(s.c_str()));
  e.push_back(nullptr);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, a.data(), e.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// Waits up to `seconds` for `path` to contain `text`; the contents.
inline std::string WaitForText(const std::string& path, const std::string& text, int seconds = 15) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  std::string contents;
  while (std::chrono::steady_clock::now() < end) {
    contents = testsupport::ReadFileText(path);
    if (contents.find(text) != std::string::npos) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return contents;
}

inline void WriteExecutable(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
  chmod(path.c_str(), 0755);
}

// The environment entries worth keeping for a child built with sanitizers.
inline std::vector<std::string> BaseEnvironment() {
  std::vector<std::string> env{"PATH=/usr/local/bin:/usr/bin:/bin"};
  for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS", "HOME"}) {
    if (const char* v = std::getenv(name)) env.push_back(std::string(name) + "=" + v);
  }
  return env;
}

}  // namespace testchild
