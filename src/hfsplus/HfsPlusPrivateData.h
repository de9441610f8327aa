#pragma once
// The quick scan's hold on its volume. The searcher owns it; partition
// records handed out by the searcher only borrow the volume.

#include <memory>

class CHFSPlusVolume;

class CHFSPlusPrivateData {
 public:
  explicit CHFSPlusPrivateData(std::unique_ptr<CHFSPlusVolume> volume);
  ~CHFSPlusPrivateData();
  CHFSPlusPrivateData(const CHFSPlusPrivateData&) = delete;
  CHFSPlusPrivateData& operator=(const CHFSPlusPrivateData&) = delete;

  CHFSPlusVolume* GetVolume() const { return m_pVolume.get(); }
  // Destroys the volume.
  void Release();

 private:
  std::unique_ptr<CHFSPlusVolume> m_pVolume;
};
