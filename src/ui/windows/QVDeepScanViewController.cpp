#include "ui/windows/QVDeepScanViewController.h"

#include <QFont>

#include "ui/toolkit/Strings.h"

namespace windows {

namespace {

const QString kPhrase = QStringLiteral("Deep Scan");

}  // namespace

QVDeepScanViewController::QVDeepScanViewController(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("deepScanView"));
  resize(kWidth, kHeight);
  deepScanNodeLabel_ = new QLabel(this);
  deepScanNodeLabel_->setObjectName(QStringLiteral("deepScanNodeLabel"));
  QFont font(QStringLiteral("Helvetica Light"));
  font.setPixelSize(12);
  font.setWeight(QFont::Light);
  deepScanNodeLabel_->setFont(font);
  deepScanNodeLabel_->setWordWrap(true);
  deepScanNodeLabel_->setTextFormat(Qt::RichText);
  deepScanNodeLabel_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  deepScanNodeLabel_->setStyleSheet(QStringLiteral("color: #333333; background: transparent;"));
  deepScanNodeLabel_->setGeometry(12, 6, kWidth - 44, kHeight - 12);
  closeButton_ = new QToolButton(this);
  closeButton_->setObjectName(QStringLiteral("closeButton"));
  closeButton_->setText(QStringLiteral("\u2715"));
  closeButton_->setAutoRaise(true);
  closeButton_->setCursor(Qt::PointingHandCursor);
  closeButton_->setStyleSheet(
      QStringLiteral("QToolButton { border: none; color: #888888; font-size: 12px; }"
                     "QToolButton:hover { color: #333333; }"));
  closeButton_->setGeometry(kWidth - 26, 6, 18, 18);
  connect(closeButton_, &QToolButton::clicked, this, &QVDeepScanViewController::closeRequested);
  setTextFiled();
}

void QVDeepScanViewController::setTextFiled() {
  deepScanNodeLabel_->setText(attributedText(ui::Strings::text(QStringLiteral("NQT_FOUR_DEEPSCAN_NODE"))));
}

QString QVDeepScanViewController::attributedText(const QString& text) {
  QString html;
  qsizetype from = 0;
  for (qsizetype at = text.indexOf(kPhrase); at >= 0; at = text.indexOf(kPhrase, from)) {
    html += text.mid(from, at - from).toHtmlEscaped();
    html += QStringLiteral("<span style=\"font-family: 'Helvetica'; font-size: 14px; font-weight: normal;\">") +
            kPhrase + QStringLiteral("</span>");
    from = at + kPhrase.size();
  }
  html += text.mid(from).toHtmlEscaped();
  return html;
}

}  // namespace windows
