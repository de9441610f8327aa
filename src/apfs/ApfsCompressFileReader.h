#pragma once
// Reader of the content of an APFS compressed file: the decmpfs attribute
// kept by its node, the resource fork inline or read through the runs of
// its stream, decoded by the shared decmpfs decoder.

#include <cstdint>
#include <string>
#include <vector>

#include "core/compress/DecmpfsContent.h"
#include "core/model/DataRun.h"
#include "core/recovery/FileReader.h"

class APFSFileNode;
class IStorageDevice;

class CApfsCompressFileReader : public IFileReader {
 public:
  // Where the content lies: runs in sectors of `sectorSize` from `baseSector`.
  struct Source {
    IStorageDevice* device = nullptr;
    std::string decmpfs;
    std::string resourceInline;
    std::vector<DataRun> resourceRuns;
    std::uint64_t resourceSize = 0;
    long long baseSector = 0;
    std::uint32_t sectorSize = 512;
  };

  // Null, with a log line naming the file and the reason, when the content
  // cannot be decoded.
  [[nodiscard]] static IFileReader* Create(IStorageDevice* device, APFSFileNode& node);

  ~CApfsCompressFileReader() override = default;

  int ReadData(long long pos, char* buf, unsigned len, int* err) override;
  IFileReader* Clone() override;
  long long GetDataSize() override;
  int IsCompressFile() override { return 1; }
  void Release() override { delete this; }

 private:
  explicit CApfsCompressFileReader(Source source);
  DecmpfsContent::Status Open();
  std::uint64_t ReadFork(std::uint64_t offset, std::uint8_t* dst, std::uint64_t length);

  Source m_source;
  DecmpfsContent m_content;
};
