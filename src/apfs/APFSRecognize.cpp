#include "apfs/APFSRecognize.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

#include "apfs/ApfsBTreeNode.h"
#include "apfs/ApfsLayout.h"
#include "apfs/ApfsObject.h"

namespace {

constexpr std::size_t kRecognizeBuffer = 0x8000;
constexpr int kMaxCopies = 32;
constexpr std::size_t kLabelBytes = 32;

class BlockReader {
 public:
  BlockReader(IStorageDevice* device, unsigned long long startSector)
      : m_device(device), m_start(startSector), m_buffer(kRecognizeBuffer, 0) {}

  // One 4096-byte block of the container; false when it cannot be read.
  bool Read(std::uint64_t block) {
    const int ss = m_device->GetSectorSize();
    if (ss <= 0 || ss > static_cast<int>(apfs::kBlockSize) || apfs::kBlockSize % ss != 0) return false;
    const std::uint64_t perBlock = apfs::kBlockSize / static_cast<std::uint64_t>(ss);
    std::uint64_t sector = 0;
    if (__builtin_mul_overflow(block, perBlock, &sector) || __builtin_add_overflow(sector, m_start, &sector))
      return false;
    const long long total = m_device->GetTotalSectors();
    if (total <= 0 || sector >= static_cast<std::uint64_t>(total) ||
        perBlock > static_cast<std::uint64_t>(total) - sector) {
      return false;
    }
    std::fill(m_buffer.begin(), m_buffer.end(), 0);
    return m_device->ReadSector(m_buffer.data(), static_cast<long long>(sector), static_cast<long long>(perBlock)) != 0;
  }
  bool ReadObject(std::uint64_t block) {
    if (!Read(block)) return false;
    return apfs::IsObjectHeader(View()) && apfs::ChecksumOk(View());
  }
  ByteView View() const { return ByteView(m_buffer.data(), apfs::kBlockSize); }

 private:
  IStorageDevice* m_device;
  unsigned long long m_start;
  std::vector<std::uint8_t> m_buffer;
};

// Volume superblock reached from the object map of one container superblock.
bool VolumeFromSuperblock(BlockReader& reader, const apfs::ContainerSuperblock& sb, ApfsFirstVolume& out) {
  if (!reader.ReadObject(sb.omapOid)) return false;
  const std::uint64_t root = reader.View().U64Le(apfs::kOmapTreeOid);
  if (!reader.ReadObject(root) || apfs::DecodeObjectHeader(reader.View()).subtype != apfs::kSubtypeObjectMap) {
    return false;
  }
  const std::vector<std::uint64_t> volumes = apfs::ListOmapRootValues(reader.View());
  if (volumes.empty() || !reader.ReadObject(volumes.front()) || !apfs::HasVolumeMagic(reader.View())) return false;
  out.name = apfs::VolumeName(reader.View());
  out.uuid = apfs::VolumeUuid(reader.View());
  return true;
}

}  // namespace

IVolumeAnalyze* CreateAPFSVolumeAnalyze(IStorageDevice* device, unsigned long long startSector) {
  if (device == nullptr) return nullptr;
  const int ss = device->GetSectorSize();
  if (ss <= 0 || static_cast<std::size_t>(ss) > kRecognizeBuffer) return nullptr;
  std::vector<std::uint8_t> buffer(kRecognizeBuffer, 0);
  if (device->ReadSector(buffer.data(), static_cast<long long>(startSector), 1) == 0) return nullptr;
  const ByteView view(buffer.data(), static_cast<std::size_t>(ss));
  const apfs::ObjectHeader h = apfs::DecodeObjectHeader(view);
  if (h.type < 1 || h.type > apfs::kMaxObjType || h.subtype >= 32 ||
      view.U64Le(apfs::kNxMagic) != 0x000010004253584EULL) {
    return nullptr;
  }
  return new APFSRecognize(device, startSector, device->GetTotalSectors() - static_cast<long long>(startSector));
}

bool FindApfsFirstVolume(IStorageDevice* device, unsigned long long startSector, ApfsFirstVolume& out) {
  if (device == nullptr) return false;
  BlockReader reader(device, startSector);
  if (!reader.Read(0) || !apfs::IsObjectHeader(reader.View()) || !apfs::HasContainerMagic(reader.View())) return false;
  const apfs::ContainerSuperblock first = apfs::DecodeContainerSuperblock(reader.View());
  std::set<std::uint64_t> tried{0};
  for (int copy = 0; copy < kMaxCopies; ++copy) {
    const apfs::ContainerSuperblock sb = apfs::DecodeContainerSuperblock(reader.View());
    const bool intact = apfs::ChecksumOk(reader.View());
    if (intact && VolumeFromSuperblock(reader, sb, out)) return true;
    if (!tried.insert(sb.nextCopy).second) break;
    if (!reader.Read(sb.nextCopy) || !apfs::IsObjectHeader(reader.View()) || !apfs::HasContainerMagic(reader.View())) {
      break;
    }
  }
  // The copies of the checkpoint-descriptor area, newest first.
  std::vector<apfs::ContainerSuperblock> copies;
  for (const std::uint64_t block : apfs::CheckpointAreaBlocks(first, kMaxCopies)) {
    if (!reader.ReadObject(block) || !apfs::HasContainerMagic(reader.View())) continue;
    const apfs::ContainerSuperblock sb = apfs::DecodeContainerSuperblock(reader.View());
    if (sb.uuid == first.uuid) copies.push_back(sb);
  }
  std::stable_sort(copies.begin(), copies.end(), [](const auto& a, const auto& b) { return a.xid > b.xid; });
  for (const apfs::ContainerSuperblock& sb : copies) {
    if (VolumeFromSuperblock(reader, sb, out)) return true;
  }
  return false;
}

void APFSRecognize::GetLabel(char* label, int size) {
  if (label == nullptr || size <= 0) return;
  ApfsFirstVolume volume;
  if (!FindApfsFirstVolume(m_pDevice, m_startSector, volume) || volume.name.empty()) return;
  std::size_t n = std::min({volume.name.size(), kLabelBytes, static_cast<std::size_t>(size) - 1});
  // Cut on a UTF-8 character boundary.
  while (n > 0 && n < volume.name.size() && (static_cast<unsigned char>(volume.name[n]) & 0xC0) == 0x80) --n;
  std::memcpy(label, volume.name.data(), n);
  label[n] = '\0';
}
