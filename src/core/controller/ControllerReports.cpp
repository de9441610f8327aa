#include "core/controller/ControllerReports.h"

namespace controller_reports {

void Send(IProgress* progress, std::int32_t state, std::uint64_t total, std::uint64_t done, std::uint64_t found) {
  if (progress == nullptr) return;
  _PROGRESS_INFO info{};
  info.state = state;
  info.total = total;
  info.done = done;
  info.result = found;
  progress->UpdateProgress(&info);
}

}  // namespace controller_reports
