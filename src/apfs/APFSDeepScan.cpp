#include "apfs/APFSDeepScan.h"

#include "apfs/ApfsLayout.h"
#include "apfs/ApfsObject.h"
#include "core/cache/StorageDeviceWithCache.h"
#include "core/device/StorageDevice.h"

namespace {

constexpr std::size_t kScanBuffer = 0x100000;
constexpr std::uint32_t kGroupBytes = 0x10000;
constexpr std::uint64_t kGroupBlocks = kGroupBytes / apfs::kBlockSize;

}  // namespace

ICompleteFileSystemSearchController* CreateAPFSDeepSearcher() { return new APFSDeepScan(); }

IQuickFileSystemSearchController* CreateAPFSQuickSearcher() { return nullptr; }

APFSDeepScan::APFSDeepScan() = default;

APFSDeepScan::~APFSDeepScan() { m_readers.clear(); }

void APFSDeepScan::SetDevice(IStorageDevice* device) {
  m_pDevice = device;
  const int ss = device != nullptr ? device->GetSectorSize() : 512;
  m_iSectorSize = ss < 1 ? 512 : ss;
}

std::vector<APFSContainerReader*> APFSDeepScan::Readers() const {
  std::vector<APFSContainerReader*> out;
  for (const auto& [sector, reader] : m_readers) out.push_back(reader.get());
  return out;
}

int APFSDeepScan::GetSearchedPartitionInfo(CSearchedPartitionInfo** out, int capacity) {
  if (out == nullptr || capacity <= 0 || m_readers.empty()) return 0;
  int filled = 0;
  for (const auto& [sector, reader] : m_readers) {
    if (filled >= capacity) break;
    auto* p = new CSearchedPartitionInfo(m_iSectorSize);
    p->m_u16PartitionIndex = static_cast<std::uint16_t>(filled);
    p->m_iFileSystem = kFsApfs;
    p->m_iSectorsPerCluster = 1;
    p->m_llClusterBaseSector = static_cast<long long>(reader->StartSector());
    p->m_llStartSector = static_cast<long long>(reader->StartSector());
    p->m_llTotalSectors = static_cast<long long>(reader->TotalSectors());
    out[filled++] = p;
  }
  return filled;
}

bool APFSDeepScan::ContinueCheck() { return m_pProgress == nullptr || m_pProgress->Continued() != 0; }

int APFSDeepScan::OnFileNodeFound(APFSFileNode* node) {
  if (node == nullptr || node->HandedOver()) return 0;
  node->m_flags |= APFSFileNode::kHandedOver;
  const bool file = node->IsDirectory() == 0;
  const int taken = m_pBuilder != nullptr ? m_pBuilder->AddNode(node, kSearcherApfs) : 0;
  if (taken != 0 && file) ++m_foundFiles;
  return taken;
}

int APFSDeepScan::ReadBlocks(APFSContainerReader* reader, std::uint64_t block, std::uint32_t byteCount, void* buffer) {
  if (m_pDevice == nullptr || buffer == nullptr || byteCount > kScanBuffer) return 0;
  const auto ss = static_cast<std::uint64_t>(m_iSectorSize);
  const std::uint64_t count = byteCount / ss;
  std::uint64_t byte = 0;
  std::uint64_t sector = 0;
  if (count == 0 || __builtin_mul_overflow(block, std::uint64_t{apfs::kBlockSize}, &byte)) return 0;
  const std::uint64_t base = reader != nullptr ? reader->StartSector() : 0;
  if (__builtin_add_overflow(byte / ss, base, &sector) || sector > static_cast<std::uint64_t>(INT64_MAX)) return 0;
  const long long total = m_pDevice->GetTotalSectors();
  if (total <= 0 || sector >= static_cast<std::uint64_t>(total) || count > static_cast<std::uint64_t>(total) - sector) {
    return 0;
  }
  return m_pDevice->ReadSector(buffer, static_cast<long long>(sector), static_cast<long long>(count));
}

APFSContainerReader* APFSDeepScan::NewReader(std::uint64_t sector, int index, std::uint64_t startSector) {
  auto reader = std::make_unique<APFSContainerReader>(this, index, startSector);
  if (m_pDevice != nullptr) reader->SetSectorSize(static_cast<std::uint32_t>(m_pDevice->GetSectorSize()));
  if (m_readers.empty() && m_pBuilder != nullptr) m_pBuilder->AddSearcherInfo(kSearcherApfs, 2);
  APFSContainerReader* raw = reader.get();
  m_readers[sector] = std::move(reader);
  return raw;
}

bool APFSDeepScan::TakeContainerSuperblock(std::uint64_t sector, const ByteView& block) {
  const apfs::ObjectHeader h = apfs::DecodeObjectHeader(block);
  if (h.oid != 1 || h.type != apfs::kTypeContainerSuperblock || !apfs::HasContainerMagic(block) ||
      block.U32Le(apfs::kNxBlockSize) != apfs::kBlockSize || !apfs::ChecksumOk(block)) {
    return false;
  }
  const apfs::ContainerSuperblock sb = apfs::DecodeContainerSuperblock(block);
  for (const auto& [start, reader] : m_readers) {
    if (reader->Covers(sector) && reader->Uuid() == sb.uuid) return true;
  }
  if (m_readers.count(sector) != 0) return true;
  APFSContainerReader* reader = NewReader(sector, static_cast<int>(m_readers.size()), ContainerStart(sector, block));
  // The container is taken whatever its walk gives: one whose walk fails
  // covers no sectors, so it collects nothing, and its superblock is not
  // taken a second time.
  (void)reader->ParseContainer(&block);
  return true;
}

