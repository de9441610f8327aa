#pragma once
// Data kept inside a file's metadata record (NTFS resident data). The NTFS
// engine registers the reader; without it resident files cannot be read.

#include <cstddef>
#include <cstdint>
#include <vector>

class CFileNode;
class IStorageDevice;

// Fills `out` with at most `capacity` bytes of the node's resident data and
// returns true; false when the node has no resident data.
using ResidentDataReader = bool (*)(CFileNode& node, IStorageDevice& device, std::size_t capacity,
                                    std::vector<std::uint8_t>& out);

namespace resident_data {

void Register(ResidentDataReader reader);
[[nodiscard]] ResidentDataReader Get();

}  // namespace resident_data
