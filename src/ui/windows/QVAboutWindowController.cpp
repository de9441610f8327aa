#include "ui/windows/QVAboutWindowController.h"

#include <QApplication>
#include <QFont>
#include <QScreen>
#include <QUrl>

#include "ui/toolkit/ImageStore.h"
#include "ui/toolkit/Modal.h"
#include "ui/toolkit/Strings.h"
#include "ui/toolkit/UiGeometry.h"
#include "ui/windows/DialogWidgets.h"
#include "ui/windows/QVPublicUtilities.h"

namespace windows {
namespace {

QLabel* addLabel(QWidget* parent, const QString& text, int pixelSize, const QRect& frame, bool bold = false) {
  auto* label = new QLabel(text, parent);
  QFont font(QStringLiteral("Helvetica Light"));
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  label->setFont(font);
  label->setWordWrap(true);
  label->setGeometry(frame);
  return label;
}

}  // namespace

QVAboutWindowController::QVAboutWindowController(QWidget* parent) : ui::TCImageWindow(parent, Qt::Window) {
  setObjectName(QStringLiteral("aboutWindow"));
  setWindowTitle(ui::Strings::text(QStringLiteral("WINDOW_TOP_TITLE")));
  resize(kWidth, kHeight);
  frame_ = new DialogFrame(this, DialogFrame::kNoTitle);
  buildContent();
  windowDidLoad();
}

void QVAboutWindowController::buildContent() {
  QWidget* content = makeWhiteContent(this, QStringLiteral("aboutContent"));
  const int h = kHeight - static_cast<int>(titleBarHeight());
  auto* logo = new QLabel(content);
  logo->setObjectName(QStringLiteral("logo"));
  logo->setPixmap(
      ui::ImageStore::pixmap(QStringLiteral("logo")).scaled(96, 96, Qt::KeepAspectRatio, Qt::SmoothTransformation));
  logo->setGeometry(ui::fromBottomLeft(h, 20, h - 126, 96, 96));
  QString product = QVPublicUtilities::getProductName();
  if (product.isEmpty()) product = QStringLiteral("Quarnel");
  addLabel(content, product, 22, ui::fromBottomLeft(h, 130, h - 60, 300, 30), true)
      ->setObjectName(QStringLiteral("productName"));
  addLabel(content, ui::Strings::text(QStringLiteral("ABOUT_VERSION")).arg(QCoreApplication::applicationVersion()), 13,
           ui::fromBottomLeft(h, 130, h - 84, 300, 20))
      ->setObjectName(QStringLiteral("version"));
  addLabel(content, ui::Strings::text(QStringLiteral("ABOUT_COPYRIGHT")), 13,
           ui::fromBottomLeft(h, 130, h - 150, 300, 56))
      ->setObjectName(QStringLiteral("description"));
  aboutlink_ = new QPushButton(ui::Strings::text(QStringLiteral("ABOUT_LINK")), content);
  aboutlink_->setObjectName(QStringLiteral("aboutlink"));
  aboutlink_->setFlat(true);
  aboutlink_->setCursor(Qt::PointingHandCursor);
  aboutlink_->setStyleSheet(QStringLiteral("QPushButton { color: #3582f8; border: none; text-align: left; }"));
  aboutlink_->setGeometry(
      ui::fromBottomLeft(h, kLinkFrame.x(), kLinkFrame.y(), kLinkFrame.width(), kLinkFrame.height()));
  connect(aboutlink_, &QPushButton::clicked, this, &QVAboutWindowController::linkButtonAction);
  aboutlinkLine_ = new QWidget(content);
  aboutlinkLine_->setObjectName(QStringLiteral("aboutlinkLine"));
  aboutlinkLine_->setAutoFillBackground(true);
  QPalette line = aboutlinkLine_->palette();
  line.setColor(QPalette::Window, QColor(0x35, 0x82, 0xf8));
  aboutlinkLine_->setPalette(line);
  aboutlinkLine_->setGeometry(
      ui::fromBottomLeft(h, kLinkLineFrame.x(), kLinkLineFrame.y(), kLinkLineFrame.width(), kLinkLineFrame.height()));
}

void QVAboutWindowController::windowDidLoad() {
  frame_->windowDidLoad();
  if (!titleLabel_ && titleBarView() != nullptr) {
    auto* label = new QLabel(titleBarView());
    label->setObjectName(QStringLiteral("titleLabel"));
    QFont font(QStringLiteral("Helvetica Neue Light"));
    font.setPixelSize(13);
    font.setWeight(QFont::Light);
    label->setFont(font);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    const int band = static_cast<int>(titleBarHeight());
    label->setGeometry(ui::fromBottomLeft(band, 70, 0, 300, 22));
    label->show();
    titleLabel_ = label;
  }
  titleLabel_->setText(ui::Strings::text(QStringLiteral("WINDOW_TOP_TITLE")));
  if (QVPublicUtilities::isTovaneVer()) {
    aboutlink_->setText(QVLinkUrl::GetUrl(QStringLiteral("AboutURL")));
    const QRect g = aboutlinkLine_->geometry();
    aboutlinkLine_->setGeometry(112, g.y(), 235, g.height());
  }
  ui::TCWindowButton* close = standardWindowButton(ui::TCWindowButton::Close);
  if (close != nullptr) {
    close->disconnect(this);
    connect(close, &QAbstractButton::clicked, this, &QVAboutWindowController::closeWindow);
  }
}

void QVAboutWindowController::closeWindow() { frame_->closeNow(); }

void QVAboutWindowController::linkButtonAction() {
  ui::Modal().openUrl(QUrl(QVLinkUrl::GetUrl(QStringLiteral("AboutURL"))));
}

int QVAboutWindowController::runAbout(QWidget* over) {
  auto* about = new QVAboutWindowController;
  about->setAttribute(Qt::WA_DeleteOnClose, false);
  QRect area = over != nullptr
                   ? over->frameGeometry()
                   : (QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableGeometry()
                                                       : QRect(0, 0, 1024, 768));
  about->move(area.center() - QPoint(kWidth / 2, kHeight / 2));
  about->frame()->awakeFromNib();
  const int code = ui::Modal().runModal(about);
  about->hide();
  delete about;
  if (over != nullptr) over->activateWindow();
  return code;
}

}  // namespace windows
