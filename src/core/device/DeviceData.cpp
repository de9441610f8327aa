#include "core/device/DeviceData.h"

#include <cstring>

#include "core/device/StorageDevice.h"
#include "core/util/ByteView.h"

namespace {

class CDiskDeviceData final : public IDiskDeviceData {
 public:
  explicit CDiskDeviceData(CCollectDiskDeviceInfoStruct* info) : m_info(info) {}
  CCollectDiskDeviceInfoStruct* GetDiskInfo() override { return m_info.get(); }
  void SetDiskInfo(CCollectDiskDeviceInfoStruct* info) override { m_info.reset(info); }

 private:
  std::unique_ptr<CCollectDiskDeviceInfoStruct> m_info;
};

class CVolumeDeviceData final : public IVolumeDeviceData {
 public:
  explicit CVolumeDeviceData(CCollectedVolumeDeviceInfoStruct* info) : m_info(info) {}
  CCollectedVolumeDeviceInfoStruct* GetVolumeInfo() override { return m_info.get(); }
  void SetVolumeInfo(CCollectedVolumeDeviceInfoStruct* info) override { m_info.reset(info); }

 private:
  std::unique_ptr<CCollectedVolumeDeviceInfoStruct> m_info;
};

class CPartitionDeviceData final : public IPartitionDeviceData {
 public:
  explicit CPartitionDeviceData(CCollectedPartitionDeviceInfoStruct* info) : m_info(info) {}
  CCollectedPartitionDeviceInfoStruct* GetPartitionInfo() override { return m_info.get(); }
  void SetPartitionInfo(CCollectedPartitionDeviceInfoStruct* info) override { m_info.reset(info); }

 private:
  std::unique_ptr<CCollectedPartitionDeviceInfoStruct> m_info;
};

class CDmgDeviceData final : public IDmgDeviceData {
 public:
  explicit CDmgDeviceData(CDMGDeviceInfoStruct* info) : m_info(info) {}
  CDMGDeviceInfoStruct* GetDMGInfo() override { return m_info.get(); }
  void SetDMGInfo(CDMGDeviceInfoStruct* info) override { m_info.reset(info); }

 private:
  std::unique_ptr<CDMGDeviceInfoStruct> m_info;
};

class CQdiDeviceData final : public IQDIDeviceData {
 public:
  explicit CQdiDeviceData(CQDIDeviceInfoStruct* info) : m_info(info) {}
  CQDIDeviceInfoStruct* GetQDIInfo() override { return m_info.get(); }
  void SetQDIInfo(CQDIDeviceInfoStruct* info) override { m_info.reset(info); }

