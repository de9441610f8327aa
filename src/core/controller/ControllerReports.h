#pragma once
// Progress reports and result codes shared by the recovery controllers.

#include <cstdint>

#include "core/model/Contracts.h"

namespace controller_reports {

// Sends a zeroed record with the given state, total and done; `found` goes
// into the result field (the files found so far during a sweep).
void Send(IProgress* progress, std::int32_t state, std::uint64_t total, std::uint64_t done, std::uint64_t found = 0);
// State 2, total 1: the job has started.
inline void SendStart(IProgress* progress) { Send(progress, kProgressRunning, 1, 0); }
// State 3, total 1, done 1: the job is over.
inline void SendEnd(IProgress* progress) { Send(progress, kProgressFinished, 1, 1); }

}  // namespace controller_reports

// A failure code of the recovery controllers, stamped with the source line.
#define QV_CTRL_RESULT(code) QV_RESULT(::result::kModuleRecoveryController, (code))
