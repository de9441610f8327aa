// Input: u8 selector, then
//  selector even: an NTFS-compressed file. u16 file size (x 16), u8 run
//    count (at most 8) and per run u8 start cluster (0xFF: sparse) and u8
//    length; the rest is the volume (512-byte clusters, 16-cluster units),
//    read whole through the LZNT1 reader as recovery does.
//  selector odd: the rest is one decmpfs chunk of each type, and a zlib and
//    an LZVN resource fork's chunk table.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/compress/CompressFileReader.h"
#include "core/compress/Lznt1.h"
#include "core/model/FileNode.h"
#include "core/model/SearchedPartitionInfo.h"
#include "core/compress/Decmpfs.h"
#include "support/MemoryDevice.h"

namespace {

class CompressedNode : public CFileNode {
 public:
  CompressedNode(long long size, const std::vector<DataRun>& runs) : m_size(size) {
    IDataRunList* list = CreateDataRunList();
    for (const DataRun& r : runs) list->AddDataRun(&r);
    SetDataRunList(list);
    SetCompressed(1);
  }
  const char* GetFileName() override { return "f"; }
  long long GetFileSize() override { return m_size; }
  unsigned int GetAttribute() override { return 0x800; }
  long long GetCreationTime() override { return 0; }
  long long GetModificationTime() override { return 0; }
  long long GetLastAccessTime() override { return 0; }
  int IsDirectory() override { return 0; }
  int IsDeleted() override { return 0; }
  IFileNode* Clone() override { return nullptr; }
  void MarkDeleted() override {}
  void FilterFileNameByDot() override {}

 private:
  long long m_size;
};

void NtfsCompressed(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return;
  const long long fileSize = (static_cast<long long>(data[0]) << 8 | data[1]) * 16;
  std::size_t runs = data[2] % 9;
  std::size_t at = 3;
  std::vector<DataRun> list;
  for (; runs > 0 && at + 2 <= size; --runs, at += 2) {
    DataRun r{};
    r.start = data[at] == 0xFF ? -1 : data[at];
    r.length = data[at + 1];
    list.push_back(r);
  }
  testsupport::MemoryDevice device(std::vector<std::uint8_t>(data + at, data + size), 512, kDeviceVolume);
  CompressedNode node(fileSize, list);
  CSearchedPartitionInfo partition(512);
  partition.m_iFileSystem = kFsNtfs;
  partition.m_iSectorsPerCluster = 1;
  partition.SetTotalSectors(device.GetTotalSectors());
  CCompressFileReader reader;
  if (reader.Open(&device, &node, &partition) == 0) return;
  std::vector<char> out(8192);
  for (long long pos = 0; pos < fileSize; pos += static_cast<long long>(out.size())) {
    int err = 0;
    if (reader.ReadDecompressed(pos, out.data(), static_cast<unsigned>(out.size()), &err) <= 0) break;
  }
}

void Decmpfs(const std::uint8_t* data, std::size_t size) {
  const ByteView v(data, size);
  std::vector<std::uint8_t> out(kDecmpfsChunkSize);
  for (std::uint32_t type : {3u, 4u, 7u, 8u}) (void)DecodeDecmpfsChunk(type, v, out);
  (void)DecodeDecmpfsHeader(v);
  (void)ZlibForkTableBytes(v, v.Size());
  (void)LzvnForkTableBytes(v, v.Size());
  (void)DecodeZlibForkTable(v, v.Size());
  (void)DecodeLzvnForkTable(v, v.Size());
  std::vector<std::uint8_t> unit(16 * lznt1::kChunkSize, 0);
  (void)lznt1::DecompressUnit(v, unit);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  if ((data[0] & 1) == 0) {
    NtfsCompressed(data + 1, size - 1);
  } else {
    Decmpfs(data + 1, size - 1);
  }
  return 0;
}
