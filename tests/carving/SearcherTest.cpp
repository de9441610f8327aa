// The searcher's own rules: registry order, bitmap skips, one search at a
// time, trees by extension and by label.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "carving/CarvingHarness.h"
#include "carving/RawFileAnalyserList.h"
#include "carving/RawSearchController.h"
#include "carving/Samples.h"
#include "core/bitmap/Bitmap.h"
#include "support/MemoryDevice.h"

using namespace carvingtest;

namespace {

testsupport::MemoryDevice ImageWith(const std::vector<std::pair<long long, Bytes>>& files, std::size_t sectors) {
  Bytes image(sectors * 512, 0);
  for (const auto& [at, bytes] : files) std::copy(bytes.begin(), bytes.end(), image.begin() + at * 512);
  return testsupport::MemoryDevice(std::move(image));
}

Bytes Jpeg(unsigned seed, const char* model = "") {
  JpegOptions o;
  o.width = 48;
  o.height = 32;
  o.seed = seed;
  o.model = model;
  if (model[0] != '\0') o.make = "Canon";
  return MakeJpeg(o);
}

TEST(Registry, SetOneStaysAndSetZeroIsRebuilt) {
  CRawFileAnalyserListSingle* r = CRawFileAnalyserListSingle::CreateInstance();
  IRawFileAnalyser* one = r->GetAnalyserMap(1).begin()->second;
  r->ReinitAnalyzeList(nullptr);
  IRawFileAnalyser* zero = r->GetAnalyserMap(0).begin()->second;
  r->ReinitAnalyzeList(nullptr);
  EXPECT_EQ(r->GetAnalyserMap(1).begin()->second, one);
  EXPECT_EQ(r->GetAnalyserMap(0).size(), r->GetAnalyserMap(1).size());
  EXPECT_NE(zero, nullptr);
  // FF FE: MP3 first, then the streaming HTML analyser, then the UTF-16 one.
  const auto range = r->GetAnalyserMultimap(1).equal_range(0xFEFF);
  ASSERT_EQ(std::distance(range.first, range.second), 3);
  CRawFileInfo probe;
  unsigned char utf16[512] = {0xFF, 0xFE, 0x3C, 0x00, 'h', 0};
  EXPECT_EQ(std::next(range.first)->second->AnalyseBuffer(utf16, probe), 0);
  EXPECT_EQ(std::next(range.first, 2)->second->AnalyseBuffer(utf16, probe), 1);
}

TEST(Searcher, FilesByExtensionFolderAndCounter) {
  auto device = ImageWith({{0, Jpeg(1)}, {20, Jpeg(2)}, {40, MakePng(8, 8, 3)}}, 200);
  const auto all = Carve(&device);
  std::vector<Found> folders;
  for (const Found& f : all) {
    if (f.folder) folders.push_back(f);
  }
  ASSERT_EQ(folders.size(), 2u);
  EXPECT_EQ(folders[0].name, "jpg");
  EXPECT_EQ(folders[0].id, 10);
  EXPECT_EQ(folders[0].parent, 1);
  EXPECT_EQ(folders[1].name, "png");
  EXPECT_EQ(folders[1].id, 11);
  const auto files = Files(all);
  ASSERT_EQ(files.size(), 3u);
  EXPECT_EQ(files[0].parent, 10);
  EXPECT_NE(files[0].id, files[2].id);  // ids unique in the tree
  EXPECT_EQ(files[2].parent, 11);
  EXPECT_EQ(files[1].name.substr(files[1].name.size() - 7), "001.JPG");
}

TEST(Searcher, ABlockReadInBeforeItIsAnalysedFindsTheSame) {
  JpegOptions big;
  big.width = 400;
  big.height = 300;
  big.seed = 9;
  auto device = ImageWith(
      {{10, MakeJpeg(big)}, {150, MakeHtml(20000, 3)}, {230, MakePng(40, 40, 5)}, {260, Jpeg(6, "EOS")}}, 400);
  const auto key = [](const std::vector<Found>& all) {
    std::vector<std::tuple<int, long long, long long, std::string, long long, long long>> out;
    for (const Found& f : all) out.emplace_back(f.tree, f.id, f.parent, f.name, f.size, f.start);
    return out;
  };
  for (const long long block : {8LL, 24LL, 1024LL}) {
    const auto plain = key(Carve(&device, block));
    ASSERT_GE(Files(Carve(&device, block)).size(), 4u) << block;
    EXPECT_EQ(key(Carve(&device, block, nullptr, Handover::kPrepareFirst)), plain) << block;
    EXPECT_EQ(key(Carve(&device, block, nullptr, Handover::kPrepareAnother)), plain) << block;
  }
}

TEST(Searcher, ABlockThatFailsToReadIsReadOnceWhenReadInAhead) {
  auto device = ImageWith({{2, Jpeg(7)}, {40, MakePng(8, 8, 4)}}, 64);
  device.FailSector(20);
  const auto plain = Files(Carve(&device, 16));
  const std::size_t plainReads = device.Reads().size();
  const auto prepared = Files(Carve(&device, 16, nullptr, Handover::kPrepareFirst));
  EXPECT_EQ(device.Reads().size() - plainReads, plainReads);
  ASSERT_EQ(prepared.size(), plain.size());
  for (std::size_t i = 0; i < plain.size(); ++i) {
    EXPECT_EQ(prepared[i].start, plain[i].start);
    EXPECT_EQ(prepared[i].size, plain[i].size);
  }
  // The PNG after the failed block is still found.
  EXPECT_TRUE(std::any_of(plain.begin(), plain.end(), [](const Found& f) { return f.start == 40; }));
}

TEST(Searcher, CameraFindsGoToTheLabelTreeOnly) {
  auto device = ImageWith({{0, Jpeg(4, "EOS")}, {30, Jpeg(5, "EOS")}}, 200);
  const auto all = Carve(&device);
  for (const Found& f : all) EXPECT_EQ(f.tree, kSearcherRawByLabel) << f.name;
  std::vector<Found> folders;
  for (const Found& f : all) {
    if (f.folder) folders.push_back(f);
  }
  // "Camera" (241) once, one value folder "EOS" with the first labelled id.
  ASSERT_EQ(folders.size(), 2u);
  EXPECT_EQ(folders[0].name, "Camera");
  EXPECT_EQ(folders[0].id, 241);
  EXPECT_EQ(folders[1].name, "EOS");
  EXPECT_EQ(folders[1].id, 2001);
  const auto files = Files(all);
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[0].parent, 2001);
  EXPECT_EQ(files[0].id, 2002);
  EXPECT_EQ(files[0].name.rfind("Canon_EOS_0-", 0), 0u) << files[0].name;
}