 private:
  std::unique_ptr<CQDIDeviceInfoStruct> m_info;
};

void PutLe(std::uint8_t* out, std::uint64_t value) {
  for (int i = 0; i < 8; ++i) out[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// Copies at most field-1 bytes; the rest of the field stays zero.
void PutText(std::uint8_t* out, std::size_t field, const std::string& text) {
  const std::size_t n = text.size() < field - 1 ? text.size() : field - 1;
  if (n != 0) std::memcpy(out, text.data(), n);
}

// Text of a stored field, up to its first zero byte.
std::string GetText(const ByteView& view, std::size_t off, std::size_t field) {
  ByteView sub = view.Sub(off, field);
  std::size_t n = 0;
  while (n < sub.Size() && sub.U8(n) != 0) ++n;
  return std::string(reinterpret_cast<const char*>(sub.Data()), n);
}

template <class Data>
Data* DataOf(IStorageDevice* device) {
  if (device == nullptr) return nullptr;
  return dynamic_cast<Data*>(device->GetPrivateData());
}

}  // namespace

CCollectedVolumeDeviceInfoStruct VolumeInfoFromPartition(const CCollectedPartitionDeviceInfoStruct& p) {
  CCollectedVolumeDeviceInfoStruct v;
  v.reserved = p.reserved;
  v.secondWord = p.secondWord;
  v.fileSystem = p.fileSystem;
  v.label = p.label;
  v.sectorSize = p.sectorSize;
  v.totalSectors = p.totalSectors;
  v.deviceId = p.deviceId;
  v.parentDisk = p.parentDisk;
  v.partitionNumber = p.partitionIndex;
  v.gptTypeGuid = p.gptTypeGuid;
  v.gptUniqueGuid = p.gptUniqueGuid;
  v.apmType = p.apmType;
  v.startSector = p.startSector;
  v.mounted = 0;
  return v;
}

std::uint64_t CylindersOf(std::int64_t totalSectors) {
  return totalSectors > 0 ? static_cast<std::uint64_t>(totalSectors) / 16065u : 0;
}

std::array<std::uint8_t, kQdiInfoSize> SerializeQdiInfo(const CQDIDeviceInfoStruct& info) {
  std::array<std::uint8_t, kQdiInfoSize> out{};
  PutLe(out.data() + 0, info.sectorSize);
  PutLe(out.data() + 8, info.totalSectors);
  PutLe(out.data() + 16, info.dataOffset);
  PutLe(out.data() + 24, info.fileSize);
  PutText(out.data() + 32, 128, info.name);
  PutText(out.data() + 160, 1024, info.path);
  PutLe(out.data() + 1184, static_cast<std::uint64_t>(info.creationTime));
  return out;
}

bool ParseQdiInfo(const std::uint8_t* bytes, std::size_t size, CQDIDeviceInfoStruct& out) {
  if (bytes == nullptr || size < kQdiInfoSize) return false;
  ByteView view(bytes, kQdiInfoSize);
  out.sectorSize = view.U64Le(0);
  out.totalSectors = view.U64Le(8);
  out.dataOffset = view.U64Le(16);
  out.fileSize = view.U64Le(24);
  out.name = GetText(view, 32, 127);  // the last name byte is forced to 0
  out.path = GetText(view, 160, 1024);
  out.creationTime = static_cast<std::int64_t>(view.U64Le(1184));
  static_assert(kQdiInfoSize >= 1184 + 8, "every field lies inside the record");
  return true;
}

std::array<std::uint8_t, kDmgInfoSize> SerializeDmgInfo(const CDMGDeviceInfoStruct& info) {
  std::array<std::uint8_t, kDmgInfoSize> out{};
  PutLe(out.data() + 0, info.sectorSize);
  PutLe(out.data() + 8, info.totalSectors);
  PutLe(out.data() + 16, info.dataOffset);
  PutLe(out.data() + 24, info.fileSize);
  PutText(out.data() + 32, 128, info.name);
  PutText(out.data() + 1056, 1032, info.path);
  return out;
}

bool ParseDmgInfo(const std::uint8_t* bytes, std::size_t size, CDMGDeviceInfoStruct& out) {
  if (bytes == nullptr || size < kDmgInfoSize) return false;
  ByteView view(bytes, kDmgInfoSize);
  out.sectorSize = view.U64Le(0);
  out.totalSectors = view.U64Le(8);
  out.dataOffset = view.U64Le(16);
  out.fileSize = view.U64Le(24);
  out.name = GetText(view, 32, 127);
  out.path = GetText(view, 1056, 1032);
  static_assert(kDmgInfoSize >= 1056 + 1032, "every field lies inside the record");
  return true;
}

IDiskDeviceData* CreateDiskDeviceData(CCollectDiskDeviceInfoStruct* info) { return new CDiskDeviceData(info); }
IVolumeDeviceData* CreateVolumeDeviceData(CCollectedVolumeDeviceInfoStruct* info) {
  return new CVolumeDeviceData(info);
}
IPartitionDeviceData* CreatePartitionDeviceData(CCollectedPartitionDeviceInfoStruct* info) {
  return new CPartitionDeviceData(info);
}
IDmgDeviceData* CreateDMGDeviceData(CDMGDeviceInfoStruct* info) { return new CDmgDeviceData(info); }
IQDIDeviceData* CreateQDIDeviceData(CQDIDeviceInfoStruct* info) { return new CQdiDeviceData(info); }

CCollectDiskDeviceInfoStruct* GetDiskInfo(IStorageDevice* device) {
  auto* data = DataOf<IDiskDeviceData>(device);
  return data ? data->GetDiskInfo() : nullptr;
}
CCollectedVolumeDeviceInfoStruct* GetVolumeInfo(IStorageDevice* device) {
  auto* data = DataOf<IVolumeDeviceData>(device);
  return data ? data->GetVolumeInfo() : nullptr;
}
CCollectedPartitionDeviceInfoStruct* GetPartitionInfo(IStorageDevice* device) {
  auto* data = DataOf<IPartitionDeviceData>(device);
  return data ? data->GetPartitionInfo() : nullptr;
}
CDMGDeviceInfoStruct* GetDMGInfo(IStorageDevice* device) {
  auto* data = DataOf<IDmgDeviceData>(device);
  return data ? data->GetDMGInfo() : nullptr;
}
CQDIDeviceInfoStruct* GetQDIInfo(IStorageDevice* device) {
  auto* data = DataOf<IQDIDeviceData>(device);
  return data ? data->GetQDIInfo() : nullptr;
}
