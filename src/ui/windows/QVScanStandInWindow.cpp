#include "ui/windows/QVScanStandInWindow.h"

#include <QFont>

#include "bridge/QVUIController.h"
#include "ui/toolkit/NotificationCenter.h"
#include "ui/toolkit/Strings.h"
#include "ui/windows/DialogWidgets.h"

namespace windows {

QVScanStandInWindow::QVScanStandInWindow(const DiskRow& row, int scanType, QWidget* parent)
    : ui::TCImageWindow(parent, Qt::Window), row_(row), scanType_(scanType) {
  setObjectName(QStringLiteral("resultsWindow"));
  setWindowTitle(ui::Strings::text(QStringLiteral("WINDOW_TOP_TITLE")));
  setTitleBarHeight(50);
  resize(900, 570);
  QWidget* content = makeWhiteContent(this, QString());
  status_ = new QLabel(content);
  status_->setObjectName(QStringLiteral("scanStatus"));
  QFont font(QStringLiteral("Helvetica Light"));
  font.setPixelSize(16);
  status_->setFont(font);
  status_->setGeometry(30, 30, 840, 60);
  status_->setWordWrap(true);
  poll_.setInterval(1000);
  connect(&poll_, &QTimer::timeout, this, [this] { refresh(); });
  ui::NotificationCenter::defaultCenter().addObserver(this, QStringLiteral("NormalScranValue"),
                                                      [this](const ui::Notification&) { refresh(); });
}

QVScanStandInWindow::~QVScanStandInWindow() { ui::NotificationCenter::defaultCenter().removeObserver(this); }

bool QVScanStandInWindow::getData() {
  if (!row_ || started_) return false;
  const _DiskVolumeData& data = row_->data();
  const std::string key = "NormalScranValue";
  if (scanType_ == 2)
    started_ = data.isQdi || data.isAppleDmg ? QVUIController::isQdiDoDeepScanWithData(&data, key, this)
                                             : QVUIController::DoDeepScanWithData(&data, key, this);
  else
    started_ = QVUIController::DoScanWithData(&data, key, this);
  if (started_) poll_.start();
  refresh();
  return started_;
}

void QVScanStandInWindow::refresh() {
  if (!status_) return;
  const QString name = row_ ? row_->name() : QString();
  if (!started_) {
    status_->setText(QStringLiteral("%1: the scan could not be started.").arg(name));
    return;
  }
  double percent = 0;
  std::uint64_t files = 0;
  const std::string remaining = QVUIController::GetScanProgress(percent, files);
  if (QVUIController::IsScanRunning()) {
    status_->setText(QStringLiteral("Scanning %1: %2 %, %3 files found, %4 left")
                         .arg(name)
                         .arg(percent, 0, 'f', 1)
                         .arg(files)
                         .arg(QString::fromStdString(remaining)));
    return;
  }
  std::uint64_t size = 0;
  std::uint64_t count = 0;
  QVUIController::GetScanFileSize(size, count);
  finished_ = true;
  poll_.stop();
  status_->setText(QStringLiteral("Scan of %1 finished: %2 files found.").arg(name).arg(count));
}

}  // namespace windows
