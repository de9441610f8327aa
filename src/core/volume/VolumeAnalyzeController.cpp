#include "core/volume/VolumeAnalyzeController.h"

#include <memory>
#include <vector>

#include "core/engines/EngineRegistry.h"

namespace {

constexpr int kNotRecognised = 10;
constexpr int kLabelBytes = 100;

class CVolumeAnalyzeController final : public IVolumeAnalyzeController {
 public:
  CVolumeAnalyzeController(IStorageDevice* device, unsigned long long startSector) {
    for (int order = 0; order < kAnalyzeCount; ++order) {
      const VolumeAnalyzeFactory factory =
          engine_registry::GetVolumeAnalyzeFactory(static_cast<VolumeAnalyzeOrder>(order));
      if (factory == nullptr) continue;
      std::unique_ptr<IVolumeAnalyze> analyzer(factory(device, startSector));
      if (analyzer) m_analyzers.push_back(std::move(analyzer));
    }
  }

  IVolumeAnalyze* GetVolumeAnzlyzer() override {
    for (const auto& analyzer : m_analyzers) {
      if (analyzer->GetFileSystemType() != kNotRecognised) return analyzer.get();
    }
    return nullptr;
  }

 private:
  std::vector<std::unique_ptr<IVolumeAnalyze>> m_analyzers;
};

}  // namespace

IVolumeAnalyzeController* CreateVolumeAnalyzeController(IStorageDevice* device, unsigned long long startSector) {
  return new CVolumeAnalyzeController(device, startSector);
}

RecognizedVolume RecognizeVolume(IStorageDevice* device, unsigned long long startSector) {
  RecognizedVolume found;
  const std::unique_ptr<IVolumeAnalyzeController> controller(CreateVolumeAnalyzeController(device, startSector));
  IVolumeAnalyze* analyzer = controller->GetVolumeAnzlyzer();
  if (analyzer == nullptr) return found;
  found.fileSystem = analyzer->GetFileSystemType();
  found.totalSectors = analyzer->GetTotalSector();
  char label[kLabelBytes + 1] = {};
  analyzer->GetLabel(label, kLabelBytes);
  label[kLabelBytes] = '\0';
  found.label = label;
  return found;
}
