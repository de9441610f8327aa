// The results window: search of the found files by name, and the recent
// searches kept with the program's settings.

#include <QMenu>
#include <QSettings>
#include <QSignalBlocker>

#include "bridge/QVUIController.h"
#include "ui/toolkit/NotificationCenter.h"
#include "ui/toolkit/Strings.h"
#include "ui/windows/QVDeletailWindowController.h"

namespace windows {

namespace {

const QString kRecentKey = QStringLiteral("searchRecent");

// Text made only of spaces (and not empty) never searches.
bool isBlank(const QString& text) { return !text.isEmpty() && text.trimmed().isEmpty(); }

}  // namespace

void QVDeletailWindowController::loadRecentSearches() {
  QSettings settings;
  recentSearches_ = settings.value(kRecentKey).toStringList();
  while (recentSearches_.size() > kMaxRecentSearches) recentSearches_.removeLast();
}

void QVDeletailWindowController::storeRecentSearches() {
  QSettings settings;
  settings.setValue(kRecentKey, recentSearches_);
  settings.sync();
}

// The user confirmed a text: it becomes the newest recent search.
void QVDeletailWindowController::noteRecentSearch() {
  const QString text = GetSearchText();
  if (text.isEmpty() || isBlank(text) || selectDesktop_ == 1) return;
  recentSearches_.removeAll(text);
  recentSearches_.prepend(text);
  while (recentSearches_.size() > kMaxRecentSearches) recentSearches_.removeLast();
  storeRecentSearches();
}

// The field's menu: a title, the recent searches (choosing one searches
// it again), and the item that forgets them.
QMenu* QVDeletailWindowController::searchMenu() {
  auto* menu = new QMenu(ui::Strings::text(QStringLiteral("SEARCH_MENU")), this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  if (recentSearches_.isEmpty()) {
    menu->addAction(ui::Strings::text(QStringLiteral("NO_RECENT_SEARCH")))->setEnabled(false);
  } else {
    menu->addAction(ui::Strings::text(QStringLiteral("RECENT_SEARCH")))->setEnabled(false);
    for (const QString& text : recentSearches_) menu->addAction(text, this, [this, text] { search_->setText(text); });
  }
  menu->addSeparator();
  menu->addAction(ui::Strings::text(QStringLiteral("CLEAR")), this, &QVDeletailWindowController::selectClear);
  return menu;
}

void QVDeletailWindowController::selectClear() {
  recentSearches_.clear();
  storeRecentSearches();
}

// One space is dropped at each end; spaces inside stay.
QString QVDeletailWindowController::GetSearchText() const {
  QString text = search_->text();
  const QString odd = QString(QChar(0x00C2)) + QStringLiteral("  ");
  while (text.contains(odd)) text.replace(odd, QStringLiteral(" "));
  if (!text.isEmpty() && text.front() == QLatin1Char(' ')) text.remove(0, 1);
  if (!text.isEmpty() && text.back() == QLatin1Char(' ')) text.chop(1);
  return text;
}

void QVDeletailWindowController::ClearSelectedFilesInfo() {
  opDataFile_.reset();
  listViewSelectAllButton_->setImageName(QStringLiteral("pf_checkbox_no"));
  QVUIController::UnselectedAllNodes();
  showSelectFilesCountAndSize();
}

bool QVDeletailWindowController::doSearch() {
  if (isBlank(search_->text()) || isBlank(GetSearchText())) return false;
  const QString text = GetSearchText();
  if (text.toStdString() == QVUIController::GetSearchString() && selectDesktop_ != 1) return false;
  // A search still runs: it marks the found files as it goes, so they are
  // left alone, and the display is empty already. Its end starts this text.
  if (QVUIController::QVGetIsSearching() != 0) return false;
  for (std::size_t kind = 0; kind < outlines_.size(); ++kind) outlines_[kind]->clearData();
  fileModel_->clear();
  selectedRow_ = -1;
  tableViewCellNum_ = -1;
  refreshThumbnailViews();
  ClearSelectedFilesInfo();
  tableView_->changeNoValue(true);
  if (selectDesktop_ != 1) storeRecentSearches();
  const bool started = QVUIController::DoSearchWithString(text.toStdString(), this, "DoSearchValue") != 0;
  if (started) {
    lastSearchStr_ = text;
    backHomeButton_->setEnabled(false);
    setCloseButtonEnabled(false);
  }
  return started;
}

void QVDeletailWindowController::searchClearButtonClick() {
  {
    const QSignalBlocker quiet(search_);
    search_->clear();
  }
  doSearch();
}

// "DoSearchValue" comes while the search still holds the trees; they are
// read once it has ended.
void QVDeletailWindowController::SearchTreeView(bool ended) {
  setCloseButtonEnabled(false);
  if (!ended) return;
  for (std::size_t kind = 0; kind < outlines_.size(); ++kind)
    outlines_[kind]->loadDataFormDetail(trees_[kind].get(), static_cast<int>(kind));
  stopImageLoading();
  stopGridImageLoading();
  std::vector<IFileNode*> rows;
  const QString text = search_->text();
  if (text.isEmpty() || text == QStringLiteral(" ")) {
    if (opDataFile_) QVUIController::GetFileNodeToArray(&rows, opDataFile_.get());
  } else {
    QVUIController::GetSearchResultToArr(&rows);
  }
  fileModel_->setRows(std::move(rows));
  selectedRow_ = -1;
  tableViewCellNum_ = -1;
  isSorted_ = 0;
  isSelectOutlineList_ = 1;
  refreshThumbnailViews();
  changeSelectAllButtonState();
  showNoValueNote();
  showSelectFilesCountAndSize();
  setCloseButtonEnabled(true);
}

void QVDeletailWindowController::reloadTreeView() {
  QVUIController::StopSearch();
  backHomeButton_->setEnabled(isCanClick_ == 1);
  // The user typed on while the search ran: search the newer text.
  if (GetSearchText() != lastSearchStr_ && doSearch()) return;
  SearchTreeView(true);
}

}  // namespace windows