TEST(Searcher, SectorsMarkedInTheBitmapAreSkipped) {
  auto device = ImageWith({{8, Jpeg(6)}, {64, Jpeg(7)}}, 200);
  TBitmap bitmap;
  ASSERT_EQ(bitmap.CreateBitmap(200 / 8, 8), 1);
  bitmap.SetBit(1, 1, 1);  // sectors 8-15
  const auto files = Files(Carve(&device, 1024, &bitmap));
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].start, 64);
}

TEST(Searcher, ASecondSearchWhileOneRunsStaysIdle) {
  auto device = ImageWith({{0, Jpeg(8)}}, 64);
  RecordingBuilder builder;
  std::unique_ptr<CRAWSearchController> first(static_cast<CRAWSearchController*>(CreateRAWSearcher()));
  first->SetDevice(&device);
  first->SetBlockSize(64);
  first->SetDirecotryTreeBuilder(&builder);
  ASSERT_EQ(first->PreparetoSearch(), 1);
  std::unique_ptr<CRAWSearchController> second(static_cast<CRAWSearchController*>(CreateRAWSearcher()));
  second->SetDevice(&device);
  second->SetBlockSize(64);
  second->SetDirecotryTreeBuilder(&builder);
  EXPECT_EQ(second->PreparetoSearch(), 0);
  EXPECT_FALSE(second->IsActive());
  first->AnalyzeBlock(0, 64);
  first->EndSearch(1);
  EXPECT_EQ(Files(builder.m_found).size(), 1u);
  // Once the first is over, a new search may run.
  EXPECT_EQ(second->PreparetoSearch(), 1);
  second->EndSearch(0);
}

TEST(Searcher, ManyOpenCandidatesAreHandedToTheirReaders) {
  // 40 small JPEGs back to back without zero tails: more than 32 are open
  // at once; the evicted ones are sized through the device.
  std::vector<std::pair<long long, Bytes>> files;
  Bytes run;
  std::vector<std::pair<long long, std::size_t>> where;
  for (unsigned k = 0; k < 40; ++k) {
    Bytes j = Jpeg(100 + k);
    j.resize((j.size() + 511) / 512 * 512, 0x55);  // garbage up to the sector end
    where.emplace_back(static_cast<long long>(run.size() / 512), Jpeg(100 + k).size());
    run.insert(run.end(), j.begin(), j.end());
  }
  files.emplace_back(0, run);
  auto device = ImageWith(files, run.size() / 512 + 64);
  const auto found = Files(Carve(&device));
  ASSERT_EQ(found.size(), 40u);
  for (const Found& f : found) {
    const auto it = std::find_if(where.begin(), where.end(), [&f](const auto& w) { return w.first == f.start; });
    ASSERT_NE(it, where.end());
    EXPECT_EQ(f.size, static_cast<long long>(it->second)) << f.start;
  }
}

}  // namespace
