#pragma once
// What the controllers read from a device's information record.

#include <string>

class IStorageDevice;

namespace device_description {

// Name handed to the tree builder: a volume's name (kind 2, record with a
// zero first word), a QDI image's name (kind 4), otherwise "".
std::string GetDeviceDescription(IStorageDevice* device);

// File-system code of a volume device's record; -1 without a volume record.
int GetVolumeFileSystemCode(IStorageDevice* device);

}  // namespace device_description
