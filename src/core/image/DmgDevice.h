#pragma once
// An Apple disk image read as a device (kind 5). Only images whose sectors
// are stored as they are, from file offset 0, can be read this way; the
// caller that parses the image's block table refuses the others.

#include "core/device/FileBackedDevice.h"

class CDmgDevice final : public CFileBackedDevice {
 public:
  explicit CDmgDevice(const char* imagePath) : CFileBackedDevice(imagePath) {}

  // Opens the stored path; the argument is not used.
  int Open(char* /*path*/) override { return OpenImageFile(); }
  int GetType() override { return kDeviceDmgImage; }

 private:
  void ApplyRecord() override;
};

// Sector size from 512 to 4096 (a power of two), and the sectors end inside
// the file.
bool IsValidDmgGeometry(const CDMGDeviceInfoStruct& info, std::uint64_t fileBytes);

CDmgDevice* CreateDmgDeviceImp(const char* imagePath);
// Stores `path` in the record (name cut to 127 bytes) when the file opens:
// 0, else -1.
int QvFillDmgFileInfo(CDMGDeviceInfoStruct* info, const char* path);
// Opens the image with a copy of `record`; null when the file does not open
// or the record's geometry does not fit the file.
IStorageDevice* CreateDmgDevice(const char* path, const CDMGDeviceInfoStruct* record);
// Reopens from a saved record (at most 2088 stored bytes) at the record's
// own path; the path argument is not used.
IStorageDevice* CreateDmgDeviceByDmgInfo(const void* block, int len, const char* path);
