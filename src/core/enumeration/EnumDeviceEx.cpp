#include "core/enumeration/EnumDeviceEx.h"

#include <algorithm>
#include <map>
#include <memory>
#include <vector>

#include "core/enumeration/EnumDevice.h"
#include "core/enumeration/MergeVolumeAndPartition.h"

namespace {

RESULT Code(std::uint32_t code) { return result::Make(result::kModuleEnumDevice, 0, code); }

void DestroyAll(std::vector<IStorageDevice*>& list) {
  for (IStorageDevice* d : list) delete d;
  list.clear();
}

// Two-call hand-out: null array asks the count.
RESULT HandOut(const std::vector<IStorageDevice*>& list, IStorageDevice** array, int& count, bool emptyArrayTooSmall) {
  const int size = static_cast<int>(list.size());
  if (array == nullptr) {
    count = size;
    return result::kSuccess;
  }
  if (count < size && (count != 0 || emptyArrayTooSmall)) return Code(kEnumArrayTooSmall);
  if (count == 0) return result::kSuccess;
  std::copy(list.begin(), list.end(), array);
  count = size;
  return result::kSuccess;
}

class CEnumDeviceEx final : public IEnumDeviceEx {
 public:
  explicit CEnumDeviceEx(EnumSources sources) : m_sources(std::move(sources)) {}
  ~CEnumDeviceEx() override { ReleaseEverything(); }

  RESULT Init() override;
  RESULT Uninit() override;
  RESULT EnumDiskDevice(IStorageDevice** array, int& count) override;
  RESULT EnumPartitionDevice(const IStorageDevice* disk, IStorageDevice** array, int& count) override;
  RESULT EnumVolumeDevice(const IStorageDevice* disk, IStorageDevice** array, int& count) override;

 private:
  void ReleaseEverything();

  EnumSources m_sources;
  bool m_bInitialized = false;
  std::unique_ptr<CEnumDevice> m_enum;
  std::vector<IStorageDevice*> m_disks;
  std::map<const IStorageDevice*, std::vector<IStorageDevice*>> m_volumes;
  std::map<const IStorageDevice*, std::vector<IStorageDevice*>> m_partitions;
};

void CEnumDeviceEx::ReleaseEverything() {
  for (auto& [disk, list] : m_volumes) DestroyAll(list);
  for (auto& [disk, list] : m_partitions) DestroyAll(list);
  m_volumes.clear();
  m_partitions.clear();
  DestroyAll(m_disks);
  m_enum.reset();
}

RESULT CEnumDeviceEx::Init() {
  // A second Init enumerates afresh.
  ReleaseEverything();
  m_bInitialized = false;
  m_enum = std::make_unique<CEnumDevice>(m_sources);
  m_enum->EnumDiskDevice(m_disks);
  if (m_disks.empty()) {
    ReleaseEverything();
    return Code(kEnumNoDisk);
  }
  for (IStorageDevice* disk : m_disks) {
    m_enum->EnumVolumeDevice(disk, m_volumes[disk]);
    m_enum->EnumPartitionDevice(disk, m_partitions[disk]);
  }
  m_bInitialized = true;
  return result::kSuccess;
}

RESULT CEnumDeviceEx::Uninit() {
  if (!m_bInitialized) return Code(kEnumNotReady);
  ReleaseEverything();
  m_bInitialized = false;
  return result::kSuccess;
}

RESULT CEnumDeviceEx::EnumDiskDevice(IStorageDevice** array, int& count) {
  if (!m_bInitialized) return Code(kEnumNotReady);
  return HandOut(m_disks, array, count, false);
}

RESULT CEnumDeviceEx::EnumPartitionDevice(const IStorageDevice* disk, IStorageDevice** array, int& count) {
  if (!m_bInitialized) return Code(kEnumNotReady);
  if (disk == nullptr) return Code(kEnumNoRecord);
  const auto it = m_partitions.find(disk);
  if (it == m_partitions.end()) return Code(kEnumUnknownDisk);
  return HandOut(it->second, array, count, false);
}

RESULT CEnumDeviceEx::EnumVolumeDevice(const IStorageDevice* disk, IStorageDevice** array, int& count) {
  if (!m_bInitialized) return Code(kEnumNotReady);
  if (disk == nullptr) return Code(kEnumNoRecord);
  const auto volumes = m_volumes.find(disk);
  const auto partitions = m_partitions.find(disk);
  if (volumes == m_volumes.end() && partitions == m_partitions.end()) return Code(kEnumUnknownDisk);
  static const std::vector<IStorageDevice*> kNone;
  const auto& vols = volumes != m_volumes.end() ? volumes->second : kNone;
  const auto& parts = partitions != m_partitions.end() ? partitions->second : kNone;

  std::vector<IStorageDevice*> merged;
  const RESULT r = CMergeVolumeAndPartition::MergeAsVolume(vols, parts, merged);
  // Virtual volumes are new: kept by the caller only when handed out.
  auto dropVirtual = [&]() {
    for (std::size_t i = vols.size(); i < merged.size(); ++i) delete merged[i];
  };
  if (result::Failed(r)) {
    dropVirtual();
    return r;
  }
  const RESULT h = HandOut(merged, array, count, true);
  if (array == nullptr || result::Failed(h) || count == 0) dropVirtual();
  return h;
}

}  // namespace

IEnumDeviceEx* CreateEnumDeviceEx() {
  static CEnumDeviceEx instance{EnumSources{}};
  return &instance;
}

IEnumDeviceEx* CreateEnumDeviceExFrom(const EnumSources& sources) { return new CEnumDeviceEx(sources); }
