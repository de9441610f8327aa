// The first byte picks the decoder fed with the rest of the input: 0 FILE
// record and properties, 1 run list, 2 INDX record, 3 $LogFile journal, 4
// quick scan and 5 complete scan of a volume whose first bytes are the input
// (sectors past it read as zeros).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "core/device/DeviceData.h"
#include "core/device/StorageDevice.h"
#include "ntfs/FindFileFromLogFile.h"
#include "ntfs/IndexRecord.h"
#include "ntfs/MetaFileRecord.h"
#include "ntfs/NtfsFileNode.h"
#include "ntfs/NtfsQuickSearch.h"
#include "ntfs/NtfsSearchController.h"
#include "support/MemoryDevice.h"
#include "support/FakeSinks.h"

namespace {

constexpr long long kVirtualSectors = 4096;

// Takes nothing: every node goes back to the searcher, which releases it.
class DroppingBuilder : public testsupport::NodeSink {
 public:
  int AddNode(IFileNode* node, _tagSearcherType) override {
    if (node != nullptr) {
      node->GetFileName();
      node->GetFileSize();
    }
    return 0;
  }
};

void FuzzRecord(const ByteView& in) {
  const CNTFSFileRecord record(in);
  CMetaFileRecordTypeAnalyzer::GetMetaFileRecordIndex(record);
  CFolderFileRecordAnalyzer::IsValidFolderFileRecordHavingIndexAllocation(record);
  CVolumeFileAnalyzer::GetLabel(in);
  const CNTFSMultiFileRecord multi(record, RecordPosition{0, 0}, nullptr, {}, 1024);
  long long parent = -1;
  auto props = CNTFSFilePropertiesBuilder::BuildFileProperties(RecordPosition{0, 0}, multi, 4096, parent);
  if (!props) return;
  CNTFSFileNode node;
  node.SetFileProperties(std::move(props));
  IFileNode* copy = node.Clone();
  if (copy != nullptr) copy->Release();
}

void FuzzRuns(const ByteView& in) {
  CNTFSDataRunList runs;
  runs.InitFromBuffer(in);
  runs.GetLCN(3);
  runs.GetVCN(100);
  long long clusters = 0;
  std::unique_ptr<IDataRunList, void (*)(IDataRunList*)> list(
      BuildNonResidentDataRunListfromNTFSDataRunList(runs, clusters), [](IDataRunList* l) {
        if (l) l->Release();
      });
  if (!list) return;
  auto packed = CCompressedDataRunList::Compress(*list);
  if (packed) {
    IDataRunList* back = packed->Decompress();
    if (back != nullptr) back->Release();
  }
}

void FuzzJournal(const ByteView& in) {
  CFindFileFromLogFile log;
  log.AnalyzeJournal(in);
  CNTFSFileProperties props;
  props.SetFileName("a.txt");
  props.SetState(kNtfsStateDeleted);
  std::vector<std::uint8_t> record(4096, 0);
  in.Bytes(0, record.data(), std::min<std::size_t>(in.Size(), record.size()));
  log.ReplaceFileRecordInfo(ByteView(record.data(), record.size()), props, -1, {});
}

void FuzzScans(const std::uint8_t* data, std::size_t size, bool complete) {
  // The input as the start of a volume of kVirtualSectors sectors (the rest
  // reads as zeros).
  std::vector<std::uint8_t> bytes(data, data + size);
  bytes.resize((size + 511) / 512 * 512, 0);
  testsupport::MemoryDevice volume(std::move(bytes), 512, kDeviceVolume);
  volume.SetTotalSectors(kVirtualSectors);
  DroppingBuilder builder;
  testsupport::QuietProgress progress;
  if (!complete) {
    CNTFSQuickSearch quick;
    quick.SetDirecotryTreeBuilder(&builder);
    (void)quick.QuickSearchFiles(&volume, &progress);
    return;
  }
  CNTFSSearchController searcher;
  searcher.SetDevice(&volume);
  searcher.SetBlockSize(256);
  searcher.SetDirecotryTreeBuilder(&builder);
  searcher.PreparetoSearch();
  for (long long s = 0; s < kVirtualSectors; s += 256) searcher.AnalyzeBlock(s, 256);
  searcher.EndSearch(1);
  CSearchedPartitionInfo* parts[8] = {};
  const int n = searcher.GetSearchedPartitionInfo(parts, 8);
  for (int i = 0; i < n && i < 8; ++i) delete parts[i];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const ByteView in(data + 1, size - 1);
  switch (data[0] % 6) {
    case 0:
      FuzzRecord(in);
      break;
    case 1:
      FuzzRuns(in);
      break;
    case 2:
      CIndexRecord::GetParentFileReference(in);
      break;
    case 3:
      FuzzJournal(in);
      break;
    case 4:
      FuzzScans(data + 1, size - 1, false);
      break;
    default:
      FuzzScans(data + 1, size - 1, true);
      break;
  }
  return 0;
}
