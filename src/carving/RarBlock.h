#pragma once
// RAR 4 block headers: the size of one block from its header.

#include <cstddef>

class classRarSearch {
 public:
  // The block's size (header + data) as low and high halves; false when the
  // header is not a plausible RAR 4 block. Reads at most `available` bytes.
  static bool GetBlockSize(const unsigned char* block, std::size_t available, unsigned int& low, unsigned int& high);
  static long long BlockSize(const unsigned char* block, std::size_t available);
};

// The end-of-archive block.
extern const unsigned char kRarEndBlock[7];
