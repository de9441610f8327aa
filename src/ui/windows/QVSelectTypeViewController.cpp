#include "ui/windows/QVSelectTypeViewController.h"

#include <QFont>
#include <QPalette>

#include "ui/toolkit/Strings.h"
#include "ui/toolkit/UiGeometry.h"

namespace windows {
namespace {

constexpr int kTileWidth = 400;
constexpr int kTileHeight = 72;
constexpr int kCategoryCount = 7;

QFont lightFont(int pixelSize) {
  QFont font(QStringLiteral("Helvetica Light"));
  font.setPixelSize(pixelSize);
  return font;
}

QLabel* addLabel(QWidget* parent, const QString& text, int pixelSize, const QRect& frame, const QColor& colour) {
  auto* label = new QLabel(text, parent);
  label->setFont(lightFont(pixelSize));
  QPalette pal = label->palette();
  pal.setColor(QPalette::WindowText, colour);
  label->setPalette(pal);
  label->setGeometry(frame);
  label->setAttribute(Qt::WA_TransparentForMouseEvents);
  return label;
}

ui::TCImageButton* addImageButton(QWidget* parent, const QRect& frame, const QString& image, const QString& name) {
  auto* button = new ui::TCImageButton(frame, parent);
  button->setObjectName(name);
  button->setImageFromFileNormalName(image, image, image, image);
  return button;
}

}  // namespace

QVSelectTypeViewController::QVSelectTypeViewController(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("categoryPage"));
  resize(kWidth, kHeight);
  for (int t = 0; t < kCategoryCount; ++t) selectArr_ << QString::number(1 << t);
  awakeFromNib();
}

void QVSelectTypeViewController::awakeFromNib() {
  const int h = kHeight;
  midlleLabel_ = addLabel(this, ui::Strings::text(QStringLiteral("NQT_TWO_MIDDLE_LABEL")), 18,
                          ui::fromBottomLeft(h, 30, 490, 840, 26), QColor(60, 60, 60));
  midlleLabel_->setObjectName(QStringLiteral("midlleLabel"));
  struct Tile {
    const char* key;
    const char* icon;
    int tag;
    int x;
    int y;
  };
  static const Tile kTiles[] = {
      {"DOCUMENT", "icon_doc", 0, 30, 415},  {"MOVIE", "icon_video", 2, 30, 287},
      {"OTHER", "icon_folder", 6, 470, 159}, {"PICTURE", "icon_photo", 1, 470, 415},
      {"MUSIC", "icon_audio", 3, 470, 287},  {"ARCHIVES", "icon_Archive", 4, 30, 159},
  };
  for (const Tile& t : kTiles) {
    const QString key = QString::fromLatin1(t.key);
    const QString icon = QString::fromLatin1(t.icon);
    buildTypeButton(ui::Strings::text(QStringLiteral("NQT_TWO_%1_TITLE").arg(key)),
                    ui::Strings::text(QStringLiteral("NQT_TWO_%1_DISCRIPTION").arg(key)), icon + "_no", icon + "_yes",
                    t.tag, ui::fromBottomLeft(h, t.x, t.y, kTileWidth, kTileHeight));
  }

  alltypesButton_ = addImageButton(this, ui::fromBottomLeft(h, 30, 112, 18, 18), QStringLiteral("checkbox_yes"),
                                   QStringLiteral("alltypesButton"));
  alltypesImage_ = QStringLiteral("checkbox_yes");
  connect(alltypesButton_, &QAbstractButton::clicked, this, [this] { allTypesButtonClick(); });
  addLabel(this, ui::Strings::text(QStringLiteral("NQT_TWO_ALL_TYPES")), 14, ui::fromBottomLeft(h, 56, 110, 360, 22),
           QColor(60, 60, 60));

  quickButton_ = addImageButton(this, ui::fromBottomLeft(h, 30, 72, 16, 16), QStringLiteral("radio_button_yes"),
                                QStringLiteral("quickButton"));
  addLabel(this, ui::Strings::text(QStringLiteral("NQT_TWO_QUICK_SCAN")), 14, ui::fromBottomLeft(h, 54, 69, 300, 22),
           QColor(60, 60, 60));
  advancedButton_ = addImageButton(this, ui::fromBottomLeft(h, 30, 44, 16, 16), QStringLiteral("radio_button_no"),
                                   QStringLiteral("advancedButton"));
  addLabel(this, ui::Strings::text(QStringLiteral("NQT_TWO_DEEP_SCAN")), 14, ui::fromBottomLeft(h, 54, 41, 420, 22),
           QColor(60, 60, 60));
  quickImage_ = QStringLiteral("radio_button_yes");
  advancedImage_ = QStringLiteral("radio_button_no");
  connect(quickButton_, &QAbstractButton::clicked, this, [this] { selectScanButton(1); });
  connect(advancedButton_, &QAbstractButton::clicked, this, [this] { selectScanButton(2); });

  auto* import = new ui::QVHandButton(this);
  import->setObjectName(QStringLiteral("importButton"));
  import->setFlat(true);
  import->setText(ui::Strings::text(QStringLiteral("NQT_TWO_IMPORT_BUTTON")));
  import->setFont(lightFont(13));
  import->setStyleSheet(QStringLiteral("QPushButton { color: rgb(53,130,248); border: none; text-align: left; }"));
  import->setGeometry(ui::fromBottomLeft(h, 480, 34, 240, 24));
  connect(import, &QAbstractButton::clicked, this, [this] { importButtonAction(); });
  importButton_ = import;

  // The round next image is 60 points square.
  nextButton_ = new ui::TCImageButton(ui::fromBottomLeft(h, 810, 12, 60, 60), this);
  nextButton_->setObjectName(QStringLiteral("nextButton"));
  nextButton_->setImageFromFileNormalName(QStringLiteral("next_normal"), QStringLiteral("next_press"),
                                          QStringLiteral("next_hover"), QStringLiteral("next_disable"));
  nextButton_->setButtonEnabled(true);
  connect(nextButton_, &QAbstractButton::clicked, this, [this] { nextButtonAction(); });
}

