#include "core/partition/PartitionTableAnalyze.h"

#include <vector>

#include "core/device/DeviceData.h"
#include "core/partition/ApmMap.h"
#include "core/partition/ApmReader.h"
#include "core/partition/BareVolume.h"
#include "core/partition/GptReader.h"
#include "core/partition/MbrChainReader.h"
#include "core/partition/MbrLayout.h"
#include "core/partition/MbrSector.h"
#include "core/partition/SectorRead.h"

namespace {

// Sector sizes above this are not read.
constexpr int kMaxSectorSize = 64 * 1024;

class CPartitionTableAnalyze final : public IPartitionTableAnalyze {
 public:
  RESULT AnalyzePartitionTable(IStorageDevice* disk, std::list<PartitionEntry>& out) override;
};

RESULT CPartitionTableAnalyze::AnalyzePartitionTable(IStorageDevice* disk, std::list<PartitionEntry>& out) {
  out.clear();
  if (disk == nullptr) return QV_RESULT(result::kModulePartitionTable, kPtNullDevice);
  if (disk->GetType() != kDeviceDisk) return QV_RESULT(result::kModulePartitionTable, kPtNotUsable);
  const CCollectDiskDeviceInfoStruct* record = GetDiskInfo(disk);
  if (record == nullptr) return QV_RESULT(result::kModulePartitionTable, kPtNoDiskRecord);
  if (record->reserved != 0) return QV_RESULT(result::kModulePartitionTable, kPtNotUsable);

  const int sectorSize = disk->GetSectorSize();
  if (sectorSize <= 0 || sectorSize > kMaxSectorSize) return QV_RESULT(result::kModulePartitionTable, kPtSmallSector);
  std::vector<std::uint8_t> sector0;
  if (const RESULT r = ReadDiskSectors(*disk, 0, 1, sector0); result::Failed(r)) return r;
  const ByteView view(sector0.data(), sector0.size());

  MbrSector mbr;
  const bool fullSector = DecodeMbrSector(view, mbr);
  std::uint32_t blockSize = 0;
  enumDiskPartitionScheme scheme = kPartitionSchemeNone;
  if (fullSector && mbr.hasSignature && view.U8(mbr::kFirstEntryType) == mbr::kTypeGptProtective) {
    scheme = kPartitionSchemeGpt;
  } else if (DecodeApmDriverMap(view, blockSize)) {
    scheme = kPartitionSchemeApm;
  } else if (!fullSector) {
    return QV_RESULT(result::kModulePartitionTable, kPtSmallSector);
  } else if (mbr.hasSignature && !StartsWithVolume(*disk)) {
    // A volume's own boot sector also ends with 55 AA: it is no table.
    scheme = kPartitionSchemeMbr;
  }

  switch (scheme) {
    case kPartitionSchemeGpt:
    case kPartitionSchemeMbr:
      if (mbr.HasType(mbr::kTypeDynamicDisk)) return QV_RESULT(result::kModulePartitionTable, kPtNotUsable);
      if (scheme == kPartitionSchemeGpt) return CBaseGPTAnalyzer(*disk).Analyze(out);
      return CPartitionTableChainAnalyzer(*disk).Analyze(out);
    case kPartitionSchemeApm:
      return CAPMAnaly(*disk).Analyze(out);
    case kPartitionSchemeNone:
      break;
  }
  return result::kSuccess;
}

}  // namespace

IPartitionTableAnalyze* CreatePartitionTableAnalyze() { return new CPartitionTableAnalyze(); }
