#include "hfsplus/HfsPlusPrivateData.h"

#include "hfsplus/HfsPlusVolume.h"

CHFSPlusPrivateData::CHFSPlusPrivateData(std::unique_ptr<CHFSPlusVolume> volume) : m_pVolume(std::move(volume)) {}
CHFSPlusPrivateData::~CHFSPlusPrivateData() = default;
void CHFSPlusPrivateData::Release() { m_pVolume.reset(); }
