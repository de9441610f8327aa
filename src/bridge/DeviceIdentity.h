#pragma once
// What storage a device of the device list reads: its disk with every
// partition and stacked device, or its image file.

#include <string>

#include "platform/SourceIdentity.h"

class IStorageDevice;

// The path of the block device or image file behind a device ("" when it
// reads neither, such as a device held in memory).
std::string BackingPathOf(IStorageDevice* device);
platform::SourceIdentity IdentityOfDevice(IStorageDevice* device);
