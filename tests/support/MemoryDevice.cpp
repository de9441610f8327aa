#include "support/MemoryDevice.h"

#include <cstring>
#include <fstream>

namespace testsupport {

MemoryDevice::MemoryDevice(std::vector<std::uint8_t> bytes, int sectorSize, int kind)
    : m_bytes(std::move(bytes)), m_sectorSize(sectorSize), m_kind(kind) {}

MemoryDevice MemoryDevice::FromFile(const std::string& path, int sectorSize) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  std::vector<std::uint8_t> bytes;
  if (in) {
    bytes.resize(static_cast<std::size_t>(in.tellg()));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!in) bytes.clear();
  }
  return MemoryDevice(std::move(bytes), sectorSize);
}

int MemoryDevice::ReadSector(void* buffer, long long startSector, long long count) {
  m_reads.emplace_back(startSector, count);
  m_lastError = 0;
  const long long total = GetTotalSectors();
  if (buffer == nullptr || startSector < 0 || count <= 0 || startSector > total || count > total - startSector) {
    m_lastError = result::Make(result::kModuleStorageDevice, 0, kDevBadArgument);
    return 0;
  }
  const long long held = HeldSectors();
  auto* out = static_cast<std::uint8_t*>(buffer);
  bool ok = true;
  for (long long i = 0; i < count; ++i) {
    const long long sector = startSector + i;
    std::uint8_t* dst = out + i * m_sectorSize;
    const bool failing = m_failing.count(sector) != 0;
    if (failing || sector >= held) {
      std::memset(dst, 0, static_cast<std::size_t>(m_sectorSize));
      ok = ok && !failing;
    } else {
      std::memcpy(dst, m_bytes.data() + sector * m_sectorSize, static_cast<std::size_t>(m_sectorSize));
    }
  }
  if (!ok) m_lastError = result::Make(result::kModuleStorageDevice, 0, kDevOpenOrReadFailed);
  return ok ? 1 : 0;
}

}  // namespace testsupport
