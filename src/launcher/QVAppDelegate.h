#pragma once
// The launcher's flow: keep the opened document, start the main program,
// quit.

#include <optional>
#include <string>
#include <vector>

#include "platform/ProcessStart.h"

namespace launcher {

// The executable name of the main program, in the launcher's own folder.
inline constexpr const char* kMainProgramName = "quarnel";

struct LauncherSettings {
  std::string launcherDirectory;              // folder of the launcher
  std::vector<std::string> privateDataFiles;  // shipped "PrivateData", first existing wins
  std::string overlayFile;                    // the user's writable "PrivateData"
  std::string systemLanguage;                 // see SystemLanguage()
  std::string workingDirectory;               // for relative document paths
};

// Settings of the running process: its folder, XDG folders and locale.
LauncherSettings LauncherSettingsFromEnvironment();

class QVAppDelegate {
 public:
  QVAppDelegate(platform::ProcessStarter& starter, LauncherSettings settings);

  // Keeps the document to pass on (made absolute).
  bool applicationOpenFile(const std::string& fileName);
  // Starts the main program; returns RunTool's status.
  int applicationDidFinishLaunching();

  const std::optional<std::string>& rsfPath() const { return m_rsfPath; }
  std::string MainExecutablePath() const;

 private:
  platform::ProcessStarter& m_starter;
  LauncherSettings m_settings;
  std::optional<std::string> m_rsfPath;
};

// The whole program: argv[1], when given, is a document to pass on.
// Exit status 0 when the main program was started, 1 otherwise.
int LoaderMain(const std::vector<std::string>& argv, platform::ProcessStarter& starter,
               const LauncherSettings& settings);

}  // namespace launcher
