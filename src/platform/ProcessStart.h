#pragma once
// Starting another program without waiting for it, optionally as root
// through pkexec. Argument vectors only: no shell is involved.

#include <string>
#include <vector>

namespace platform {

enum class StartResult {
  Started,     // the program is running (or ran)
  Refused,     // the authorisation was cancelled or refused
  NotFound,    // the program is missing or not executable
  Failed,      // any other failure (spawn error, broken elevator)
  NoElevator,  // elevation asked for, but pkexec is not installed
};

// The fixed place of pkexec; never looked up through PATH.
inline constexpr const char* kPkexecPath = "/usr/bin/pkexec";

// Starts `path` (absolute) with `args` as its argv[1..]. Not elevated: a
// direct start in a new session. Elevated: `elevator path args...`, waiting
// only until the elevator has either replaced itself with the program
// (started) or ended with 126/127 (refused).
StartResult StartDetached(const std::string& path, const std::vector<std::string>& args, bool elevated,
                          const std::string& elevator = kPkexecPath);

// True when the process runs with root's effective user id.
bool IsRoot();

// The seam used by the launcher and the start-up code.
class ProcessStarter {
 public:
  virtual ~ProcessStarter() = default;
  virtual StartResult Start(const std::string& path, const std::vector<std::string>& args, bool elevated) = 0;
  virtual bool IsRoot() const = 0;
  // Whether an authority that could grant elevation answers at all (for
  // pkexec: polkit on the D-Bus system bus). Asked only after a refusal.
  virtual bool ElevationAuthorityReachable() const { return true; }
};

// True when the D-Bus system bus accepts a connection and polkit's service
// is known to it.
bool PolkitAuthorityReachable();

class SystemProcessStarter final : public ProcessStarter {
 public:
  explicit SystemProcessStarter(std::string elevator = kPkexecPath) : m_elevator(std::move(elevator)) {}
  StartResult Start(const std::string& path, const std::vector<std::string>& args, bool elevated) override {
    return StartDetached(path, args, elevated, m_elevator);
  }
  bool IsRoot() const override { return platform::IsRoot(); }
  bool ElevationAuthorityReachable() const override { return PolkitAuthorityReachable(); }

 private:
  std::string m_elevator;
};

}  // namespace platform
