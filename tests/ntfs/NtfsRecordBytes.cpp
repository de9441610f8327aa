#include "ntfs/NtfsRecordBytes.h"

namespace ntfstest {

RecordMaker::RecordMaker(std::size_t size, std::uint16_t flags, std::uint32_t number)
    : m_bytes(size, 0), m_next((0x30 + 2 * (size / 512 + 1) + 7) & ~std::size_t{7}) {
  m_bytes[0] = 'F';
  m_bytes[1] = 'I';
  m_bytes[2] = 'L';
  m_bytes[3] = 'E';
  PutLe16(m_bytes, 0x04, 0x30);
  PutLe16(m_bytes, 0x06, static_cast<std::uint16_t>(size / 512 + 1));
  PutLe16(m_bytes, 0x14, static_cast<std::uint16_t>(m_next));
  PutLe16(m_bytes, 0x16, flags);
  PutLe32(m_bytes, 0x1C, static_cast<std::uint32_t>(size));
  PutLe32(m_bytes, 0x2C, number);
  PutLe32(m_bytes, m_next, 0xFFFFFFFF);
}

RecordMaker& RecordMaker::StandardInformation(std::uint32_t dosFlags, std::uint64_t time) {
  const std::size_t a = m_next;
  PutLe32(m_bytes, a, 0x10);
  PutLe32(m_bytes, a + 4, 0x60);
  PutLe32(m_bytes, a + 0x10, 0x48);
  PutLe16(m_bytes, a + 0x14, 0x18);
  for (int i = 0; i < 4; ++i) PutLe64(m_bytes, a + 0x18 + 8 * i, time + i);
  PutLe32(m_bytes, a + 0x18 + 32, dosFlags);
  m_next += 0x60;
  PutLe32(m_bytes, m_next, 0xFFFFFFFF);
  return *this;
}

RecordMaker& RecordMaker::FileName(const std::u16string& name, std::uint64_t parent, std::uint8_t space,
                                   std::uint64_t realSize, bool directory) {
  const std::size_t a = m_next;
  const std::size_t length = (0x18 + 66 + 2 * name.size() + 7) & ~std::size_t{7};
  PutLe32(m_bytes, a, 0x30);
  PutLe32(m_bytes, a + 4, static_cast<std::uint32_t>(length));
  PutLe32(m_bytes, a + 0x10, static_cast<std::uint32_t>(66 + 2 * name.size()));
  PutLe16(m_bytes, a + 0x14, 0x18);
  const std::size_t v = a + 0x18;
  PutLe64(m_bytes, v, parent | (1ull << 48));
  for (int i = 0; i < 4; ++i) PutLe64(m_bytes, v + 8 + 8 * i, 0x01C0000000000000ull + i);
  PutLe64(m_bytes, v + 48, realSize);
  PutLe32(m_bytes, v + 56, directory ? 0x10000000u : 0x20u);
  m_bytes.at(v + 64) = static_cast<std::uint8_t>(name.size());
  m_bytes.at(v + 65) = space;
  for (std::size_t i = 0; i < name.size(); ++i) PutLe16(m_bytes, v + 66 + 2 * i, name[i]);
  m_next += length;
  PutLe32(m_bytes, m_next, 0xFFFFFFFF);
  return *this;
}

RecordMaker& RecordMaker::ResidentData(const Bytes& value) {
  const std::size_t a = m_next;
  const std::size_t length = (0x18 + value.size() + 7) & ~std::size_t{7};
  PutLe32(m_bytes, a, 0x80);
  PutLe32(m_bytes, a + 4, static_cast<std::uint32_t>(length));
  PutLe32(m_bytes, a + 0x10, static_cast<std::uint32_t>(value.size()));
  PutLe16(m_bytes, a + 0x14, 0x18);
  for (std::size_t i = 0; i < value.size(); ++i) m_bytes.at(a + 0x18 + i) = value[i];
  m_next += length;
  PutLe32(m_bytes, m_next, 0xFFFFFFFF);
  return *this;
}

RecordMaker& RecordMaker::NonResidentData(const Bytes& pairs, std::uint64_t realSize, std::uint64_t allocated,
                                          std::uint16_t flags, std::uint64_t startVcn) {
  const std::size_t a = m_next;
  const std::size_t length = (0x40 + pairs.size() + 7) & ~std::size_t{7};
  PutLe32(m_bytes, a, 0x80);
  PutLe32(m_bytes, a + 4, static_cast<std::uint32_t>(length));
  m_bytes.at(a + 8) = 1;
  PutLe16(m_bytes, a + 0x0C, flags);
  PutLe64(m_bytes, a + 0x10, startVcn);
  PutLe16(m_bytes, a + 0x20, 0x40);
  PutLe64(m_bytes, a + 0x28, allocated);
  PutLe64(m_bytes, a + 0x30, realSize);
  PutLe64(m_bytes, a + 0x38, realSize);
  for (std::size_t i = 0; i < pairs.size(); ++i) m_bytes.at(a + 0x40 + i) = pairs[i];
  m_next += length;
  PutLe32(m_bytes, m_next, 0xFFFFFFFF);
  return *this;
}

Bytes RecordMaker::Plain() const {
  Bytes b = m_bytes;
  PutLe32(b, 0x18, static_cast<std::uint32_t>(m_next + 8));
  return b;
}

Bytes RecordMaker::Build() const {
  Bytes b = Plain();
  const std::uint16_t sequence = 0x0005;
  PutLe16(b, 0x30, sequence);
  for (std::size_t i = 0; i < b.size() / 512; ++i) {
    b.at(0x32 + 2 * i) = b.at(512 * i + 510);
    b.at(0x33 + 2 * i) = b.at(512 * i + 511);
    PutLe16(b, 512 * i + 510, sequence);
  }
  return b;
}

}  // namespace ntfstest
