#include "carving/FileJPGAnalyser.h"

#include <algorithm>
#include <cstring>
#include <strings.h>
#include <vector>

#include "carving/FileNameFilter.h"
#include "carving/JpegCamera.h"
#include "carving/JpegStructure.h"
#include "carving/RawFileBuffer.h"

namespace {
constexpr int kMaxSegments = 0x4FFF;
}  // namespace

bool FileJPGAnalyser::IsJfifOrExif(const unsigned char* sector) {
  if (sector == nullptr) return false;
  return strncasecmp(reinterpret_cast<const char*>(sector + 6), "JFIF", 4) == 0 ||
         strncasecmp(reinterpret_cast<const char*>(sector + 6), "Exif", 4) == 0;
}

int FileJPGAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr) return 0;
  static constexpr unsigned char kDb[] = {0xFF, 0xD8, 0xFF, 0xDB};
  static constexpr unsigned char kEe[] = {0xFF, 0xD8, 0xFF, 0xEE};
  if (!IsJfifOrExif(sector) && std::memcmp(sector, kDb, 4) != 0 && std::memcmp(sector, kEe, 4) != 0) return 0;
  probe.m_eType = kRawTypeJpg;
  return 1;
}

void FileJPGAnalyser::GetRawFileTagAndValue(RAW_FILE_TAG& tag, std::string& value) const {
  tag = m_eTag;
  value = m_strTagValue;
}

void FileJPGAnalyser::ReadCamera(RawFileBuffer& reader, unsigned long long lengthAt, unsigned long long blockAt,
                                 CRawFileInfo& info) {
  unsigned char len[2];
  if (!reader.Read(lengthAt, len, 2)) return;
  const std::size_t length = static_cast<std::size_t>((len[0] << 8) | len[1]);
  if (length < 8) return;
  std::vector<unsigned char> block(length - 2);
  if (!reader.Read(blockAt, block.data(), block.size())) return;
  JpegCameraData camera;
  if (!ReadJpegCamera(ByteView(block.data(), block.size()), 0, block.size(), camera)) return;
  std::string name = camera.model.find('<') != std::string::npos || camera.model.empty() ? camera.make : camera.model;
  name = ApiStrFilterBadFileName(name);
  m_strName = name;
  m_strTime = camera.dateTime;
  if (!name.empty()) {
    m_eTag = kRawTagCamera;
    m_strTagValue = name;
    info.SetRawFileTagAndValue(kRawTagCamera, name);
  }
  info.SetRawFileName(m_strName);
  info.m_strTime = m_strTime;
}

long long FileJPGAnalyser::DataScan(RawFileBuffer& reader, long long offset, long long limit) {
  // Entropy-coded data holds FF only before 00 or a restart marker: the
  // first FF D9 is the end of the image.
  const long long ss = m_llSectorSize;
  std::vector<unsigned char> sector(static_cast<std::size_t>(ss));
  int previous = -1;
  while (offset < limit) {
    const long long sectorStart = offset - offset % ss;
    if (!reader.Read(static_cast<unsigned long long>(sectorStart), sector.data(), sector.size())) return offset;
    for (long long i = offset - sectorStart; i < ss; ++i) {
      const int b = sector[static_cast<std::size_t>(i)];
      if (previous == 0xFF && b == 0xD9) return sectorStart + i + 1;
      previous = b;
    }
    offset = sectorStart + ss;
  }
  return limit;
}

long long FileJPGAnalyser::MarkerWalk(RawFileBuffer& reader, Walk walk, long long limit) {
  long long off = 2;
  long long width = 0;
  long long height = 0;
  bool frame = false;
  for (int segments = 0; segments < kMaxSegments; ++segments) {
    if (off > limit) return 0;
    if (off == limit) return limit;
    unsigned char s[10];
    if (!reader.Read(static_cast<unsigned long long>(off), s, sizeof(s))) return 0;
    if (s[0] != 0xFF) return 0;
    const unsigned m = s[1];
    if (m == 0xFF) {
      off += 1;
      continue;
    }
    if (m == 0xD8 || m == 0x01 || (m >= 0xD0 && m <= 0xD7)) {
      off += 2;
      continue;
    }
    const long long length = (s[2] << 8) | s[3];
    if (length < 2) return 0;
    const bool sof = m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
    if (sof) {
      const bool taken = walk == Walk::kJfif   ? (m == 0xC0 || (m == 0xC2 && width == 0))
                         : walk == Walk::kExif ? m == 0xC0
                                               : s[9] == 3;
      if (taken) {
        if (s[4] != 8) return 0;
        height = (s[5] << 8) | s[6];
        width = (s[7] << 8) | s[8];
        frame = true;
      }
    } else if (m == 0xDA) {
      // Without a bound from the frame, a scan that finds no end is no file.
      if (!frame) {
        const long long end = DataScan(reader, off, limit);
        return end >= limit ? 0 : end;
      }
      long long scanLimit = 3 * width * height;
      if (scanLimit == 0 || scanLimit > limit) {
        const long long end = DataScan(reader, off + 2 + length, limit);
        return end >= limit ? 0 : end;
      }
      return DataScan(reader, off + 2 + length, scanLimit);
    } else if (m == 0xD9) {
      return off + 2;
    }
    off += length + 2;
  }
  return 0;
}

long long FileJPGAnalyser::StructureWalk(RawFileBuffer& reader, long long limit) {
  JpegStructure walk;
  while (walk.GetState() == JpegStructure::State::kWalking && walk.Next() < limit) {
    const auto at = static_cast<unsigned long long>(walk.Next());
    const unsigned char* p = reader.GetRawFileBuffer(at);
    const std::size_t n =
        p != nullptr ? std::min<std::size_t>(reader.Available(at), static_cast<std::size_t>(limit) - at) : 0;
    if (n == 0) return 0;
    walk.Feed(p, n, walk.Next());
  }
  return walk.End();
}

bool FileJPGAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
  m_strName.clear();
  m_strTime.clear();
  m_eTag = kRawTagNone;
  m_strTagValue.clear();
  info.m_llSize = 0;
  if (device == nullptr) return false;
  RawFileBuffer reader(device, static_cast<unsigned long long>(info.m_llStartSector));
  m_llSectorSize = reader.SectorSize();
  unsigned char head[16];
  if (!reader.Read(0, head, sizeof(head))) return false;
  if (head[0] != 0xFF || head[1] != 0xD8) return false;
  long long size = 0;
  if (strncasecmp(reinterpret_cast<const char*>(head + 6), "JFIF", 4) == 0) {
    unsigned char app1[2];
    if (reader.Read(20, app1, 2) && app1[0] == 0xFF && app1[1] == 0xE1) ReadCamera(reader, 22, 24, info);
    size = StructureWalk(reader, kJfifLimit);
    if (size <= 0) size = MarkerWalk(reader, Walk::kJfif, kJfifLimit);
  } else if (strncasecmp(reinterpret_cast<const char*>(head + 6), "Exif", 4) == 0) {
    ReadCamera(reader, 4, 6, info);
    size = StructureWalk(reader, kExifLimit);
    if (size <= 0) size = MarkerWalk(reader, Walk::kExif, kExifLimit);
  } else {
    size = StructureWalk(reader, kExifLimit);
    if (size <= 0) size = MarkerWalk(reader, Walk::kOther, kExifLimit);
  }
  if (size <= 0) return false;
  info.m_llSize = size;
  info.m_eType = kRawTypeJpg;
  return true;
}