void QVSelectTypeViewController::buildTypeButton(const QString& title, const QString& note, const QString& icon,
                                                 const QString& hoverIcon, int tag, const QRect& frame) {
  auto* tile = new ui::NQTCustemButton(this);
  tile->setObjectName(QStringLiteral("tile%1").arg(tag));
  tile->setGeometry(frame);
  tile->setIconImage(icon, hoverIcon);
  tile->setButtonTag(tag);
  // The tile's texts beside its picture.
  addLabel(tile, title, 16, QRect(70, 14, 320, 22), QColor(40, 40, 40))->setObjectName(QStringLiteral("tileTitle"));
  QLabel* line = addLabel(tile, note, 12, QRect(70, 38, 320, 20), QColor(126, 143, 164));
  line->setObjectName(QStringLiteral("tileNote"));
  connect(tile, &QAbstractButton::clicked, this, [this, tile] { selectButtonClick(tile); });
  allTypeButton_.push_back(tile);
}

ui::NQTCustemButton* QVSelectTypeViewController::tileForTag(int tag) const {
  for (ui::NQTCustemButton* tile : allTypeButton_)
    if (tile->buttonTag() == tag) return tile;
  return nullptr;
}

void QVSelectTypeViewController::setBoxImage(const QString& name) {
  alltypesImage_ = name;
  if (alltypesButton_) {
    alltypesButton_->setImageFromFileNormalName(name, name, name, name);
    alltypesButton_->update();
  }
}

void QVSelectTypeViewController::selectButtonClick(ui::NQTCustemButton* tile) {
  if (tile == nullptr) return;
  tile->changeButtonStart(tile->isSelected());
  changeAllSelectState(tile);
}

void QVSelectTypeViewController::changeAllSelectState(ui::NQTCustemButton* tile) {
  const QString key = QString::number(1 << tile->buttonTag());
  if (selectArr_.contains(key))
    selectArr_.removeAll(key);
  else
    selectArr_ << key;
  if (selectArr_.isEmpty()) {
    setBoxImage(QStringLiteral("checkbox_no"));
    selectAllCount_ = kNone;
    nextButton_->setButtonEnabled(false);
  } else if (selectArr_.size() == kCategoryCount) {
    setBoxImage(QStringLiteral("checkbox_yes"));
    selectAllCount_ = kAll;
    nextButton_->setButtonEnabled(true);
  } else {
    setBoxImage(QStringLiteral("checkbox_half"));
    selectAllCount_ = kSome;
    nextButton_->setButtonEnabled(true);
  }
}

void QVSelectTypeViewController::allTypesButtonClick() {
  selectArr_.clear();
  int flag = 0;
  if (selectAllCount_ == kAll) {
    selectAllCount_ = kNone;
    setBoxImage(QStringLiteral("checkbox_no"));
    nextButton_->setButtonEnabled(false);
    for (ui::NQTCustemButton* tile : allTypeButton_) tile->changeButtonStart(false);
  } else {
    selectAllCount_ = kAll;
    setBoxImage(QStringLiteral("checkbox_yes"));
    for (int t = 0; t < kCategoryCount; ++t) selectArr_ << QString::number(1 << t);
    nextButton_->setButtonEnabled(true);
    for (ui::NQTCustemButton* tile : allTypeButton_) tile->changeButtonStart(true);
    flag = 1;
  }
  if (delegate_ != nullptr) delegate_->isSelectOffice(flag);
}

void QVSelectTypeViewController::setRadioImages(int tag) {
  quickImage_ = tag == 1 ? QStringLiteral("radio_button_yes") : QStringLiteral("radio_button_no");
  advancedImage_ = tag == 1 ? QStringLiteral("radio_button_no") : QStringLiteral("radio_button_yes");
  quickButton_->setImageFromFileNormalName(quickImage_, quickImage_, quickImage_, quickImage_);
  advancedButton_->setImageFromFileNormalName(advancedImage_, advancedImage_, advancedImage_, advancedImage_);
  quickButton_->update();
  advancedButton_->update();
}

void QVSelectTypeViewController::selectScanButton(int tag) {
  setRadioImages(tag);
  if (delegate_ != nullptr) delegate_->changeScanTypeWithNum(tag);
}

void QVSelectTypeViewController::nextButtonAction() {
  if (delegate_ != nullptr) delegate_->nextButtonActionWithAllTypeArr(selectArr_);
}

void QVSelectTypeViewController::importButtonAction() {
  if (delegate_ != nullptr) delegate_->importButtonAction();
}

void QVSelectTypeViewController::removeSelectOffice() { selectArr_.removeAll(QStringLiteral("8")); }

}  // namespace windows
