#pragma once
// Apple disk images (UDIF): the "koly" trailer, the XML property list with
// its "blkx" block tables ("mish"), and a device that reads the image's
// sectors through those tables. Only stored (raw), zero-fill and ignored
// chunks can be read; images with compressed chunks are refused.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/device/DeviceData.h"
#include "core/device/StorageDevice.h"
#include "platform/RawDevice.h"

// One run of sectors of the image: `sectorCount` sectors from `firstSector`,
// stored at `fileOffset` (raw) or read as zeros.
struct UdifRun {
  std::uint64_t firstSector = 0;
  std::uint64_t sectorCount = 0;
  std::uint64_t fileOffset = 0;
  bool zero = false;
};

// What the inspection of an image found.
struct UdifImageInfo {
  bool hasTrailer = false;  // "koly" found; false: a raw sector image
  std::uint64_t totalSectors = 0;
  std::uint64_t fileSize = 0;
  std::vector<UdifRun> runs;  // sorted by first sector, non-overlapping
};

// Chunk types of a block table.
enum : std::uint32_t {
  kUdifChunkZero = 0x00000000,
  kUdifChunkRaw = 0x00000001,
  kUdifChunkIgnore = 0x00000002,
  kUdifChunkAdc = 0x80000004,
  kUdifChunkZlib = 0x80000005,
  kUdifChunkBzip2 = 0x80000006,
  kUdifChunkLzfse = 0x80000007,
  kUdifChunkLzma = 0x80000008,
  kUdifChunkComment = 0x7FFFFFFE,
  kUdifChunkEnd = 0xFFFFFFFF,
};

// Inspects the image at `path`: fills `info` and the record's total sectors
// and file size. 1 usable, 0 not (with a one-line `error`).
int ParseDmgFile(const std::string& path, CDMGDeviceInfoStruct& record, UdifImageInfo& info, std::string& error);
int ParseDmgFile(const std::string& path, CDMGDeviceInfoStruct& record);

// Parses the bytes of one "mish" block table and appends its runs, with the
// sector and offset of the table and the data fork's offset applied. 1
// usable, 0 not (`error` set).
int ParseMishTable(const std::uint8_t* data, std::size_t size, std::uint64_t fileSize, std::vector<UdifRun>& runs,
                   std::string& error, std::uint64_t dataForkOffset = 0);

// True when no element of the XML text lies more than `limit` levels deep.
// Counts tags without building anything, so any depth is safe to ask about.
bool XmlNestingWithin(std::string_view text, int limit);

// True when the file ends with a "koly" trailer or starts as an encrypted
// image: such a file must go through ParseDmgFile.
bool LooksLikeAppleDiskImage(const std::string& path);

// An Apple disk image read sector by sector through its block tables (kind
// 5). Sectors of no run, and zero-fill or ignored runs, read as zeros.
class CUdifDevice final : public IStorageDevice {
 public:
  ~CUdifDevice() override;

  int Open(char*) override { return m_file.IsOpen() ? 1 : 0; }
  int Close() override { return 1; }
  int ReadSector(void* buffer, long long startSector, long long count) override;
  int GetSectorSize() override { return 512; }
  long long GetTotalSectors() override { return static_cast<long long>(m_info.totalSectors); }
  int IOCtl(unsigned long long, void*) override { return 0; }
  IStorageDeviceData* GetPrivateData() override { return m_data.get(); }
  void SetPrivateData(IStorageDeviceData* data) override { m_data.reset(data); }
  int GetType() override { return kDeviceDmgImage; }
  RESULT GetLastError() override { return m_lastError; }

  const UdifImageInfo& Info() const { return m_info; }

  // Inspects and opens the image read-only; null with `error` set when it is
  // refused or cannot be read.
  static std::unique_ptr<CUdifDevice> OpenImage(const std::string& path, std::string& error);

 private:
  CUdifDevice() = default;

  platform::RawDevice m_file;
  UdifImageInfo m_info;
  std::unique_ptr<IStorageDeviceData> m_data;
  RESULT m_lastError = 0;
};

// Reopens an Apple disk image from a saved record (the stored 2088 bytes):
// the image at the record's path, only when its sector count still agrees.
IStorageDevice* OpenDmgDeviceByDmgInfo(const void* block, int len, std::string& error);
