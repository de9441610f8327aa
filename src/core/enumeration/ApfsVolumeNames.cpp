#include "core/enumeration/ApfsVolumeNames.h"

#include <atomic>

namespace {
std::atomic<ApfsVolumeNameSource> g_source{nullptr};
}

void SetApfsVolumeNameSource(ApfsVolumeNameSource source) { g_source.store(source); }

bool LookUpApfsVolumeName(IStorageDevice* device, ApfsVolumeName& out) {
  const ApfsVolumeNameSource source = g_source.load();
  return source != nullptr && device != nullptr && source(device, out);
}
