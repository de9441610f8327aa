#pragma once
// The image maker: copies every sector of a disk or volume of the device
// list into a QDI image (header, information block, sectors) or a raw
// image. The source is only read; the destination is created new and may
// not lie on the source.

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "core/device/DeviceData.h"

class IStorageDevice;

// What the delegate receives: sectors in all, sectors copied, the code.
struct QVMakeProgress {
  std::int64_t total = 0;
  std::int64_t done = 0;
  std::int32_t code = 0;
};

// Codes of the image maker.
enum QVMakeCode : int {
  kMakeOk = 0,
  kMakeNoDevice = -2,
  kMakeNoMemory = -3,
  kMakeStopped = -4,
  kMakeOpenFailed = -100,
  kMakeReadFailed = -101,
  kMakeCreateFailed = -102,
  kMakeWriteFailed = -103,
  kMakeNoRecord = -104,
  kMakeOnSource = -105,  // the image would be written onto the device copied
  kMakeBusy = -106,      // a copy is already running
};

class QVMakeDMG {
 public:
  static constexpr long long kChunkSectors = 8192;

  static QVMakeDMG* QVShareInstance();

  // Starts copying the device at (disk, volume) to `imagePath` on a job
  // thread: 0 started, else a code. `makeRaw` 1 writes the sectors alone.
  int QVStart(const std::string& imagePath, int disk, int volume, int makeRaw);
  // 0 run, 1 pause, 2 stop.
  int QVSetState(int state);
  // Receives progress after each chunk and once at the end (job thread).
  void setQVDelegate(std::function<void(const QVMakeProgress&)> delegate);

  // The information block of a device: sector size, total sectors and name
  // from its disk or volume record, the creation time now. 0, or -1.
  static int QVGetQdiInfo(IStorageDevice* device, CQDIDeviceInfoStruct& info);

  // The copy itself, on the calling thread: a code. A failed or stopped
  // copy removes the file it created; an existing file is never replaced.
  int MakeImage(IStorageDevice* device, const std::string& imagePath, int makeRaw, std::string& error);

 private:
  void QVUpdatePrgoress(long long total, long long done, int code);

  std::atomic<int> m_iState{0};
  std::atomic<bool> m_bRunning{false};
  std::mutex m_lock;
  std::function<void(const QVMakeProgress&)> m_delegate;
};
