// Volume recognition over the registered recognisers: volumes made by the real
// tools, a blank device, and the fixed order of asking.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#include "core/engines/EngineRegistry.h"
#include "core/partition/PartitionTableAnalyze.h"
#include "core/partition/RecordedDisk.h"
#include "core/volume/VolumeAnalyzeController.h"
#include "engines/RegisterAllEngines.h"
#include "support/Absent.h"
#include "support/TempDir.h"

namespace {

using testsupport::HaveProgram;
using testsupport::MemoryDevice;
using testsupport::TempDir;

class VolumeRecognition : public ::testing::Test {
 protected:
  void SetUp() override {
    engine_registry::Clear();
    RegisterAllEngines();
  }
  void TearDown() override { engine_registry::Clear(); }

  // Formats a sparse file; "" when the tool is missing or fails.
  std::string Make(const std::string& tool, const std::string& size, const std::string& command) {
    if (!HaveProgram(tool)) return {};
    const std::string path = dir.File(tool + ".img");
    if (testsupport::Run("truncate -s " + size + " '" + path + "' && " + command + " '" + path + "' >/dev/null 2>&1") !=
        0) {
      return {};
    }
    return path;
  }
  TempDir dir;
};

TEST_F(VolumeRecognition, RealVolumesAreNamedWithTheirLabels) {
  struct Case {
    const char* tool;
    const char* size;
    const char* command;
    int code;
    long long total;
    const char* label;
  };
  // exFAT and NTFS recognisers do not read labels.
  const Case cases[] = {
      {"mkfs.vfat", "32M", "mkfs.vfat -F 16 -n FAT16LBL", 1, 65536, "FAT16LBL"},
      {"mkfs.vfat", "64M", "mkfs.vfat -F 32 -n FAT32LBL", 2, 131072, "FAT32LBL"},
      {"mkfs.exfat", "16M", "mkfs.exfat -L EXLBL", 7, 32768, ""},
      {"mkntfs", "16M", "mkntfs -F -q -f -L NTLBL", 3, 32767, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    const std::string image = Make(c.tool, c.size, c.command);
    if (image.empty()) {
      ADD_FAILURE() << "could not run " << c.command;
      continue;
    }
    MemoryDevice device = parttest::LoadImage(image);
    const RecognizedVolume v = RecognizeVolume(&device, 0);
    EXPECT_EQ(v.fileSystem, c.code);
    EXPECT_EQ(v.totalSectors, c.total);
    EXPECT_EQ(v.label, c.label);
  }
}

TEST_F(VolumeRecognition, BlankDeviceHasNoRecogniser) {
  MemoryDevice device(std::vector<std::uint8_t>(1024 * 512, 0));
  const std::unique_ptr<IVolumeAnalyzeController> controller(CreateVolumeAnalyzeController(&device, 0));
  EXPECT_EQ(controller->GetVolumeAnzlyzer(), nullptr);
  const RecognizedVolume v = RecognizeVolume(&device, 0);
  EXPECT_EQ(v.fileSystem, 10);
  EXPECT_EQ(v.label, "");
  EXPECT_EQ(RecognizeVolume(nullptr, 0).fileSystem, 10);
}

TEST_F(VolumeRecognition, EveryVolumeOfAPartitionedDiskIsNamed) {
  if (!HaveProgram("sfdisk") || !HaveProgram("mkfs.vfat") || !HaveProgram("mkntfs")) {
    QUARNEL_SKIP_NO_TOOL() << "needs sfdisk, mkfs.vfat and mkntfs";
  }
  const std::string disk = dir.File("disk.img");
  ASSERT_EQ(testsupport::Run("truncate -s 100M '" + disk +
                             "' && printf 'label: dos\\nstart=2048,size=40M,type=6\\nstart=83968,size=20M,type=5\\n"
                             "start=86016,size=16M,type=7\\n' | sfdisk -q '" +
                             disk + "'"),
            0);
  const std::string fat = Make("mkfs.vfat", "40M", "mkfs.vfat -F 16 -n FIRST");
  const std::string ntfs = Make("mkntfs", "16M", "mkntfs -F -q -f -L SECOND");
  ASSERT_EQ(
      testsupport::Run("dd if='" + fat + "' of='" + disk + "' bs=512 seek=2048 conv=notrunc status=none && dd if='" +
                       ntfs + "' of='" + disk + "' bs=512 seek=86016 conv=notrunc status=none"),
      0);

  parttest::RecordedDisk device(parttest::LoadImage(disk));
  const std::unique_ptr<IPartitionTableAnalyze> reader(CreatePartitionTableAnalyze());
  std::list<PartitionEntry> entries;
  ASSERT_EQ(reader->AnalyzePartitionTable(&device, entries), 0u);
  ASSERT_EQ(entries.size(), 2u);
  const RecognizedVolume first = RecognizeVolume(&device, static_cast<unsigned long long>(entries.front().startSector));
  EXPECT_EQ(first.fileSystem, 1);
  EXPECT_EQ(first.label, "FIRST");
  const RecognizedVolume second = RecognizeVolume(&device, static_cast<unsigned long long>(entries.back().startSector));
  EXPECT_EQ(entries.back().index, 5);
  EXPECT_EQ(second.fileSystem, 3);
  EXPECT_EQ(second.totalSectors, 32767);
}

// Recognisers that claim every volume, to show the order of asking.
template <int Code>
class FakeAnalyze : public IVolumeAnalyze {
 public:
  int GetFileSystemType() override { return Code; }
  long long GetTotalSector() override { return Code; }
  void GetLabel(char* buffer, int length) override {
    if (length > 0) buffer[0] = '\0';
  }
};

template <int Code>
IVolumeAnalyze* MakeFake(IStorageDevice*, unsigned long long) {
  return new FakeAnalyze<Code>();
}

TEST_F(VolumeRecognition, FirstClaimInTheFixedOrderWins) {
  MemoryDevice device(std::vector<std::uint8_t>(64 * 512, 0));
  engine_registry::Clear();
  engine_registry::RegisterVolumeAnalyze(kAnalyzeApfs, MakeFake<9>);
  engine_registry::RegisterVolumeAnalyze(kAnalyzeExFat, MakeFake<7>);
  EXPECT_EQ(RecognizeVolume(&device, 0).fileSystem, 7);

  // FAT is asked before exFAT: a volume both claim is FAT.
  engine_registry::RegisterVolumeAnalyze(kAnalyzeFat, MakeFake<1>);
  EXPECT_EQ(RecognizeVolume(&device, 0).fileSystem, 1);

  // A recogniser answering 10 is passed over.
  engine_registry::RegisterVolumeAnalyze(kAnalyzeFat, MakeFake<10>);
  EXPECT_EQ(RecognizeVolume(&device, 0).fileSystem, 7);
}

TEST_F(VolumeRecognition, NoFactoriesMeanNoRecogniser) {
  engine_registry::Clear();
  MemoryDevice device(std::vector<std::uint8_t>(64 * 512, 0));
  const std::unique_ptr<IVolumeAnalyzeController> controller(CreateVolumeAnalyzeController(&device, 0));
  EXPECT_EQ(controller->GetVolumeAnzlyzer(), nullptr);
}

}  // namespace
