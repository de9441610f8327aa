#pragma once
// What a FAT directory entry says about one file or folder, plus what the
// scan worked out (first cluster, parent folder, the folder's sector).

#include <cstdint>
#include <string>

#include "core/model/Contracts.h"

class CFATFileProperties final : public IFileProperties {
 public:
  enum : std::uint8_t {
    kStateDeleted = 0x01,
    kStateMadeUp = 0x08,
  };

  static CFATFileProperties* Create() { return new CFATFileProperties(); }
  static void Destory(CFATFileProperties* p) { delete p; }

  ~CFATFileProperties() override;
  CFATFileProperties(const CFATFileProperties&) = delete;
  // Name, state, attribute, clusters, times and size; not the metadata
  // sector nor the runs.
  CFATFileProperties& operator=(const CFATFileProperties& other);

  int GetFileNameLength() override { return m_nameLength; }
  void SetFileName(const char* name) override;
  const char* GetFileName() override { return m_hasName ? m_name.c_str() : nullptr; }
  long long GetFileSize() override { return m_fileSize; }
  unsigned int GetAttribute() override { return m_attribute; }
  long long GetRawFileCreateTime() override { return 0; }
  long long GetCreationTime() override { return m_creationTime; }
  long long GetModificationTime() override { return m_modificationTime; }
  long long GetLastAccessTime() override { return m_lastAccessTime; }
  unsigned short GetState() override { return m_state; }
  void SetState(unsigned short state) override { m_state = static_cast<std::uint8_t>(state); }
  IDataRunList* GetDataRunList() override { return m_runs; }
  IFileProperties* Clone() override;

  void SetFileSize(long long size) { m_fileSize = size; }
  void SetAttribute(unsigned short attribute) { m_attribute = attribute; }
  void SetCreationTime(long long fileTime = 0) { m_creationTime = fileTime; }
  void SetCreationTime(std::uint16_t date, std::uint16_t time);
  void SetModificationTime(long long fileTime = 0) { m_modificationTime = fileTime; }
  void SetModificationTime(std::uint16_t date, std::uint16_t time);
  void SetLastAccessTime(long long fileTime = 0) { m_lastAccessTime = fileTime; }
  void SetLastAccessDate(std::uint16_t date);
  // Owned from now on.
  void SetDataRunList(IDataRunList* runs);

  long long GetFirstCluster() const { return m_firstCluster; }
  void SetFirstCluster(long long cluster) { m_firstCluster = cluster; }
  long long GetParentFirstCluster() const { return m_parentFirstCluster; }
  void SetParentFirstCluster(long long cluster) { m_parentFirstCluster = cluster; }
  long long GetMetadataSector() const { return m_metadataSector; }
  void SetMetadataSector(long long sector) { m_metadataSector = sector; }

 private:
  CFATFileProperties() = default;

  std::string m_name;
  bool m_hasName = false;
  std::uint16_t m_nameLength = 0;
  long long m_fileSize = 0;
  std::uint16_t m_attribute = 0;
  long long m_creationTime = 0;
  long long m_modificationTime = 0;
  long long m_lastAccessTime = 0;
  std::uint8_t m_state = 0;
  long long m_firstCluster = 0;
  long long m_parentFirstCluster = 0;
  long long m_metadataSector = 0;
  IDataRunList* m_runs = nullptr;
};
