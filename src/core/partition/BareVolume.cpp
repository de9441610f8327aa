#include "core/partition/BareVolume.h"

#include <memory>

#include "core/volume/VolumeAnalyzeController.h"

bool StartsWithVolume(IStorageDevice& device) {
  const std::unique_ptr<IVolumeAnalyzeController> controller(CreateVolumeAnalyzeController(&device, 0));
  return controller != nullptr && controller->GetVolumeAnzlyzer() != nullptr;
}
