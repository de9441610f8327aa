#include "ui/windows/QVCheckUpdateWindowController.h"

#include <QFontMetrics>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QScrollBar>
#include <QUrl>
#include <QVBoxLayout>

#include <climits>

#include "ui/toolkit/ImageStore.h"
#include "ui/toolkit/Modal.h"
#include "ui/toolkit/Strings.h"
#include "ui/toolkit/UiGeometry.h"
#include "ui/windows/DialogWidgets.h"
#include "ui/windows/QVPublicUtilities.h"

namespace windows {
namespace {

constexpr int kListWidth = 430;
constexpr int kMaxLines = 500;

QFont lightFont(const char* family, int pixelSize) {
  QFont font(QString::fromLatin1(family));
  font.setPixelSize(pixelSize);
  return font;
}

QFont systemFont(int pointSize) {
  QFont font;
  font.setPointSize(pointSize);
  return font;
}

QLabel* addLabel(QWidget* parent, const QString& text, const QFont& font, const QRect& frame, const char* name) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setFont(font);
  label->setWordWrap(true);
  label->setGeometry(frame);
  return label;
}

// Errors that mean the server could not be reached at all.
bool unreachable(QNetworkReply::NetworkError error) {
  switch (error) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
    case QNetworkReply::SslHandshakeFailedError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError:
    case QNetworkReply::UnknownNetworkError:
      return true;
    default:
      return false;
  }
}

}  // namespace

QVCheckUpdateWindowController::QVCheckUpdateWindowController(QWidget* parent) : ui::TCImageWindow(parent, Qt::Window) {
  setObjectName(QStringLiteral("updateWindow"));
  setWindowTitle(ui::Strings::text(QStringLiteral("WINDOW_TOP_TITLE")));
  resize(kWidth, kHeight);
  frame_ = new DialogFrame(this, DialogFrame::kNoTitle);
  frame_->awakeFromNib();
  buildContent();
  windowDidLoad();
}

QVCheckUpdateWindowController::~QVCheckUpdateWindowController() {
  if (reply_) reply_->abort();
}

QWidget* QVCheckUpdateWindowController::makeStateView(const QString& name, const QString& text) {
  auto* view = new QWidget(contentView());
  view->setObjectName(name);
  view->setGeometry(contentView()->rect());
  if (!text.isEmpty()) {
    QLabel* label = addLabel(view, text, lightFont("Helvetica Light", 15), QRect(40, 60, kWidth - 80, 60), "stateText");
    label->setAlignment(Qt::AlignCenter);
  }
  view->hide();
  return view;
}

void QVCheckUpdateWindowController::buildContent() {
  QWidget* content = makeWhiteContent(this, QStringLiteral("updateContent"));
  content->resize(kWidth, kHeight - static_cast<int>(titleBarHeight()));

  checkProgressView_ =
      makeStateView(QStringLiteral("checkProgressView"), ui::Strings::text(QStringLiteral("UPDATE_CHECKING")));
  progressBar_ = new QProgressBar(checkProgressView_);
  progressBar_->setRange(0, 0);
  progressBar_->setTextVisible(false);
  progressBar_->setGeometry(80, 130, kWidth - 160, 12);
  noNetworkView_ =
      makeStateView(QStringLiteral("noNetworkView"), ui::Strings::text(QStringLiteral("UPDATE_NO_NETWORK")));
  noUpdateView_ = makeStateView(QStringLiteral("noUpdateView"), ui::Strings::text(QStringLiteral("UPDATE_UP_TO_DATE")));
  haveUpdateView_ = makeStateView(QStringLiteral("haveUpdateView"), QString());
  titleLable_ =
      addLabel(haveUpdateView_, QString(), lightFont("Helvetica Neue Light", 17), QRect(15, 12, 430, 26), "titleLable");
  versionLabel_ = addLabel(haveUpdateView_, QString(), lightFont("Helvetica Neue Light", 13), QRect(15, 42, 430, 20),
                           "versionLabel");
  changeValueScrollView_ = new QScrollArea(haveUpdateView_);
  changeValueScrollView_->setObjectName(QStringLiteral("changeValueScrollView"));
  changeValueScrollView_->setFrameShape(QFrame::NoFrame);
  changeValueScrollView_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  changeValueScrollView_->setGeometry(15, 66, kListWidth, 130);
  changeValueScrollView_->setWidgetResizable(false);
  showVersionScrollView_ = new QWidget;
  showVersionScrollView_->setObjectName(QStringLiteral("showVersionScrollView"));
  showVersionScrollView_->setAutoFillBackground(true);
  QPalette pal = showVersionScrollView_->palette();
  pal.setColor(QPalette::Window, Qt::white);
  showVersionScrollView_->setPalette(pal);
  changeValueScrollView_->setWidget(showVersionScrollView_);
  downloadButton_ = new QPushButton(ui::Strings::text(QStringLiteral("UPDATE_DOWNLOAD")), haveUpdateView_);
  downloadButton_->setObjectName(QStringLiteral("downloadButton"));
  downloadButton_->setDefault(true);
  downloadButton_->setGeometry(kWidth - 245, 212, 220, 30);
  connect(downloadButton_, &QPushButton::clicked, this, &QVCheckUpdateWindowController::updateClickHereAction);
  closeButton_ = new QPushButton(ui::Strings::text(QStringLiteral("UPDATE_CLOSE")), content);
  closeButton_->setObjectName(QStringLiteral("closeButton"));
  closeButton_->setGeometry(15, 212, 90, 30);
  connect(closeButton_, &QPushButton::clicked, this, &QVCheckUpdateWindowController::closeWindowAction);
  closeButton_->raise();
  checkProgressView_->show();
}

