#pragma once
// Reader of the content of an HFS+ compressed file: the decmpfs attribute
// from the volume's attributes tree, the resource fork through the node's
// data runs, decoded by the shared decmpfs decoder.

#include <cstdint>

#include "core/compress/DecmpfsContent.h"
#include "core/recovery/FileReader.h"

class CFileNode;
class CHFSPlusVolume;

class CHFSPlusCompressFileReader : public IFileReader {
 public:
  CHFSPlusCompressFileReader(CHFSPlusVolume* volume, CFileNode* node);
  ~CHFSPlusCompressFileReader() override = default;

  int ReadData(long long pos, char* buf, unsigned len, int* err) override;
  IFileReader* Clone() override;
  long long GetDataSize() override;
  int IsCompressFile() override;
  void Release() override { delete this; }

 private:
  bool Prepare();
  // Reads bytes of the resource fork through the node's data runs.
  std::uint64_t ReadFork(std::uint64_t offset, std::uint8_t* dst, std::uint64_t length);
  // Bytes of the resource fork: its runs, cut to the fork's size.
  std::uint64_t ForkSize();

  CHFSPlusVolume* m_pVolume;
  CFileNode* m_pNode;
  bool m_bPrepared = false;
  DecmpfsContent m_content;
};
