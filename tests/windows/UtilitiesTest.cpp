// Size texts, file-system names, "PrivateData" reads and writes, the
// system version and links by language.

#include <gtest/gtest.h>

#include <QFile>

#include "support/TempDir.h"
#include "ui/bridge_qt/QtSettings.h"
#include "ui/windows/QVPublicUtilities.h"

namespace {

using windows::QVLinkUrl;
using windows::QVPublicUtilities;

TEST(PublicUtilities, SizeTexts) {
  const struct {
    std::int64_t bytes;
    const char* text;
  } cases[] = {
      {0, "0 byte"},
      {999, "999 byte"},
      {1000, "1.00 KB"},
      {1536, "1.54 KB"},
      {999999, "1000.00 KB"},
      {1000000, "1.00 MB"},
      {123456789, "123.46 MB"},
      {1000000000, "1.00 GB"},
      {999999999999, "1000.00 GB"},
      {1000000000000LL, "1.00 TB"},
      {5500000000000LL, "5.50 TB"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(QVPublicUtilities::longlongDiskSize(c.bytes), QLatin1String(c.text)) << c.bytes;
    EXPECT_EQ(QVPublicUtilities::longlongConvertVolSpace(c.bytes), QLatin1String(c.text)) << c.bytes;
  }
}

TEST(PublicUtilities, FileSystemNames) {
  EXPECT_EQ(QVPublicUtilities::fileSystemTypeForInt(0, 0, 0), QStringLiteral("FAT12"));
  EXPECT_EQ(QVPublicUtilities::fileSystemTypeForInt(2, 0, 0), QStringLiteral("FAT32"));
  EXPECT_EQ(QVPublicUtilities::fileSystemTypeForInt(7, 0, 0), QStringLiteral("EXFAT"));
  EXPECT_EQ(QVPublicUtilities::fileSystemTypeForInt(8, 0, 1), QStringLiteral("HFS+"));
  EXPECT_EQ(QVPublicUtilities::fileSystemTypeForInt(10, 0, 0), QStringLiteral("Unknown"));
  EXPECT_EQ(QVPublicUtilities::fileSystemTypeForInt(11, 0, 0), QStringLiteral("Disk"));
  EXPECT_EQ(QVPublicUtilities::fileSystemTypeForInt(-1, 0, 0), QStringLiteral("Disk"));
  EXPECT_EQ(QVPublicUtilities::fileSystemTypeForInt(9, 1, 0), QStringLiteral("Disk Image"));
}

TEST(PublicUtilities, VersionNumbers) {
  int major = -1, minor = -1, fix = -1;
  EXPECT_TRUE(QVPublicUtilities::parseVersion(QStringLiteral("22.04"), &major, &minor, &fix));
  EXPECT_EQ(major, 22);
  EXPECT_EQ(minor, 4);
  EXPECT_EQ(fix, 0);
  EXPECT_TRUE(QVPublicUtilities::parseVersion(QStringLiteral("6.1.0-17-amd64"), &major, &minor, &fix));
  EXPECT_EQ(fix, 0);
  EXPECT_EQ(minor, 1);
  EXPECT_FALSE(QVPublicUtilities::parseVersion(QStringLiteral("trixie/sid"), &major, nullptr, nullptr));
  QVPublicUtilities::getSystemVersionMajor(&major, &minor, nullptr);
  const int packed = QVPublicUtilities::getSystemVersion();
  EXPECT_EQ(packed, major * 100 + minor);
}

class PrivateDataUtilities : public ::testing::Test {
 protected:
  void SetUp() override {
    shipped_ = dir_.File("PrivateData.plist");
    overlay_ = dir_.File("config/quarnel/PrivateData.plist");
    QVPublicUtilities::setPrivateDataFiles({shipped_}, overlay_);
  }
  void TearDown() override { QVPublicUtilities::resetPrivateDataFiles(); }
  void writeShipped(const QString& body) {
    QFile f(QString::fromStdString(shipped_));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>");
    f.write(body.toUtf8());
    f.write("</dict></plist>\n");
  }
  void setLanguage(const QString& code) { bridge_qt::QtSettings().SetList(QStringLiteral("AppleLanguages"), {code}); }
  testsupport::TempDir dir_;
  std::string shipped_;
  std::string overlay_;
};

TEST_F(PrivateDataUtilities, ProductBrandAndUpdateTime) {
  writeShipped(QStringLiteral("<key>PRODUCTNAME</key><string>Quarnel</string>"));
  EXPECT_EQ(QVPublicUtilities::getProductName(), QStringLiteral("Quarnel"));
  EXPECT_FALSE(QVPublicUtilities::isTovaneVer());
  EXPECT_TRUE(QVPublicUtilities::getUpDataTimeStr().isEmpty());
  EXPECT_TRUE(QVPublicUtilities::writeUpDataTimeStr(QStringLiteral("2026-12-10 01:00:00")));
  EXPECT_EQ(QVPublicUtilities::getUpDataTimeStr(), QStringLiteral("2026-12-10 01:00:00"));
  // Written to the user's overlay, never to the shipped file.
  EXPECT_TRUE(QFile::exists(QString::fromStdString(overlay_)));
  writeShipped(QStringLiteral("<key>Tovane</key><true/>"));
  EXPECT_TRUE(QVPublicUtilities::isTovaneVer());
}

TEST_F(PrivateDataUtilities, MissingPrivateDataGivesNothing) {
  EXPECT_TRUE(QVPublicUtilities::getProductName().isEmpty());
  EXPECT_FALSE(QVPublicUtilities::isTovaneVer());
  EXPECT_TRUE(QVLinkUrl::GetUrl(QStringLiteral("AboutURL")).isEmpty());
}

TEST_F(PrivateDataUtilities, LinksByLanguageWithEnglishFallback) {
  writeShipped(
      QStringLiteral("<key>en</key><dict><key>AboutURL</key><string>https://e.example/about</string>"
                     "<key>OnlineHelp</key><string>https://e.example/help</string></dict>"
                     "<key>de</key><dict><key>AboutURL</key><string>https://d.example/about</string>"
                     "<key>OnlineHelp</key><string></string></dict>"));
  setLanguage(QStringLiteral("de"));
  EXPECT_EQ(QVLinkUrl::GetUrl(QStringLiteral("AboutURL")), QStringLiteral("https://d.example/about"));
  // An empty value in the language's own links: the English one.
  EXPECT_EQ(QVLinkUrl::GetUrl(QStringLiteral("OnlineHelp")), QStringLiteral("https://e.example/help"));
  setLanguage(QStringLiteral("ja"));
  EXPECT_EQ(QVLinkUrl::GetUrl(QStringLiteral("AboutURL")), QStringLiteral("https://e.example/about"));
  EXPECT_TRUE(QVLinkUrl::GetUrl(QStringLiteral("NoSuchLink")).isEmpty());
  setLanguage(QStringLiteral("en"));
}

}  // namespace
