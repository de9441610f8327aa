// libFuzzer entry of the exFAT engine: the entry-set decoders, the quick scan
// and the complete scan over one input taken as the start of a volume.
#include <cstddef>
#include <cstdint>

#include "exfat/ExFatFuzzBody.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  exfatfuzz::Run(data, size);
  return 0;
}
