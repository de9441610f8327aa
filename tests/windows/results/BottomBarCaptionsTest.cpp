// The captions of the results window's pill buttons (recover, deep scan)
// lie on their pictures: right of the glyph and clear of the round end.

#include <gtest/gtest.h>

#include <QLabel>

#include "ResultsTestSupport.h"
#include "ui/toolkit/ImageStore.h"
#include "ui/windows/QVDeletailWindowController.h"

namespace {

using windows::QVDeletailWindowController;

TEST(ResultsBottomBar, CaptionsLieOnTheirButtonsPictures) {
  resultstest::BridgeSession session;
  QVDeletailWindowController w;
  w.show();
  struct Case {
    ui::TCImageButton* button;
    const char* images;
  };
  for (const Case& c : {Case{w.recovertyButton(), "btn_recover"}, Case{w.advButton(), "btn_ds"}}) {
    SCOPED_TRACE(c.images);
    auto* caption = c.button->findChild<QLabel*>(c.button->objectName() + QStringLiteral("Caption"));
    ASSERT_NE(caption, nullptr);
    ASSERT_FALSE(caption->text().isEmpty());
    for (const char* state : {"_normal", "_press", "_hover", "_disable"}) {
      const QImage picture = ui::ImageStore::image(QLatin1String(c.images) + QLatin1String(state));
      ASSERT_FALSE(picture.isNull());
      EXPECT_LE(picture.width(), c.button->width()) << state;
      // The text, centred in the caption, ends before the round end begins.
      const int textWidth = caption->fontMetrics().horizontalAdvance(caption->text());
      const int centre = caption->geometry().center().x();
      EXPECT_GE(centre - textWidth / 2, 34) << state;
      EXPECT_LE(centre + (textWidth + 1) / 2, picture.width() - picture.height() / 2) << state;
    }
  }
}

}  // namespace
