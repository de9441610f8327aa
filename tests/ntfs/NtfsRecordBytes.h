#pragma once
// Small FILE records and log pages made byte by byte for the decoder tests.

#include <cstdint>
#include <string>
#include <vector>

#include "support/Bytes.h"

namespace ntfstest {

using testsupport::Bytes;

using testsupport::PutLe16;
using testsupport::PutLe32;
using testsupport::PutLe64;

// A FILE record of `size` bytes with its attributes appended in order and
// the update-sequence protection applied over every 512-byte stride.
class RecordMaker {
 public:
  explicit RecordMaker(std::size_t size = 1024, std::uint16_t flags = 1, std::uint32_t number = 0);
  RecordMaker& StandardInformation(std::uint32_t dosFlags, std::uint64_t time = 0x01D0000000000000ull);
  RecordMaker& FileName(const std::u16string& name, std::uint64_t parent, std::uint8_t space = 1,
                        std::uint64_t realSize = 0, bool directory = false);
  RecordMaker& ResidentData(const Bytes& value);
  RecordMaker& NonResidentData(const Bytes& pairs, std::uint64_t realSize, std::uint64_t allocated,
                               std::uint16_t flags = 0, std::uint64_t startVcn = 0);
  // The protected record.
  Bytes Build() const;
  // The record without protection (as in memory).
  Bytes Plain() const;

 private:
  Bytes m_bytes;
  std::size_t m_next;
};

}  // namespace ntfstest
