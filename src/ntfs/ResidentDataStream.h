#pragma once
// Data kept inside a FILE record (resident $DATA), read back from the device.

#include <cstdint>
#include <vector>

class CNTFSFileNode;
class IStorageDevice;
struct RecordPosition;

// Copies at most `capacity` bytes of the node's resident data into `out`;
// false for a folder, a node without a readable record or non-resident data.
bool GetResidentDataRunsStream(CNTFSFileNode& node, IStorageDevice& device, std::size_t capacity,
                               std::vector<std::uint8_t>& out);
// The same for the record at `place` (`recordBytes` long), without extension records.
bool GetResidentDataRunsStream(const RecordPosition& place, int recordBytes, IStorageDevice& device,
                               std::size_t capacity, std::vector<std::uint8_t>& out);

// Installs the readers of resident data in the core.
void RegisterNtfsResidentDataReaders();
