#include "bridge/QVMakeDmg.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <thread>
#include <vector>

#include "bridge/DeviceIdentity.h"
#include "bridge/JobThreads.h"
#include "bridge/QVUIDeviceData.h"
#include "core/device/AsyncReader.h"
#include "core/image/QdiFormat.h"
#include "platform/SourceIdentity.h"

namespace {

bool WriteAll(int fd, const void* data, std::size_t size, std::uint64_t offset) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  while (size > 0) {
    const ssize_t n = ::pwrite(fd, p, size, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<std::size_t>(n);
    offset += static_cast<std::uint64_t>(n);
  }
  return true;
}

std::string CutField(const std::string& text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t n = limit;
  while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  return text.substr(0, n);
}

}  // namespace

QVMakeDMG* QVMakeDMG::QVShareInstance() {
  static QVMakeDMG instance;
  return &instance;
}

int QVMakeDMG::QVSetState(int state) {
  m_iState = state;
  return 0;
}

void QVMakeDMG::setQVDelegate(std::function<void(const QVMakeProgress&)> delegate) {
  std::lock_guard g(m_lock);
  m_delegate = std::move(delegate);
}

void QVMakeDMG::QVUpdatePrgoress(long long total, long long done, int code) {
  std::function<void(const QVMakeProgress&)> delegate;
  {
    std::lock_guard g(m_lock);
    delegate = m_delegate;
  }
  if (delegate) delegate(QVMakeProgress{total, done, code});
}

int QVMakeDMG::QVGetQdiInfo(IStorageDevice* device, CQDIDeviceInfoStruct& info) {
  if (device == nullptr) return -1;
  std::string name;
  if (const CCollectDiskDeviceInfoStruct* disk = GetDiskInfo(device)) {
    name = disk->deviceName;
  } else if (const CCollectedVolumeDeviceInfoStruct* volume = GetVolumeInfo(device)) {
    name = !volume->volumeName.empty() ? volume->volumeName : volume->label;
  } else {
    return -1;
  }
  info = CQDIDeviceInfoStruct{};
  info.sectorSize = static_cast<std::uint64_t>(device->GetSectorSize());
  info.totalSectors = static_cast<std::uint64_t>(std::max(0LL, device->GetTotalSectors()));
  info.name = CutField(name, 127);
  info.creationTime = static_cast<std::int64_t>(std::time(nullptr));
  return 0;
}

int QVMakeDMG::MakeImage(IStorageDevice* device, const std::string& imagePath, int makeRaw, std::string& error) {
  if (device == nullptr || imagePath.empty()) {
    error = "no device or no image path";
    return kMakeNoDevice;
  }
  CQDIDeviceInfoStruct info;
  if (QVGetQdiInfo(device, info) != 0) {
    error = "the device has no disk or volume record";
    return kMakeNoRecord;
  }
  const std::uint64_t ss = info.sectorSize;
  if (ss < 512 || ss > 4096 || (ss & (ss - 1)) != 0) {
    error = "the device's sector size is not usable";
    return kMakeNoRecord;
  }
  if (imagePath.size() > 1023) {
    error = "the image path is too long to be kept in the image";
    return kMakeCreateFailed;
  }
  if (platform::DestinationOnSource(IdentityOfDevice(device), imagePath)) {
    error = "the image would be written onto the device being copied";
    return kMakeOnSource;
  }
  NewReadSession();
  info.path = imagePath;
  info.dataOffset = makeRaw == 1 ? 0 : QdiDataOffsetFor(ss);

  std::vector<std::uint8_t> buffer;
  try {
    buffer.resize(static_cast<std::size_t>(kChunkSectors * ss));
  } catch (const std::bad_alloc&) {
    error = "no memory for the copy buffer";
    return kMakeNoMemory;
  }
  const int fd = ::open(imagePath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = imagePath + ": " + std::strerror(errno);
    return kMakeCreateFailed;
  }
  int code = kMakeOk;
  const long long total = static_cast<long long>(info.totalSectors);
  auto header = [&](std::uint64_t fileSize) {
    info.fileSize = fileSize;
    std::vector<std::uint8_t> head(static_cast<std::size_t>(info.dataOffset), 0);
    std::memcpy(head.data(), kQdiMagic, 4);
    const std::uint32_t len = static_cast<std::uint32_t>(kQdiInfoSize);
    for (int i = 0; i < 4; ++i) head[4 + i] = static_cast<std::uint8_t>(len >> (8 * i));
    const auto block = SerializeQdiInfo(info);
    std::memcpy(head.data() + 8, block.data(), block.size());
    return WriteAll(fd, head.data(), head.size(), 0);
  };
  if (makeRaw != 1 && !header(0)) code = kMakeWriteFailed;
  long long done = 0;
  while (code == kMakeOk && done < total) {
    while (m_iState.load() == 1) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (m_iState.load() == 2) {
      code = kMakeStopped;
      break;
    }
    const long long count = std::min(kChunkSectors, total - done);
    const std::size_t bytes = static_cast<std::size_t>(count) * ss;
    if (device->ReadSector(buffer.data(), done, count) == 0) {
      code = kMakeReadFailed;
      error = "sectors from " + std::to_string(done) + " could not be read";
      break;
    }
    if (!WriteAll(fd, buffer.data(), bytes, info.dataOffset + static_cast<std::uint64_t>(done) * ss)) {
      code = kMakeWriteFailed;
      break;
    }
    QVUpdatePrgoress(total, done, 0);
    done += count;
  }
  if (code == kMakeOk && makeRaw != 1 && !header(info.dataOffset + static_cast<std::uint64_t>(total) * ss)) {
    code = kMakeWriteFailed;
  }
  if (code == kMakeOk && ::fsync(fd) != 0) code = kMakeWriteFailed;
  if (code == kMakeWriteFailed && error.empty()) error = imagePath + ": " + std::strerror(errno);
  if (code == kMakeStopped) error = "stopped";
  ::close(fd);
  if (code != kMakeOk) ::unlink(imagePath.c_str());
  QVUpdatePrgoress(total, code == kMakeOk ? total : done, code);
  return code;
}

int QVMakeDMG::QVStart(const std::string& imagePath, int disk, int volume, int makeRaw) {
  if (imagePath.empty()) return kMakeNoDevice;
  IStorageDevice* device = QVUIDeviceData::instance()->GetStorageByDiskVolumeIndex(disk, volume);
  if (device == nullptr) return kMakeNoDevice;
  bool expected = false;
  if (!m_bRunning.compare_exchange_strong(expected, true)) return kMakeBusy;
  m_iState = 0;
  auto hold = QVUIDeviceData::instance()->HoldDevices();
  const bool started = bridge::JobRegistry::instance().Start("MakeImage", [this, device, imagePath, makeRaw, hold] {
    std::string error;
    MakeImage(device, imagePath, makeRaw, error);
    m_bRunning = false;
  });
  if (!started) {
    m_bRunning = false;
    return kMakeNoDevice;
  }
  return 0;
}
