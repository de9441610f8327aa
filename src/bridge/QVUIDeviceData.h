#pragma once
// The device list: the disks the core enumerates with their volumes, then
// the opened image files. Disks are numbered from 0 in the enumerator's
// order, then images in opening order; a volume's index is its position in
// its disk's full volume list (hidden volumes count); -1 is the whole disk.

#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/device/DeviceData.h"
#include "core/device/StorageDevice.h"
#include "core/enumeration/EnumDeviceEx.h"

class CImageDiskDevice;

// One row: a disk, an image or a volume.
struct _DiskVolumeData {
  std::string name;
  std::string devName;  // kernel name of a disk or volume; the path of an image
  long long capacity = 0;
  long long used = 0;
  int diskIndex = -1;
  int volumeIndex = -1;
  int fileSystem = -1;
  int isDmg = 0;
  int isSSD = 0;
  int isUSB = 0;
  int beCanOpen = 1;
  int isQdi = 0;
  int qdiInfoSize = -1;
  int isAppleDmg = 0;
  int dmgInfoSize = -1;
  std::list<_DiskVolumeData> children;
};

class QVUIDeviceData {
 public:
  static QVUIDeviceData* instance();
  virtual ~QVUIDeviceData();

  // Builds the list; false when the enumerator found no disk (images still
  // count).
  bool InitDeviceInfo();
  int GetInitState() const;
  // Enumerates again. Refused (false) while a job runs; the devices of the
  // previous list stay alive as long as a scan result refers to them.
  bool RefreshDeviceInfo();

  // Where the enumerator reads the system's devices (tests use a fake tree).
  void SetEnumSources(const EnumSources& sources);

  void GetAllDeviceInfo(std::list<_DiskVolumeData>& rows);
  int GetDiskDataByStorage(IStorageDevice* device, _DiskVolumeData& row);
  int GetVolumeDataByStorage(IStorageDevice* device, _DiskVolumeData& row);
  void GetDiskVolumeInfo(IStorageDevice* disk, std::list<_DiskVolumeData>& rows);

  static int IsSupportVolume(const CCollectedVolumeDeviceInfoStruct* record);
  static CCollectedVolumeDeviceInfoStruct* GetVolumeInfo(IStorageDevice* device);
  int IsVolumeStorageSupported(IStorageDevice* device);

  IStorageDevice* GetStorageByDiskVolumeIndex(int disk, int volume);
  IStorageDevice* GetDiskStorageByIndex(int index);
  IStorageDevice* GetVolumeStorageByIndex(IStorageDevice* disk, int index);
  int GetDiskVolumeIndexByStorage(IStorageDevice* device, int& disk, int& volume);
  int GetDiskIndexByStorage(IStorageDevice* device);
  IStorageDevice* GetDiskStorageByVolumeStorage(IStorageDevice* volume);
  int GetVolumeIndexByStorage(IStorageDevice* disk, IStorageDevice* volume);
  int IsDiskStorage(IStorageDevice* device);
  void GetDiskVolumeStorage(IStorageDevice* disk, std::vector<IStorageDevice*>& out);
  int DiskCount();

  // Opens an image file (raw or QDI) as a disk with its volumes; its disk
  // index, or -1 with `error` set. An image already open keeps its index.
  int QVOpenImageFile(const std::string& path, std::string& error);
  // The QDI form of the same (1 opened or already open, 0 refused).
  int QVOpenQdiFileImp(const char* path);

  // Keeps the current devices alive for as long as the holder is kept.
  std::shared_ptr<void> HoldDevices();
  // The index of a disk whose kernel name or path is `name` ("/dev/sdb",
  // "sdb"), or -1.
  int FindDiskByName(const std::string& name);
  // (disk, volume) of a volume whose kernel name is `name`; false if none.
  bool FindVolumeByName(const std::string& name, int& disk, int& volume);

 private:
  QVUIDeviceData();
  struct DeviceSet;
  void Renumber();

  mutable std::recursive_mutex m_lock;
  EnumSources m_sources;
  int m_initState = 0;
  std::shared_ptr<DeviceSet> m_current;
  std::vector<std::shared_ptr<CImageDiskDevice>> m_images;
  std::map<unsigned, IStorageDevice*> m_diskMap;
  std::map<IStorageDevice*, std::vector<IStorageDevice*>> m_volumeMap;
};
