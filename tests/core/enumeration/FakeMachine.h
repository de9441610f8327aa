#pragma once
// A fake machine for enumeration: a sysfs tree and a /dev folder whose
// device nodes are image files.

#include <cstdint>
#include <filesystem>
#include <string>

#include "core/enumeration/EnumDeviceEx.h"

class FakeMachine {
 public:
  explicit FakeMachine(const std::filesystem::path& root);

  // A whole disk of `bytes` (a multiple of 512) backed by a sparse file.
  std::filesystem::path AddDisk(const std::string& name, std::uint64_t bytes);
  // A kernel partition of a disk: its sysfs entry and a /dev file holding a
  // copy of the disk's bytes in that window.
  void AddPartition(const std::string& disk, const std::string& name, int number, std::uint64_t start512,
                    std::uint64_t size512);
  std::string DevicePath(const std::string& name) const { return (m_root / "dev" / name).string(); }
  void SetMountInfo(const std::string& text);
  EnumSources Sources() const;

 private:
  std::filesystem::path m_root;
  std::uint32_t m_minor = 0;
};
