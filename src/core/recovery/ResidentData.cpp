#include "core/recovery/ResidentData.h"

#include <atomic>

namespace resident_data {
namespace {
std::atomic<ResidentDataReader> g_reader{nullptr};
}

void Register(ResidentDataReader reader) { g_reader.store(reader); }
ResidentDataReader Get() { return g_reader.load(); }

}  // namespace resident_data
