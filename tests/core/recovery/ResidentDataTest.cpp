#include "core/recovery/ResidentData.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/model/SearchedPartitionInfo.h"
#include "core/recovery/RecoveryTestNode.h"
#include "core/recovery/RunFileReader.h"
#include "support/MemoryDevice.h"

namespace {

class ResidentList : public CDataRunList {
 public:
  ResidentList() { m_iResident = 1; }
};

bool FakeResident(CFileNode&, IStorageDevice&, std::size_t capacity, std::vector<std::uint8_t>& out) {
  const std::string text = "resident bytes";
  out.assign(text.begin(), text.end());
  return capacity >= out.size();
}

TEST(ResidentData, ReadThroughTheRegisteredReader) {
  testsupport::MemoryDevice device(std::vector<std::uint8_t>(4096));
  CSearchedPartitionInfo partition(512);
  partition.m_iSectorsPerCluster = 1;
  RecoveryTestNode node("r", 14);
  node.SetDataRunList(new ResidentList());
  CFileReader reader;
  ASSERT_EQ(reader.Open(&device, &node, &partition), 1);
  EXPECT_TRUE(reader.IsResidentData());

  char buf[32] = {};
  int err = 0;
  EXPECT_EQ(reader.ReadData(0, buf, sizeof buf, &err), 0) << "no reader registered";
  EXPECT_EQ(err, -1);

  resident_data::Register(&FakeResident);
  EXPECT_EQ(reader.ReadData(9, buf, sizeof buf, &err), 5);
  EXPECT_EQ(std::string(buf, 5), "bytes");
  EXPECT_EQ(err, 0);
  resident_data::Register(nullptr);
}

}  // namespace
