#include "core/image/QdiFormat.h"

#include <array>
#include <cstring>

#include "core/util/ByteView.h"
#include "platform/RawDevice.h"

bool IsValidQdiGeometry(const CQDIDeviceInfoStruct& info, std::uint64_t fileBytes) {
  const std::uint64_t ss = info.sectorSize;
  if (ss != 512 && ss != 1024 && ss != 2048 && ss != 4096) return false;
  if (info.dataOffset < kQdiHeaderSize || info.dataOffset % ss != 0 || info.dataOffset > fileBytes) return false;
  return info.totalSectors <= (fileBytes - info.dataOffset) / ss;
}

int QvFillQdiFileInfo(CQDIDeviceInfoStruct* info, const char* path) {
  if (info == nullptr || path == nullptr) return -1;
  platform::RawDevice file;
  if (file.OpenReadOnly(path) != 0) return -1;
  std::array<std::uint8_t, kQdiHeaderSize> header{};
  const platform::PreadResult got = file.Pread(header.data(), header.size(), 0);
  if (got.error != 0 || got.bytes != header.size()) return -1;
  const ByteView view(header.data(), header.size());
  if (!view.Equals(0, kQdiMagic, sizeof kQdiMagic) || view.U32Le(4) != kQdiInfoSize) return -1;
  CQDIDeviceInfoStruct parsed;
  if (!ParseQdiInfo(header.data() + 8, kQdiInfoSize, parsed)) return -1;
  const auto fileBytes = file.SizeBytes();
  if (!fileBytes || *fileBytes != parsed.fileSize) return -1;
  if (!IsValidQdiGeometry(parsed, *fileBytes)) return -1;
  parsed.path = path;
  if (parsed.path.size() > 1023) parsed.path.resize(1023);
  *info = std::move(parsed);
  return 0;
}
