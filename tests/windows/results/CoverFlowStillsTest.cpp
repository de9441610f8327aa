// The cover flow after a quick scan of a FAT16 image made here (mkfs.vfat,
// mtools) holding a short video made with ffmpeg and a camera raw file
// (DNG) written here with a JPEG preview inside, both deleted: the video shows a still of
// its own frames and the raw file the preview it carries, both made through
// the real bridge from their temporary copies.

#include <gtest/gtest.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QImage>
#include <QImageReader>
#include <QPainter>

#include <cstring>
#include <fstream>

#include "ResultsTestSupport.h"
#include "support/Absent.h"
#include "support/EventLoop.h"
#include "support/TempDir.h"
#include "ui/bridge_qt/RawPreview.h"
#include "ui/bridge_qt/VideoStill.h"
#include "ui/toolkit/Modal.h"
#include "ui/windows/CoverFlowView.h"
#include "ui/windows/QVDeletailWindowController.h"

namespace {

using windows::QVDeletailWindowController;
using namespace resultstest;

template <typename F>
bool spinUntil(F done) {
  return testsupport::RunEventsUntil(done, 60000, 10);
}

// A little-endian TIFF directory entry whose value fits in 4 bytes or
// points to `data` placed later.
struct Entry {
  quint16 tag;
  quint16 type;  // 1 byte, 2 ascii, 3 short, 4 long
  QByteArray data;
};

QByteArray le16(quint16 v) { return QByteArray(reinterpret_cast<const char*>(&v), 2); }
QByteArray le32(quint32 v) { return QByteArray(reinterpret_cast<const char*>(&v), 4); }
QByteArray shorts(std::initializer_list<quint16> values) {
  QByteArray out;
  for (quint16 v : values) out += le16(v);
  return out;
}
QByteArray longs(std::initializer_list<quint32> values) {
  QByteArray out;
  for (quint32 v : values) out += le32(v);
  return out;
}

// A DNG as many cameras write it: the main directory holds the sensor data
// (64 x 64 16-bit, all zero, which no picture reader shows) and points to a
// sub-directory with `preview`, a JPEG.
QByteArray makeDng(const QByteArray& preview, int width, int height) {
  const QByteArray sensor(64 * 64 * 2, '\0');
  constexpr int kMainCount = 17;
  constexpr int kSubCount = 10;
  constexpr quint32 kMainAt = 8;
  const quint32 subAt = kMainAt + 2 + 12 * kMainCount + 4;
  const quint32 blobAt = subAt + 2 + 12 * kSubCount + 4;
  QByteArray blobs;
  auto place = [&](const QByteArray& data) {
    const quint32 at = blobAt + static_cast<quint32>(blobs.size());
    blobs += data;
    if (blobs.size() % 2) blobs += '\0';
    return at;
  };
  const quint32 previewAt = place(preview);
  const quint32 sensorAt = place(sensor);
  const std::vector<Entry> main = {
      {254, 4, longs({0})},
      {256, 4, longs({64})},
      {257, 4, longs({64})},
      {258, 3, shorts({16})},
      {259, 3, shorts({1})},
      {262, 3, shorts({32803})},
      {271, 2, QByteArray("Quarnel", 8)},
      {272, 2, QByteArray("Test Cam", 9)},
      {273, 4, longs({sensorAt})},
      {277, 3, shorts({1})},
      {278, 4, longs({64})},
      {279, 4, longs({static_cast<quint32>(sensor.size())})},
      {330, 4, longs({subAt})},
      {33421, 3, shorts({2, 2})},
      {33422, 1, QByteArray("\x00\x01\x01\x02", 4)},
      {50706, 1, QByteArray("\x01\x04\x00\x00", 4)},
      {50708, 2, QByteArray("Quarnel Test Cam", 17)},
  };
  const std::vector<Entry> sub = {
      {254, 4, longs({1})},
      {256, 4, longs({static_cast<quint32>(width)})},
      {257, 4, longs({static_cast<quint32>(height)})},
      {258, 3, shorts({8, 8, 8})},
      {259, 3, shorts({7})},
      {262, 3, shorts({6})},
      {273, 4, longs({previewAt})},
      {277, 3, shorts({3})},
      {278, 4, longs({static_cast<quint32>(height)})},
      {279, 4, longs({static_cast<quint32>(preview.size())})},
  };
  auto directory = [&](const std::vector<Entry>& entries) {
    QByteArray out = le16(static_cast<quint16>(entries.size()));
    for (const Entry& e : entries) {
      const int unit = e.type == 3 ? 2 : e.type == 4 ? 4 : 1;
      out += le16(e.tag) + le16(e.type) + le32(static_cast<quint32>(e.data.size() / unit));
      if (e.data.size() <= 4)
        out += e.data + QByteArray(4 - e.data.size(), '\0');
      else
        out += le32(place(e.data));
    }
    return out + le32(0);
  };
  QByteArray head = QByteArray("II*\0", 4) + le32(kMainAt);
  head += directory(main);
  head += directory(sub);
  return head + blobs;
}

// Most of the picture is this colour.
bool mostly(const QImage& image, const QColor& colour) {
  if (image.isNull()) return false;
  int near = 0;
  int all = 0;
  for (int y = 0; y < image.height(); y += 4)
    for (int x = 0; x < image.width(); x += 4) {
      const QColor c = image.pixelColor(x, y);
      ++all;
      if (std::abs(c.red() - colour.red()) < 40 && std::abs(c.green() - colour.green()) < 40 &&
          std::abs(c.blue() - colour.blue()) < 40)
        ++near;
    }
  return near * 10 >= all * 8;
}

TEST(ResultsCoverFlowStills, VideoStillAndCameraRawPreviewShowInTheFlow) {
  if (!HaveFatTools()) QUARNEL_SKIP_NO_TOOL() << "mkfs.vfat or mtools missing";
  if (!testsupport::HaveProgram("ffmpeg")) QUARNEL_SKIP_NO_TOOL() << "ffmpeg is not installed";
  if (!bridge_qt::videoStillsAvailable()) QUARNEL_SKIP_NO_TOOL() << "built without libffmpegthumbnailer";
  if (!bridge_qt::rawPreviewsAvailable()) QUARNEL_SKIP_NO_TOOL() << "built without libraw";
  testsupport::TempDir dir;
  // One second of a red picture.
  ASSERT_EQ(testsupport::Run("ffmpeg -loglevel error -y -f lavfi -i color=c=0xd02020:size=320x240:rate=10 -t 1 "
                             "-c:v mpeg4 -q:v 3 '" +
                             dir.File("clip.mp4") + "'"),
            0);
  // A green preview with a white band, inside a raw file.
  QImage preview(160, 120, QImage::Format_RGB32);
  preview.fill(QColor(30, 160, 60));
  QPainter(&preview).fillRect(0, 100, 160, 20, Qt::white);
  QByteArray jpeg;
  QBuffer buffer(&jpeg);
  buffer.open(QIODevice::WriteOnly);
  ASSERT_TRUE(preview.save(&buffer, "JPG", 92));
  const QByteArray dng = makeDng(jpeg, preview.width(), preview.height());
  std::ofstream(dir.File("shot.dng"), std::ios::binary).write(dng.constData(), dng.size());
  // Only the preview inside shows it.
  ASSERT_TRUE(QImageReader(QString::fromStdString(dir.File("shot.dng"))).read().isNull());
  const std::string image = dir.File("media.img");
  const std::string i = " -i '" + image + "'";
  ASSERT_EQ(testsupport::Run("PATH=\"$PATH:/usr/sbin:/sbin\"; export MTOOLS_SKIP_CHECK=1; mkfs.vfat -F 16 -C '" +
                             image + "' 32768 >/dev/null && mmd" + i + " ::/Media && mcopy" + i + " '" +
                             dir.File("clip.mp4") + "' '" + dir.File("shot.dng") + "' ::/Media/ && mdel" + i +
                             " ::/Media/clip.mp4 ::/Media/shot.dng"),
            0);

  ui::ScriptedModalRunner runner;
  ui::ScopedModalRunner scoped(runner);
  BridgeSession session;
  ASSERT_TRUE(session.open(image));
  QVDeletailWindowController w;
  ASSERT_TRUE(StartScan(w, session.volume(), 1));
  ASSERT_TRUE(WaitForScanEnd(w));
  const QModelIndex media = FindRow(*w.outline(0), QStringLiteral("Media"));
  ASSERT_TRUE(media.isValid());
  w.outline(0)->setCurrentIndex(media);
  ASSERT_EQ(w.fileList()->rowCount(), 2);

  w.segmentSelect(2);
  windows::CoverFlowView* flow = w.coverFlowView();
  ASSERT_NE(flow, nullptr);
  auto photoOf = [&](const QString& name) -> const ui::Photo* {
    for (const ui::Photo& p : flow->photos())
      if (p.imageTitle().contains(name)) return &p;
    return nullptr;
  };
  ASSERT_TRUE(spinUntil([&] {
    const ui::Photo* clip = photoOf(QStringLiteral("lip.mp4"));
    const ui::Photo* shot = photoOf(QStringLiteral("hot.dng"));
    return w.nImageState() == 2 && clip && shot && clip->imageUID() != windows::CoverFlowView::kLoadingID &&
           shot->imageUID() != windows::CoverFlowView::kLoadingID;
  }));
  const QImage still = photoOf(QStringLiteral("lip.mp4"))->imageRepresentation();
  EXPECT_EQ(still.width() * 3, still.height() * 4) << still.width() << "x" << still.height();
  EXPECT_TRUE(mostly(still, QColor(0xd0, 0x20, 0x20)));
  const QImage raw = photoOf(QStringLiteral("hot.dng"))->imageRepresentation();
  EXPECT_EQ(raw.size(), preview.size());
  EXPECT_TRUE(mostly(raw.copy(0, 0, 160, 96), QColor(30, 160, 60)));
  EXPECT_GT(raw.pixelColor(80, 112).lightness(), 220);
}

}  // namespace