std::uint64_t APFSDeepScan::ContainerStart(std::uint64_t sector, const ByteView& block) {
  // A superblock is written to block 0 and, as the last block of its
  // checkpoint, into the checkpoint-descriptor area. The first one the sweep
  // meets is block 0, unless block 0 is lost: then it is a copy, and its own
  // checkpoint fields tell how far into the container it lies.
  const apfs::ContainerSuperblock sb = apfs::DecodeContainerSuperblock(block);
  const std::optional<std::uint64_t> position = apfs::CheckpointCopyPosition(block);
  const auto ss = static_cast<std::uint64_t>(m_iSectorSize);
  const std::uint64_t deviceBlock = sector * ss / apfs::kBlockSize;
  if (!position || *position == 0 || *position > deviceBlock) return sector;
  // Block 0 intact: the copy of the same transaction lies `position` blocks further.
  std::vector<std::uint8_t> copy(apfs::kBlockSize);
  if (ReadBlocks(nullptr, deviceBlock + *position, apfs::kBlockSize, copy.data()) != 0) {
    const ByteView view(copy.data(), copy.size());
    if (apfs::HasContainerMagic(view) && apfs::ChecksumOk(view)) {
      const apfs::ContainerSuperblock other = apfs::DecodeContainerSuperblock(view);
      if (other.uuid == sb.uuid && other.xid == sb.xid) return sector;
    }
  }
  return (deviceBlock - *position) * apfs::kBlockSize / ss;
}

bool APFSDeepScan::TakeLoneVolume(std::uint64_t sector, const ByteView& block) {
  if (!m_readers.empty() || !apfs::HasVolumeMagic(block) || !apfs::ChecksumOk(block)) return false;
  APFSContainerReader* reader = NewReader(sector, 0, 0);
  reader->SetTotalSectors(static_cast<std::uint64_t>(m_pDevice->GetTotalSectors()));
  // Whatever the walk gives, the reader covers the whole device and collects
  // the sweep's stray nodes.
  (void)reader->ParseVolume(sector * static_cast<std::uint64_t>(m_iSectorSize) / apfs::kBlockSize);
  reader->SetParsed();
  return true;
}

int APFSDeepScan::AnalyzeBlock(long long startSector, long long sectorCount) {
  if (m_pDevice == nullptr || startSector < 0 || sectorCount <= 0) return 1;
  const auto ss = static_cast<std::uint64_t>(m_iSectorSize);
  const auto s = static_cast<std::uint64_t>(startSector);
  const auto c = static_cast<std::uint64_t>(sectorCount);
  const std::uint64_t firstBlock = s * ss / apfs::kBlockSize;
  const std::uint64_t endBlock = (s + c) * ss / apfs::kBlockSize;
  const long long totalSectors = m_pDevice->GetTotalSectors();
  const std::uint64_t deviceBlocks =
      totalSectors > 0 ? static_cast<std::uint64_t>(totalSectors) * ss / apfs::kBlockSize : 0;

  if (ContinueCheck()) {
    for (std::uint64_t b = firstBlock; b < endBlock; b += kGroupBlocks) {
      // The last group stops at the device end.
      const std::uint64_t blocks =
          b + kGroupBlocks <= deviceBlocks ? kGroupBlocks : (b < deviceBlocks ? deviceBlocks - b : 0);
      if (blocks == 0) break;
      // The group is looked at in the read-ahead cache when it holds it.
      const std::uint8_t* group =
          CStorageDeviceWithCache::View(m_pDevice, static_cast<long long>(b * apfs::kBlockSize / ss),
                                        static_cast<long long>(blocks * apfs::kBlockSize / ss));
      if (group == nullptr) {
        // Made when a group first has to be read.
        if (m_buffer.size() < kGroupBytes) m_buffer.resize(kGroupBytes);
        if (ReadBlocks(nullptr, b, static_cast<std::uint32_t>(blocks * apfs::kBlockSize), m_buffer.data()) == 0)
          continue;
        group = m_buffer.data();
      }
      if (!ContinueCheck()) continue;
      for (std::uint64_t k = 0; k < blocks; ++k) {
        const ByteView data(group + k * apfs::kBlockSize, apfs::kBlockSize);
        if (apfs::IsObjectHeader(data)) {
          const std::uint64_t sec = (b + k) * apfs::kBlockSize / ss;
          if (!TakeContainerSuperblock(sec, data) && !TakeLoneVolume(sec, data)) {
            for (const auto& [start, reader] : m_readers) {
              if (!ContinueCheck()) break;
              reader->AnalyzeStrayNode(sec, b + k, data);
            }
          }
        }
        if (!ContinueCheck()) break;
      }
      if (!ContinueCheck()) break;
    }
  }
  for (const auto& [start, reader] : m_readers) {
    if (!ContinueCheck()) break;
    reader->FlushPending(static_cast<std::int64_t>(endBlock - reader->StartBlock()));
  }
  return 1;
}

void APFSDeepScan::EndSearch(int build) {
  if (build == 0 || m_readers.empty()) return;
  for (const auto& [start, reader] : m_readers) reader->FlushPending(APFSContainerReader::kFinalFlush);
  if (m_pBuilder != nullptr) {
    m_pBuilder->SetPartitonDevice(nullptr, m_pDevice);
    m_pBuilder->FlashBuild(kSearcherApfs);
  }
}
