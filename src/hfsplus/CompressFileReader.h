#pragma once
// Reader of the content of an HFS+ compressed file (decmpfs types 3, 4, 7
// and 8). Inline data is decoded once; resource-fork data chunk by chunk,
// keeping the last decoded chunk for sequential reads.

#include <cstdint>
#include <optional>
#include <vector>

#include "core/recovery/FileReader.h"
#include "hfsplus/DecmpfsHeader.h"

class CFileNode;
class CHFSPlusVolume;

class CHFSPlusCompressFileReader : public IFileReader {
 public:
  // Decoded inline content and single chunks are capped at this size.
  static constexpr std::uint64_t kMaxInlineOutput = 64ull << 20;
  static constexpr std::uint64_t kMaxChunkInput = 1ull << 20;

  CHFSPlusCompressFileReader(CHFSPlusVolume* volume, CFileNode* node);
  ~CHFSPlusCompressFileReader() override = default;

  int ReadData(long long pos, char* buf, unsigned len, int* err) override;
  IFileReader* Clone() override;
  long long GetDataSize() override;
  int IsCompressFile() override;
  void Release() override { delete this; }

 private:
  bool Prepare();
  bool PrepareInline(const std::vector<std::uint8_t>& attribute);
  bool PrepareResourceFork();
  // Reads bytes of the resource fork through the node's data runs.
  std::uint64_t ReadFork(std::uint64_t offset, std::uint8_t* dst, std::uint64_t length);
  const std::vector<std::uint8_t>* Chunk(std::size_t index);

  CHFSPlusVolume* m_pVolume;
  CFileNode* m_pNode;
  bool m_bPrepared = false;
  bool m_bUsable = false;
  DecmpfsHeader m_header;
  std::vector<std::uint8_t> m_inline;       // decoded inline content
  std::vector<DecmpfsChunk> m_chunks;       // resource-fork chunks
  std::uint64_t m_forkSize = 0;
  std::optional<std::size_t> m_cachedIndex;
  std::vector<std::uint8_t> m_cached;
};
