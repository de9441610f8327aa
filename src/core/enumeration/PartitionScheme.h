#pragma once
// Which partition scheme a disk's first sector announces.

#include "core/device/StorageDevice.h"
#include "core/partition/PartitionEntry.h"

enumDiskPartitionScheme DetectPartitionScheme(IStorageDevice& disk);
