#pragma once
// A process starter that starts nothing: it records every start asked of it
// and answers with a chosen result.

#include <string>
#include <vector>

#include "platform/ProcessStart.h"

namespace testsupport {

class FakeStarter final : public platform::ProcessStarter {
 public:
  struct Call {
    std::string path;
    std::vector<std::string> args;
    bool elevated;
  };
  platform::StartResult Start(const std::string& path, const std::vector<std::string>& args, bool elevated) override {
    calls.push_back({path, args, elevated});
    return result;
  }
  bool IsRoot() const override { return root; }
  bool ElevationAuthorityReachable() const override { return authority; }

  platform::StartResult result = platform::StartResult::Started;
  bool root = false;
  bool authority = true;
  std::vector<Call> calls;
};

}  // namespace testsupport
