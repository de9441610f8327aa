#include "QdiTestWriter.h"

#include <cstring>
#include <fstream>

#include "core/image/QdiFormat.h"

namespace imagetest {

std::uint64_t WrittenDataOffset(const CQDIDeviceInfoStruct& info) {
  const std::uint64_t cap = 1 << 20;
  const std::uint64_t at = info.dataOffset < cap ? info.dataOffset : cap;
  return at < kQdiHeaderSize ? kQdiHeaderSize : at;
}

CQDIDeviceInfoStruct QdiInfoFor(const QdiImage& image, const std::string& path) {
  CQDIDeviceInfoStruct info;
  info.sectorSize = image.sectorSize;
  info.totalSectors = image.sectors.size() / image.sectorSize;
  info.dataOffset = QdiDataOffsetFor(image.sectorSize);
  info.fileSize = info.dataOffset + info.totalSectors * image.sectorSize;
  info.name = image.name;
  info.path = path;
  info.creationTime = image.creationTime;
  return info;
}

void WriteQdiFile(const std::string& path, const CQDIDeviceInfoStruct& info, const std::vector<std::uint8_t>& sectors,
                  const char* magic, std::uint32_t lengthField) {
  std::vector<std::uint8_t> file(8, 0);
  std::memcpy(file.data(), magic, std::strlen(magic) < 4 ? std::strlen(magic) : 4);
  for (int i = 0; i < 4; ++i) file[4 + i] = static_cast<std::uint8_t>(lengthField >> (8 * i));
  const auto block = SerializeQdiInfo(info);
  file.insert(file.end(), block.begin(), block.end());
  if (file.size() < info.dataOffset) file.resize(WrittenDataOffset(info), 0);
  file.insert(file.end(), sectors.begin(), sectors.end());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
}

CQDIDeviceInfoStruct WriteQdi(const std::string& path, const QdiImage& image) {
  const CQDIDeviceInfoStruct info = QdiInfoFor(image, path);
  WriteQdiFile(path, info, image.sectors);
  return info;
}

}  // namespace imagetest
