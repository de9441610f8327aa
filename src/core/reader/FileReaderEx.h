#pragma once
// Reads one node's bytes straight from a device through its data runs. Runs
// count clusters from a base sector: sector = base + cluster x sectors per
// cluster. Used for small files such as recycle-bin information records.

#include <cstdint>
#include <vector>

class CFileNode;
class IStorageDevice;

class CFileReaderEx {
 public:
  // Reads data kept inside the node's metadata record (resident NTFS data);
  // same contract as Read. Supplied by the engine that owns such nodes.
  using ResidentDataReader = int (*)(IStorageDevice& device, CFileNode& node, long long offset, unsigned char* dst,
                                     int len, int& got);

  // Largest cluster the reader accepts (exFAT allows 32 MiB).
  static constexpr long long kMaxClusterBytes = 32LL * 1024 * 1024;
  // Clusters read at once when a run allows it, within kMaxBufferBytes.
  static constexpr int kBufferClusters = 8;
  static constexpr long long kMaxBufferBytes = 4LL * 1024 * 1024;

  CFileReaderEx() = default;
  ~CFileReaderEx() = default;
  CFileReaderEx(const CFileReaderEx&) = delete;
  CFileReaderEx& operator=(const CFileReaderEx&) = delete;

  // 0 for a null device or node, an unusable cluster size, an empty file or a
  // node without data runs; else 1. Device and node are borrowed.
  int Open(IStorageDevice* device, CFileNode* node, long long baseSector, int sectorsPerCluster);
  // Copies up to `len` bytes from `offset` into `dst` and adds them to `got`
  // (set to 0 first). 0 when not open, at or past the end of the file, or
  // when a sector read fails; else 1. Sparse runs read as zeros.
  int Read(long long offset, unsigned char* dst, int len, int& got);
  void Close();

  // Installs the reader of resident data (null: resident data is unreadable).
  static void SetResidentDataReader(ResidentDataReader reader);

 private:
  int ReadRuns(long long offset, unsigned char* dst, long long len, int& got);
  int ReadClusters(long long lcn, long long count, unsigned char* out);

  IStorageDevice* m_pDevice = nullptr;
  CFileNode* m_pNode = nullptr;
  long long m_llFileSize = 0;
  long long m_llBaseSector = 0;
  int m_iSectorsPerCluster = 0;
  int m_iSectorSize = 0;
  long long m_llClusterBytes = 0;
  long long m_llBufferClusters = 0;
  std::vector<unsigned char> m_buffer;
};
