#include "carving/FileTARAnalyser.h"

#include <algorithm>
#include <vector>

#include "carving/BufferStorageDevice.h"
#include "carving/RawFileBuffer.h"
#include "carving/TarHeader.h"

class FileTARAnalyser::Walker {
 public:
  Walker(std::unordered_map<long long, WalkEnd>& ends, RawFileBuffer& reader, long long base)
      : m_ends(ends), m_reader(reader), m_base(base) {}

  // The end of the walk from the candidate's first byte: the record without
  // "ustar" that stops it, or kFailed (a read failed, a member size is not
  // believable, or the walk passed kLimit bytes).
  WalkEnd Run() {
    long long pos = m_base;
    std::vector<long long> passed;
    WalkEnd end{WalkEnd::kFailed, pos};
    for (;;) {
      if (pos - m_base > kLimit) {
        end = {WalkEnd::kGoesOn, pos};
        break;
      }
      if (const auto known = m_ends.find(pos); known != m_ends.end()) {
        if (known->second.kind != WalkEnd::kGoesOn) {
          end = known->second;
          break;
        }
        passed.push_back(pos);
        pos = known->second.at;
        continue;
      }
      unsigned char header[kTarRecord];
      if (!m_reader.Read(static_cast<unsigned long long>(pos - m_base), header, sizeof(header))) {
        // Left to be read again from another candidate's start.
        end = {WalkEnd::kGoesOn, pos};
        break;
      }
      if (!IsTarHeader(header)) {
        end = {WalkEnd::kRecordWithoutHeader, pos};
        break;
      }
      const long long size = TarMemberSize(header);
      if (size < 0 || size > kLimit) {
        end = {WalkEnd::kFailed, pos};
        break;
      }
      passed.push_back(pos);
      pos += kTarRecord + TarDataRecords(size);
    }
    for (long long p : passed) m_ends[p] = end;
    return end;
  }

 private:
  std::unordered_map<long long, WalkEnd>& m_ends;
  RawFileBuffer& m_reader;
  long long m_base;
};

int FileTARAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (!IsTarHeader(sector)) return 0;
  probe.m_eType = kRawTypeTar;
  return 1;
}

bool FileTARAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
  info.m_llSize = 0;
  if (device == nullptr || info.m_llStartSector < 0) return false;
  RawFileBuffer reader(device, static_cast<unsigned long long>(info.m_llStartSector));
  // The ring of the sweep's last blocks holds the device's own bytes.
  const void* source = device;
  if (auto* ring = dynamic_cast<CBufferStorageDevice*>(device); ring != nullptr && ring->GetSourceDevice() != nullptr) {
    source = ring->GetSourceDevice();
  }
  if (source != m_pWalkDevice || reader.SectorSize() != m_uWalkSectorSize) {
    m_walkEnds.clear();
    m_pWalkDevice = source;
    m_uWalkSectorSize = reader.SectorSize();
  }
  if (info.m_llStartSector > 0x7FFFFFFFFFFFFFFFll / 2 / reader.SectorSize()) return false;
  const long long base = info.m_llStartSector * reader.SectorSize();
  // Members, empty ones included, up to the first record without "ustar".
  const WalkEnd walk = Walker(m_walkEnds, reader, base).Run();
  if (walk.kind != WalkEnd::kRecordWithoutHeader || walk.at - base > kLimit) return false;
  const long long total = walk.at - base;
  if (total == 0) return false;
  // The two zero records that end the archive, and GNU tar's zero padding.
  unsigned char header[kTarRecord];
  long long end = total + 2 * kTarRecord;
  while (end % kTarBlocking != 0) {
    if (!reader.Read(static_cast<unsigned long long>(end), header, sizeof(header)) ||
        !std::all_of(header, header + kTarRecord, [](unsigned char c) { return c == 0; })) {
      break;
    }
    end += kTarRecord;
  }
  info.m_llSize = end;
  info.m_eType = kRawTypeTar;
  return true;
}
