#pragma once
// What a container reader needs of its scanner: cancellation, hand-over of
// finished nodes and device reads.

#include <cstdint>

class APFSContainerReader;
class APFSFileNode;

class APFSDelegate {
 public:
  virtual ~APFSDelegate() = default;
  virtual bool ContinueCheck() = 0;
  virtual int OnFileNodeFound(APFSFileNode* node) = 0;
  // Reads byteCount bytes at 4096-byte block `block` of the reader's
  // container (of the device when reader is null); the device's result.
  virtual int ReadBlocks(APFSContainerReader* reader, std::uint64_t block, std::uint32_t byteCount, void* buffer) = 0;
};
