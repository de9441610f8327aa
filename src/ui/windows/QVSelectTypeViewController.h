#pragma once
// The category page: six tiles (documents, movies, other, pictures, music,
// archives), the all-types box (which alone also covers e-mail), the quick
// or advanced scan pair and the next button. It keeps the chosen category
// values ("1", "2", "4" ... "64"); the main window reads them on next.

#include <QLabel>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <vector>

#include "ui/toolkit/CheckButtons.h"
#include "ui/toolkit/TCImageButton.h"

namespace windows {

// What the page tells its owner (the main window).
class QVSelectTypeDelegate {
 public:
  virtual ~QVSelectTypeDelegate() = default;
  virtual void nextButtonActionWithAllTypeArr(const QStringList& values) = 0;
  virtual void importButtonAction() = 0;
  virtual void changeScanTypeWithNum(int type) = 0;
  virtual void isSelectOffice(int flag) = 0;
};

class QVSelectTypeViewController : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kWidth = 900;
  static constexpr int kHeight = 520;
  // selectAllCount: nothing, everything, some chosen.
  enum { kNone = 0, kAll = 1, kSome = 2 };

  explicit QVSelectTypeViewController(QWidget* parent = nullptr);

  void setDelegate(QVSelectTypeDelegate* delegate) { delegate_ = delegate; }

  // A tile's action (the tile has toggled itself already).
  void selectButtonClick(ui::NQTCustemButton* tile);
  void changeAllSelectState(ui::NQTCustemButton* tile);
  // The all-types box (also called by the main window at load).
  void allTypesButtonClick();
  // 1 quick, 2 advanced.
  void selectScanButton(int tag);
  void nextButtonAction();
  void importButtonAction();
  // Drops "8" from the chosen values; nothing else changes.
  void removeSelectOffice();

  int selectAllCount() const { return selectAllCount_; }
  void setSelectAllCount(int count) { selectAllCount_ = count; }
  const QStringList& selectArr() const { return selectArr_; }
  // The tiles in build order, the tile of a category tag (0..6) or null.
  const std::vector<ui::NQTCustemButton*>& allTypeButton() const { return allTypeButton_; }
  ui::NQTCustemButton* tileForTag(int tag) const;
  ui::TCImageButton* alltypesButton() const { return alltypesButton_; }
  ui::TCImageButton* quickButton() const { return quickButton_; }
  ui::TCImageButton* advancedButton() const { return advancedButton_; }
  ui::TCImageButton* nextButton() const { return nextButton_; }
  QAbstractButton* importButton() const { return importButton_; }
  // The image name the all-types box and the radio buttons show now.
  const QString& alltypesImage() const { return alltypesImage_; }
  const QString& quickImage() const { return quickImage_; }
  const QString& advancedImage() const { return advancedImage_; }

 private:
  void awakeFromNib();
  void buildTypeButton(const QString& title, const QString& note, const QString& icon, const QString& hoverIcon,
                       int tag, const QRect& frame);
  void setBoxImage(const QString& name);
  void setRadioImages(int tag);

  QVSelectTypeDelegate* delegate_ = nullptr;
  QStringList selectArr_;
  std::vector<ui::NQTCustemButton*> allTypeButton_;
  int selectAllCount_ = kNone;
  QPointer<ui::TCImageButton> alltypesButton_;
  QPointer<ui::TCImageButton> quickButton_;
  QPointer<ui::TCImageButton> advancedButton_;
  QPointer<ui::TCImageButton> nextButton_;
  QPointer<QAbstractButton> importButton_;
  QPointer<QLabel> midlleLabel_;
  QString alltypesImage_;
  QString quickImage_;
  QString advancedImage_;
};

}  // namespace windows
