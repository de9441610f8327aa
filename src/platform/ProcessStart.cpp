#include "platform/ProcessStart.h"

#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <csignal>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace platform {
namespace {

// posix_spawn attributes: default signal handling, empty mask, optionally a
// new session.
class SpawnAttributes {
 public:
  explicit SpawnAttributes(bool newSession) {
    m_ok = posix_spawnattr_init(&m_attr) == 0;
    if (!m_ok) return;
    sigset_t all;
    sigset_t none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&m_attr, &all);
    posix_spawnattr_setsigmask(&m_attr, &none);
    short flags = POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK;
    if (newSession) flags |= POSIX_SPAWN_SETSID;
    posix_spawnattr_setflags(&m_attr, flags);
  }
  ~SpawnAttributes() {
    if (m_ok) posix_spawnattr_destroy(&m_attr);
  }
  SpawnAttributes(const SpawnAttributes&) = delete;
  SpawnAttributes& operator=(const SpawnAttributes&) = delete;
  bool Ok() const { return m_ok; }
  const posix_spawnattr_t* Get() const { return &m_attr; }

 private:
  posix_spawnattr_t m_attr{};
  bool m_ok = false;
};

bool IsExecutableFile(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

// The kernel's short name of a process started from `path`.
std::string CommandNameOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.size() > 15) name.resize(15);
  return name;
}

// The short name of a running process, read from /proc; "" when gone.
std::string CurrentCommandName(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::stringstream text;
  text << in.rdbuf();
  const std::string stat = text.str();
  const auto open = stat.find('(');
  const auto close = stat.rfind(')');
  if (open == std::string::npos || close == std::string::npos || close < open) return {};
  return stat.substr(open + 1, close - open - 1);
}

StartResult Spawn(const std::string& program, const std::vector<std::string>& argv, bool newSession, pid_t* pid) {
  SpawnAttributes attributes(newSession);
  if (!attributes.Ok()) return StartResult::Failed;
  std::vector<char*> raw;
  raw.reserve(argv.size() + 1);
  for (const std::string& a : argv) raw.push_back(const_cast<char*>(a.c_str()));
  raw.push_back(nullptr);
  const int rc = posix_spawn(pid, program.c_str(), nullptr, attributes.Get(), raw.data(), environ);
  if (rc == 0) return StartResult::Started;
  return (rc == ENOENT || rc == EACCES || rc == ENOEXEC) ? StartResult::NotFound : StartResult::Failed;
}

// Waits until the elevator has become the program or has ended.
StartResult FollowElevator(pid_t pid, const std::string& program) {
  const std::string target = CommandNameOf(program);
  for (;;) {
    int status = 0;
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) {
      if (!WIFEXITED(status)) return StartResult::Failed;
      const int code = WEXITSTATUS(status);
      if (code == 126 || code == 127) return StartResult::Refused;
      return code == 0 ? StartResult::Started : StartResult::Failed;
    }
    if (done < 0 && errno != EINTR) return StartResult::Failed;
    if (done == 0 && CurrentCommandName(pid) == target) return StartResult::Started;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

}  // namespace

StartResult StartDetached(const std::string& path, const std::vector<std::string>& args, bool elevated,
                          const std::string& elevator) {
  if (path.empty() || path[0] != '/' || !IsExecutableFile(path)) return StartResult::NotFound;
  std::vector<std::string> argv;
  pid_t pid = 0;
  if (!elevated) {
    argv.push_back(path);
    argv.insert(argv.end(), args.begin(), args.end());
    return Spawn(path, argv, /*newSession=*/true, &pid);
  }
  if (!IsExecutableFile(elevator)) return StartResult::NoElevator;
  argv.push_back(elevator);
  argv.push_back(path);
  argv.insert(argv.end(), args.begin(), args.end());
  // pkexec keeps the terminal, which its text agent may need.
  const StartResult spawned = Spawn(elevator, argv, /*newSession=*/false, &pid);
  if (spawned != StartResult::Started) return StartResult::Failed;
  return FollowElevator(pid, path);
}

bool IsRoot() { return geteuid() == 0; }

bool PolkitAuthorityReachable() {
  std::string socketPath = "/run/dbus/system_bus_socket";
  const char* address = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
  const std::string prefix = "unix:path=";
  if (address != nullptr && std::string(address).rfind(prefix, 0) == 0) {
    socketPath = std::string(address).substr(prefix.size());
    socketPath = socketPath.substr(0, socketPath.find(','));
  }
  sockaddr_un addr{};
  if (socketPath.empty() || socketPath.size() >= sizeof addr.sun_path) return false;
  addr.sun_family = AF_UNIX;
  std::memcpy(addr.sun_path, socketPath.c_str(), socketPath.size());
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
  ::close(fd);
  if (!connected) return false;
  struct stat st {};
  return ::stat("/usr/share/dbus-1/system-services/org.freedesktop.PolicyKit1.service", &st) == 0 ||
         ::stat("/usr/lib/polkit-1/polkitd", &st) == 0 || ::stat("/usr/libexec/polkitd", &st) == 0;
}

}  // namespace platform
