#pragma once
// CFileReader: reads a found file's bytes through its data runs. A run's
// clusters lie at cluster base sector + cluster x sectors per cluster.

#include <cstdint>
#include <vector>

#include "core/recovery/FileReader.h"

class CFileNode;
class CSearchedPartitionInfo;
class IDataRunList;
class IStorageDevice;

class CFileReader : public IFileReader {
 public:
  CFileReader() = default;
  ~CFileReader() override = default;

  // 1 when the reader can serve the node's data, 0 for a null argument, a
  // cluster size of 0, a file size of 0 or a node without data runs.
  int Open(IStorageDevice* device, CFileNode* node, const CSearchedPartitionInfo* partition);

  int ReadData(long long pos, char* buf, unsigned len, int* err) override;
  IFileReader* Clone() override;
  long long GetDataSize() override;
  int IsCompressFile() override;
  void Release() override { delete this; }

  int GetSectorsPerCluster() const { return m_iSectorsPerCluster; }
  bool IsResidentData() const { return m_bResident; }

 protected:
  CFileReader(const CFileReader& other);
  CFileReader& operator=(const CFileReader&) = delete;

  // One data run with the file offset of its first byte.
  struct RunSpan {
    long long start = 0;  // cluster; negative: sparse
    long long clusters = 0;
    long long fileOffset = 0;
  };

  int ReadResidentData(long long pos, char* buf, unsigned len);
  // Reads `n` bytes that begin `offset` bytes into the cluster `lcn`.
  // Unreadable sectors stand as zeros; returns how many there were.
  long long ReadClusterBytes(long long lcn, long long offset, std::uint8_t* dst, std::size_t n);

  IDataRunList* m_pDataRunList = nullptr;
  IStorageDevice* m_pDevice = nullptr;
  CFileNode* m_pNode = nullptr;
  int m_iClusterSize = 0;
  int m_iSectorsPerCluster = 0;
  long long m_llFileSize = 0;
  long long m_llClusterBaseSector = 0;

  int m_iSectorSize = 512;
  bool m_bResident = false;
  std::vector<RunSpan> m_runs;  // copied at Open: the node's list keeps a shared cursor

 private:
  std::vector<std::uint8_t> m_bounce;
};
