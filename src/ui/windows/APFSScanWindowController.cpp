#include "ui/windows/APFSScanWindowController.h"

#include <QFont>
#include <QGuiApplication>
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

QLabel* addLabel(QWidget* parent, const QString& text, int pixelSize, const QRect& frame) {
  auto* label = new QLabel(text, parent);
  QFont font(QStringLiteral("Helvetica Light"));
  font.setPixelSize(pixelSize);
  label->setFont(font);
  label->setWordWrap(true);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setGeometry(frame);
  return label;
}

}  // namespace

APFSScanWindowController::APFSScanWindowController(QWidget* parent) : ui::TCImageWindow(parent, Qt::Window) {
  setObjectName(QStringLiteral("apfsNotice"));
  setWindowTitle(ui::Strings::text(QStringLiteral("WINDOW_TOP_TITLE")));
  resize(kWidth, kHeight);
  frame_ = new DialogFrame(this, DialogFrame::kApfsNotice);
  buildContent();
  windowDidLoad();
}

void APFSScanWindowController::buildContent() {
  QWidget* content = makeWhiteContent(this, QStringLiteral("apfsContent"));
  const int h = kHeight - static_cast<int>(titleBarHeight());
  auto* icon = new QLabel(content);
  icon->setPixmap(
      ui::ImageStore::pixmap(QStringLiteral("warning")).scaled(48, 48, Qt::KeepAspectRatio, Qt::SmoothTransformation));
  icon->setGeometry(ui::fromBottomLeft(h, 24, h - 72, 48, 48));
  QLabel* title = addLabel(content, ui::Strings::text(QStringLiteral("APFS_NOTICE_TITLE")), 16,
                           ui::fromBottomLeft(h, 90, h - 50, 350, 26));
  title->setObjectName(QStringLiteral("noticeTitle"));
  textField_ = addLabel(content, ui::Strings::text(QStringLiteral("APFS_NOTICE_NODE")), 13,
                        ui::fromBottomLeft(h, 90, h - 140, 350, 86));
  textField_->setObjectName(QStringLiteral("textField"));
  linkButton_ = new QPushButton(ui::Strings::text(QStringLiteral("APFS_NOTICE_LINK")), content);
  linkButton_->setObjectName(QStringLiteral("linkButton"));
  linkButton_->setFlat(true);
  linkButton_->setCursor(Qt::PointingHandCursor);
  linkButton_->setStyleSheet(QStringLiteral("QPushButton { color: #3582f8; border: none; text-align: left; }"));
  linkButton_->setGeometry(ui::fromBottomLeft(h, 90, 22, 220, 24));
  connect(linkButton_, &QPushButton::clicked, this, &APFSScanWindowController::linkButtonAction);
  okButton_ = new QPushButton(QStringLiteral("OK"), content);
  okButton_->setObjectName(QStringLiteral("okButton"));
  okButton_->setDefault(true);
  okButton_->setGeometry(ui::fromBottomLeft(h, kWidth - 110, 18, 90, 30));
  connect(okButton_, &QPushButton::clicked, this, &APFSScanWindowController::okButtonAction);
}

void APFSScanWindowController::awakeFromNib() {
  frame_->awakeFromNib();
  iClickCount_ = 0;
}

void APFSScanWindowController::windowDidLoad() {
  frame_->windowDidLoad();
  ui::TCWindowButton* close = standardWindowButton(ui::TCWindowButton::Close);
  if (close != nullptr) {
    close->disconnect(this);
    connect(close, &QAbstractButton::clicked, this, &APFSScanWindowController::closeWindow);
  }
}

void APFSScanWindowController::okButtonAction() { frame_->closeNow(); }

void APFSScanWindowController::closeWindow() { frame_->closeNow(); }

void APFSScanWindowController::linkButtonAction() {
  const QString url = QVLinkUrl::GetUrl(QStringLiteral("APFS_HELP_URL"));
  if (!url.isEmpty()) ui::Modal().openUrl(QUrl(url));
}

int APFSScanWindowController::runNotice(QWidget* over) {
  auto* notice = new APFSScanWindowController;
  notice->setAttribute(Qt::WA_DeleteOnClose, false);
  QRect area = over != nullptr && over->isVisible()
                   ? over->frameGeometry()
                   : (QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableGeometry()
                                                       : QRect(0, 0, 1024, 768));
  notice->move(area.center() - QPoint(kWidth / 2, kHeight / 2));
  notice->awakeFromNib();
  const int code = ui::Modal().runModal(notice);
  notice->hide();
  delete notice;
  if (over != nullptr) over->activateWindow();
  return code;
}

}  // namespace windows