QWidget* QVCheckUpdateWindowController::stateView(State state) const {
  switch (state) {
    case State::Checking:
      return checkProgressView_;
    case State::NoNetwork:
      return noNetworkView_;
    case State::UpToDate:
      return noUpdateView_;
    case State::HaveUpdate:
      return haveUpdateView_;
  }
  return nullptr;
}

void QVCheckUpdateWindowController::showState(State state) {
  for (State s : {State::Checking, State::NoNetwork, State::UpToDate, State::HaveUpdate})
    if (QWidget* view = stateView(s)) view->setVisible(s == state);
  closeButton_->raise();
  state_ = state;
}

void QVCheckUpdateWindowController::windowDidLoad() {
  frame_->windowDidLoad();
  setShowsTitle(false);
  if (!titleLabel_ && titleBarView() != nullptr) {
    titleLabel_ = new QLabel(titleBarView());
    titleLabel_->setObjectName(QStringLiteral("titleLabel"));
    titleLabel_->setFont(lightFont("Helvetica Neue Light", 14));
    titleLabel_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    titleLabel_->setGeometry(ui::fromBottomLeft(static_cast<int>(titleBarHeight()), 80, 0, 300, 22));
    titleLabel_->show();
  }
  titleLabel_->setText(ui::Strings::text(QStringLiteral("WINDOW_TOP_TITLE")));
  ui::TCWindowButton* close = standardWindowButton(ui::TCWindowButton::Close);
  if (close != nullptr) {
    close->disconnect(this);
    connect(close, &QAbstractButton::clicked, this, &QVCheckUpdateWindowController::closeWindow);
  }
  getVersionChange();
  changeValueScrollView_->verticalScrollBar()->setValue(0);
}

void QVCheckUpdateWindowController::getVersionChange() {
  const QUrl url(QVLinkUrl::GetUrl(QStringLiteral("IniURL")));
  if (!url.isValid() || url.isRelative()) {
    showState(State::NoNetwork);
    emit checkFinished();
    return;
  }
  QNetworkRequest request(url);
  request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
  request.setTransferTimeout(kFetchLimitMs);
  reply_ = network_.get(request);
  connect(reply_, &QNetworkReply::finished, this, [this, reply = reply_.data()] { fetchFinished(reply); });
}

void QVCheckUpdateWindowController::fetchFinished(QNetworkReply* reply) {
  reply->deleteLater();
  if (unreachable(reply->error())) {
    showState(State::NoNetwork);
  } else if (reply->error() != QNetworkReply::NoError) {
    whatIsNewVersionDiff(std::nullopt);
  } else {
    const QByteArray bytes = reply->read(kMaxUpdateListBytes + 1);
    whatIsNewVersionDiff(ParseUpdateList(bytes));
  }
  emit checkFinished();
}

double QVCheckUpdateWindowController::heightForStringDrawing(const QString& text, const QFont& font, double width) {
  const QFontMetrics metrics(font);
  return metrics.boundingRect(QRect(0, 0, static_cast<int>(width), INT_MAX / 2), Qt::TextWordWrap, text).height();
}

void QVCheckUpdateWindowController::whatIsNewVersionDiff(const std::optional<UpdateList>& remote) {
  const long long local = QVPublicUtilities::privateInteger(QStringLiteral("VersionCheck"));
  const long long other = remote ? remote->versionCheck : 0;
  if (local >= other) {
    showState(State::UpToDate);
    return;
  }
  showState(State::HaveUpdate);
  versionLabel_->setText(QStringLiteral("New features of Version %1:").arg(remote->version));
  titleLable_->setText(QStringLiteral("Quarnel %1 has been released.").arg(remote->version));
  const QFont measure = systemFont(10);
  double total = 0;
  for (const auto& [key, text] : remote->lines) total += std::max(30.0, heightForStringDrawing(text, measure, 200));
  total = std::max(99.0, total);
  const int listHeight = static_cast<int>(total);
  qDeleteAll(showVersionScrollView_->findChildren<QLabel*>(Qt::FindDirectChildrenOnly));
  showVersionScrollView_->setGeometry(0, 0, kListWidth, listHeight);
  const int count = static_cast<int>(std::min<std::size_t>(remote->lines.size(), kMaxLines));
  double y = 0;
  for (int i = 1; i < count + 1; ++i) {
    const auto it = remote->lines.find(QString::number(i));
    if (it == remote->lines.end()) continue;  // a list without this number has no row for it
    const double h = std::max(25.0, heightForStringDrawing(it->second, measure, 200));
    y += h;
    auto* row = new QLabel(QStringLiteral("%1.%2").arg(i).arg(it->second), showVersionScrollView_);
    row->setObjectName(QStringLiteral("featureLine%1").arg(i));
    row->setWordWrap(true);
    row->setFont(lightFont("Helvetica Neue Light", 13));
    row->setToolTip(it->second);
    row->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    row->setGeometry(ui::fromBottomLeft(listHeight, 0, static_cast<int>(total - y), 380, static_cast<int>(h)));
    row->show();
  }
  changeValueScrollView_->verticalScrollBar()->setValue(0);
}

void QVCheckUpdateWindowController::closeWindow() {
  frame_->closeNow();
  if (delegate_) delegate_();
}

void QVCheckUpdateWindowController::updateClickHereAction() {
  const QString url = QVLinkUrl::GetUrl(QStringLiteral("ProUpdateURL"));
  if (!url.isEmpty()) ui::Modal().openUrl(QUrl(url));
}

}  // namespace windows
