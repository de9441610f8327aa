// A device that stops answering in the middle of a scan: the read is given
// up on after the time limit, the device is not read again, and the scan
// runs to its end instead of freezing.

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <fstream>
#include <memory>

#include "bridge/BridgeTestSupport.h"
#include "bridge/MainThreadDispatcher.h"
#include "bridge/QVUIController.h"
#include "bridge/QVUIScan.h"
#include "core/device/VolumeDevice.h"
#include "core/model/ResultCode.h"
#include "support/TempDir.h"
#include "support/TroubledReads.h"

using namespace bridgetest;
using testsupport::kTestTimeLimit;

namespace {

TEST(ReadTimeLimitThreads, AHangingVolumeEndsTheScanWithoutReadingItAgain) {
  ResetEngines();
  bridge::DefaultQueue().BindToCurrentThread();
  testsupport::TempDir dir;
  const std::string path = dir.File("volume.img");
  constexpr long long kBlock = 4LL * 1024 * 1024;
  std::ofstream(path).close();
  ASSERT_EQ(::truncate(path.c_str(), 3 * kBlock), 0);

  testsupport::TroubledReads reads(path, 512);
  reads.Hang(kBlock / 512 + 100);  // in the second 4 MiB block
  testsupport::TroubledReadsScope scope(reads, kTestTimeLimit);
  std::unique_ptr<CVolumeDevice> volume(CreateVolumeDevice(path.c_str()));
  ASSERT_NE(volume->Open(nullptr), 0);
  ASSERT_EQ(volume->GetTotalSectors(), 3 * kBlock / 512);

  Script().readDevice = true;
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(QVUIController::DoScanWithDevice(volume.get(), 1));
  ASSERT_TRUE(WaitForJobs(60000));
  // The hanging read lasts a minute unless released; the scan did not wait for it.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
  EXPECT_EQ(reads.HungCalls(), 1) << "the hung device was read again";
  EXPECT_EQ(Script().blocks.load(), 3) << "the sweep went on to the end";
  EXPECT_EQ(Script().builds.load(), 1);
  EXPECT_FALSE(result::Failed(QVUIScan::instance()->GetLastScanResult()));
  char sector[512];
  EXPECT_EQ(volume->ReadSector(sector, 0, 1), 0) << "still refused until the next scan";
}

}  // namespace
