#pragma once
// Devices that can read a sequential sweep's blocks in a way of their own.

class ISweepReadable {
 public:
  // The same bytes and result as ReadSector, for a sweep that reads each
  // sector once, in order: the device may read them past the system's page
  // cache.
  virtual int ReadSweepSectors(void* buffer, long long startSector, long long count) = 0;

 protected:
  ~ISweepReadable() = default;
};

class IStorageDevice;

// ReadSweepSectors of a device that has it, otherwise ReadSector.
int ReadSweep(IStorageDevice* device, void* buffer, long long startSector, long long count);
