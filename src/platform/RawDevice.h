#pragma once
// A block device or an image file opened for reading only. No code path here
// opens anything for writing.

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// "/dev/" + kernel name (sdb1, nvme0n1p2, loop3).
std::string DevicePathOf(const std::string& kernelName);

// Outcome of a positioned read: bytes delivered, and errno of the failure
// that stopped it (0 when it stopped at end of file or completed).
struct PreadResult {
  std::uint64_t bytes = 0;
  int error = 0;
};

// Reads `length` bytes at `offset`, retrying on EINTR and continuing after
// short reads; stops early only at end of file or on an error.
PreadResult PreadFully(int fd, void* buffer, std::uint64_t length, std::uint64_t offset);

class RawDevice {
 public:
  RawDevice() = default;
  ~RawDevice();
  RawDevice(RawDevice&& other) noexcept;
  RawDevice& operator=(RawDevice&& other) noexcept;
  RawDevice(const RawDevice&) = delete;
  RawDevice& operator=(const RawDevice&) = delete;

  // Opens O_RDONLY|O_CLOEXEC; 0 on success, else errno. Closes any previous
  // descriptor first.
  int OpenReadOnly(const std::string& path);
  void Close();

  bool IsOpen() const { return m_fd >= 0; }
  int Fd() const { return m_fd; }
  bool IsBlockDevice() const { return m_isBlock; }

  // Logical sector size: BLKSSZGET for a block device, 512 for a regular
  // file; nothing when it cannot be asked.
  std::optional<std::uint32_t> SectorSize() const;
  // Size in bytes: BLKGETSIZE64 for a block device, fstat for a regular file.
  std::optional<std::uint64_t> SizeBytes() const;

  PreadResult Pread(void* buffer, std::uint64_t length, std::uint64_t offset) const;

  // Block devices: writes back dirty pages of the system and drops the
  // device's buffer cache, so a mounted volume is not read stale. Regular
  // files need nothing (they are read through the page cache). Best effort.
  void FlushBuffers() const;

 private:
  int m_fd = -1;
  bool m_isBlock = false;
};

// True when `error` means the caller may not open the device (EACCES, EPERM).
bool IsPermissionError(int error);

}  // namespace platform
