#pragma once
// Points the log at a folder for one test and restores the environment after.

#include <cstdlib>
#include <optional>
#include <string>

#include "core/util/Log.h"

class WorkDirScope {
 public:
  explicit WorkDirScope(const std::string& dir) {
    if (const char* old = std::getenv("QUARNEL_WORK_DIR")) m_saved = old;
    Set(dir);
  }
  ~WorkDirScope() {
    if (m_saved) {
      setenv("QUARNEL_WORK_DIR", m_saved->c_str(), 1);
    } else {
      unsetenv("QUARNEL_WORK_DIR");
    }
    CatchExeception::ResetWorkPath();
  }
  WorkDirScope(const WorkDirScope&) = delete;
  WorkDirScope& operator=(const WorkDirScope&) = delete;

  // An empty folder name removes the override.
  void Set(const std::string& dir) {
    if (dir.empty()) {
      unsetenv("QUARNEL_WORK_DIR");
    } else {
      setenv("QUARNEL_WORK_DIR", dir.c_str(), 1);
    }
    CatchExeception::ResetWorkPath();
  }

 private:
  std::optional<std::string> m_saved;
};
