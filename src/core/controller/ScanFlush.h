#pragma once
// Makes pending writes visible to raw reads before a scan: flushes the file
// systems and drops the block-device cache of the scanned device, so a
// mounted volume is not read stale.

class IStorageDevice;

void FlushBeforeScan(IStorageDevice* device);
