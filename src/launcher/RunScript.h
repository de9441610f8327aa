#pragma once
// Choosing the main program's language and starting it with administrator
// rights.

#include <optional>
#include <string>
#include <vector>

#include "launcher/PrivateData.h"
#include "platform/ProcessStart.h"

namespace launcher {

inline constexpr const char* kLoaderFlag = "*loaderflag*";

// Statuses of RunTool.
enum RunStatus : int {
  kRunStarted = 0,
  kRunRefused = 1,   // the authorisation was cancelled or refused
  kRunNotFound = 2,  // the main program is missing or not executable
  kRunFailed = 3,
  kRunNoElevator = 4,   // pkexec is not installed
  kRunNoAuthority = 5,  // pkexec refused because no polkit authority answers
};

struct LanguageChoice {
  std::string code;                        // the language to run in
  std::optional<std::string> curLanguage;  // the "CurLanguage" to record, if any
};

class RunScript {
 public:
  // The choice alone; nothing is written.
  static LanguageChoice ChooseLanguage(const std::string& systemLanguage, const PrivateData& data);
  // The choice, recording "CurLanguage" in the user's overlay when it asks for it.
  static std::string GetCurrentLanaguage(const std::string& systemLanguage, PrivateData& data);
  // The main program's arguments after its own path.
  static std::vector<std::string> ToolArguments(const std::string& language, const std::optional<std::string>& rsfPath);
  // Starts `toolPath` through pkexec (directly when already root) without
  // waiting for it; "CurLanguage" is recorded only once it has started.
  static int RunTool(const std::string& toolPath, const std::optional<std::string>& rsfPath,
                     const std::string& systemLanguage, PrivateData& data, platform::ProcessStarter& starter);
};

}  // namespace launcher
