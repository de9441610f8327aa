#pragma once
// A QDI image file read as a device (kind 4); geometry from its information
// block.

#include "core/device/FileBackedDevice.h"

class CQdiDevice final : public CFileBackedDevice {
 public:
  explicit CQdiDevice(const char* imagePath) : CFileBackedDevice(imagePath) {}

  // Opens the stored path; the argument is not used.
  int Open(char* /*path*/) override { return OpenImageFile(); }
  int GetType() override { return kDeviceQdiImage; }

 private:
  void ApplyRecord() override;
};

// A bare, unopened device on `imagePath`.
CQdiDevice* CreateQdiDeviceImp(const char* imagePath);
// Opens and checks the image; null when it is not a valid QDI image.
IStorageDevice* CreateQdiDevice(const char* path);
// Reopens the image a saved information block (1192 stored bytes) refers to,
// at `path` or, when null, at the block's own path. Null unless sector size,
// total sectors, file size, data offset, creation time and name all agree.
IStorageDevice* CreateQdiDeviceByQdiInfo(const void* block, int size, const char* path);
