#include "launcher/QVAppDelegate.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "launcher/PrivateData.h"
#include "launcher/RunScript.h"
#include "launcher/SystemLanguage.h"
#include "platform/ProcessPaths.h"

#ifndef QUARNEL_SOURCE_SHARE_DIR
#define QUARNEL_SOURCE_SHARE_DIR ""
#endif

namespace launcher {
namespace {

std::string UserConfigDirectory() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && xdg[0] == '/') return xdg;
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return std::string(home) + "/.config";
  const passwd* pw = getpwuid(getuid());
  if (pw != nullptr && pw->pw_dir != nullptr && pw->pw_dir[0] == '/') return std::string(pw->pw_dir) + "/.config";
  return {};
}

std::string CurrentDirectory() {
  char buf[4096];
  return getcwd(buf, sizeof buf) != nullptr ? std::string(buf) : std::string();
}

const char* StatusText(int status) {
  switch (status) {
    case kRunRefused:
      return "authorisation cancelled or refused";
    case kRunNotFound:
      return "main program missing";
    case kRunNoElevator:
      return "pkexec is not installed, so administrator rights cannot be asked for (install the package "
             "pkexec, or start quarnel-launcher as root)";
    case kRunNoAuthority:
      return "no polkit authority answers (the D-Bus system bus or polkitd is not running), so administrator "
             "rights cannot be asked for";
    default:
      return "could not start the main program";
  }
}

}  // namespace

LauncherSettings LauncherSettingsFromEnvironment() {
  LauncherSettings s;
  s.launcherDirectory = platform::ExecutableDirectory();
  if (!s.launcherDirectory.empty()) {
    s.privateDataFiles.push_back(s.launcherDirectory + "/PrivateData.plist");
    s.privateDataFiles.push_back(s.launcherDirectory + "/../share/quarnel/PrivateData.plist");
  }
  if (*QUARNEL_SOURCE_SHARE_DIR != '\0') {
    s.privateDataFiles.push_back(std::string(QUARNEL_SOURCE_SHARE_DIR) + "/PrivateData.plist");
  }
  const std::string config = UserConfigDirectory();
  if (!config.empty()) s.overlayFile = config + "/quarnel/PrivateData.plist";
  s.systemLanguage = SystemLanguage([](const char* name) { return std::getenv(name); });
  s.workingDirectory = CurrentDirectory();
  return s;
}

QVAppDelegate::QVAppDelegate(platform::ProcessStarter& starter, LauncherSettings settings)
    : m_starter(starter), m_settings(std::move(settings)) {}

bool QVAppDelegate::applicationOpenFile(const std::string& fileName) {
  if (fileName.empty()) return false;
  if (fileName[0] == '/' || m_settings.workingDirectory.empty()) {
    m_rsfPath = fileName;
  } else {
    m_rsfPath = m_settings.workingDirectory + "/" + fileName;
  }
  return true;
}

std::string QVAppDelegate::MainExecutablePath() const {
  if (m_settings.launcherDirectory.empty()) return {};
  return m_settings.launcherDirectory + "/" + kMainProgramName;
}

int QVAppDelegate::applicationDidFinishLaunching() {
  const std::string tool = MainExecutablePath();
  if (tool.empty()) return kRunNotFound;
  PrivateData data = PrivateData::Load(m_settings.privateDataFiles, m_settings.overlayFile);
  return RunScript::RunTool(tool, m_rsfPath, m_settings.systemLanguage, data, m_starter);
}

int LoaderMain(const std::vector<std::string>& argv, platform::ProcessStarter& starter,
               const LauncherSettings& settings) {
  QVAppDelegate delegate(starter, settings);
  if (argv.size() >= 2) delegate.applicationOpenFile(argv[1]);
  const int status = delegate.applicationDidFinishLaunching();
  if (status == kRunStarted) return 0;
  std::fprintf(stderr, "quarnel-launcher: %s (%s)\n", StatusText(status), delegate.MainExecutablePath().c_str());
  return 1;
}

}  // namespace launcher
