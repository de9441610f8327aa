// Sweeps a mutated image with the carving searcher (small blocks, so walks
// cross block ends) and sizes its start through every device reader.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "carving/FileGZAnalyser.h"
#include "carving/FileHTMAnalyser.h"
#include "carving/FileJPGAnalyser.h"
#include "carving/FilePNGAnalyser.h"
#include "carving/FileRARAnalyser.h"
#include "carving/FileTARAnalyser.h"
#include "carving/FileUnicodeHTMAnalyser.h"
#include "carving/RawSearchController.h"
#include "core/device/StorageDevice.h"
#include "core/model/FileNode.h"
#include "support/MemoryDevice.h"
#include "support/FakeSinks.h"

namespace {

using testsupport::MemoryDevice;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 512) return 0;
  std::vector<std::uint8_t> image(data, data + size);
  image.resize((size + 511) / 512 * 512 + 4096, 0);
  MemoryDevice device(image);

  testsupport::ReleasingSink builder;
  std::unique_ptr<ICompleteFileSystemSearchController> searcher(CreateRAWSearcher());
  constexpr long long kBlock = 16;
  searcher->SetDevice(&device);
  searcher->SetBlockSize(static_cast<int>(kBlock));
  searcher->SetDirecotryTreeBuilder(&builder);
  if (searcher->PreparetoSearch() != 0) {
    const long long total = device.GetTotalSectors();
    for (long long s = 0; s < total; s += kBlock) searcher->AnalyzeBlock(s, std::min(kBlock, total - s));
    searcher->EndSearch(1);
  }

  FileJPGAnalyser jpg;
  FilePNGAnalyser png;
  FileRARAnalyser rar;
  FileTARAnalyser tar;
  FileGZAnalyser gz;
  FileHTMAnalyser htm;
  FileUnicodeHTMAnalyser uhtm;
  for (IRawFileAnalyser* a : std::initializer_list<IRawFileAnalyser*>{&jpg, &png, &rar, &tar, &gz, &htm, &uhtm}) {
    CRawFileInfo info;
    a->AnalyseBuffer(image.data(), info);
    a->GetRawFileSize(info, &device);
  }
  return 0;
}
