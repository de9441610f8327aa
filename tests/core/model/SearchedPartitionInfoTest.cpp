#include <gtest/gtest.h>

#include "core/model/SearchedPartitionInfo.h"

TEST(SearchedPartitionInfo, SectorSizeDefaultsTo512) {
  EXPECT_EQ(CSearchedPartitionInfo(0).m_iSectorSize, 512);
  EXPECT_EQ(CSearchedPartitionInfo(1000).m_iSectorSize, 512);
  EXPECT_EQ(CSearchedPartitionInfo(4096).m_iSectorSize, 4096);
  CSearchedPartitionInfo p;
  EXPECT_EQ(p.GetType(), 4);
  EXPECT_EQ(p.m_u16PartitionIndex, 0xFFFF);
  EXPECT_EQ(p.m_iFileSystem, 10);
  EXPECT_EQ(p.m_iValue80, 1);
}

TEST(SearchedPartitionInfo, StoredImageIsLittleEndianAtFixedOffsets) {
  CSearchedPartitionInfo p(4096);
  p.m_u16PartitionIndex = 0x0102;
  p.m_iFileSystem = 3;
  p.m_iSectorsPerCluster = 8;
  p.m_llClusterBaseSector = 0x1122334455667788LL;
  p.m_llStartSector = 2048;
  p.m_llTotalSectors = 0x10000;
  p.m_dScore = 1.5;
  const auto img = p.ToStoredImage();
  EXPECT_EQ(img.size(), 104u);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(img[i], 0);
  EXPECT_EQ(img[16], 0x02);
  EXPECT_EQ(img[17], 0x01);
  EXPECT_EQ(img[20], 3);
  EXPECT_EQ(img[24], 8);
  EXPECT_EQ(img[32], 0x88);
  EXPECT_EQ(img[39], 0x11);
  EXPECT_EQ(img[41], 0x08);  // 2048
  EXPECT_EQ(img[65], 0x10);  // 4096
  EXPECT_EQ(img[74], 0x01);  // 0x10000
  EXPECT_EQ(img[80], 1);
  EXPECT_EQ(img[95], 0x3F);  // 1.5 = 0x3FF8000000000000

  CSearchedPartitionInfo back;
  ASSERT_TRUE(back.FromStoredImage(img));
  EXPECT_EQ(back.ToStoredImage(), img);
  EXPECT_DOUBLE_EQ(back.m_dScore, 1.5);
  EXPECT_FALSE(back.FromStoredImage(std::span<const std::uint8_t>(img.data(), 103)));
}
