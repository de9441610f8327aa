#include "ui/windows/FileListModel.h"

#include <QPixmap>

#include <algorithm>
#include <numeric>

#include "bridge/OpNodeData.h"
#include "bridge/QVUIScan.h"
#include "core/util/Locks.h"
#include "ui/toolkit/ImageStore.h"
#include "ui/windows/QVPublicUtilities.h"

namespace windows {
namespace {

FileListModel::Record readRecordLocked(IFileNode* node) {
  FileListModel::Record r;
  const OpNodePtr item = OpNodeData::initWithFileNode(node);
  if (!item) return r;
  const std::string name = item->name();
  r.name = name.empty() ? QStringLiteral("Unknow") : QString::fromStdString(name);
  r.folder = item->isDirect();
  r.size = r.folder ? 0 : item->size();
  r.sizeText = QVPublicUtilities::longlongConvertVolSpace(static_cast<std::int64_t>(r.size));
  r.path = QString::fromStdString(item->path());
  r.created = QString::fromStdString(item->createTime());
  r.createdValue = item->createTimeValue();
  r.deleted = !r.folder && item->isDeleted();
  return r;
}

// Strict "a goes before b" of one column and direction.
bool before(const FileListModel::Record& a, const FileListModel::Record& b, int column, bool ascending) {
  const FileListModel::Record& x = ascending ? a : b;
  const FileListModel::Record& y = ascending ? b : a;
  switch (column) {
    case FileListModel::Name:
      return QString::compare(x.name, y.name, Qt::CaseSensitive) < 0;
    case FileListModel::Size:
      return x.size < y.size;
    case FileListModel::Path:
      return QString::compare(x.path, y.path, Qt::CaseSensitive) < 0;
    case FileListModel::Created:
      return x.createdValue < y.createdValue;
    default:
      return false;
  }
}

}  // namespace

QString FileListModel::identifier(int column) {
  switch (column) {
    case CheckBox:
      return QStringLiteral("CheckBox");
    case Name:
      return QStringLiteral("Name");
    case Size:
      return QStringLiteral("Size");
    case Path:
      return QStringLiteral("Path");
    case Created:
      return QStringLiteral("Created");
    default:
      return {};
  }
}

FileListModel::FileListModel(QObject* parent) : QAbstractTableModel(parent) {
  for (int c = 0; c < ColumnCount; ++c) headers_[c] = c == CheckBox ? QString() : identifier(c);
}

void FileListModel::setRows(std::vector<IFileNode*> rows) {
  beginResetModel();
  rows_ = std::move(rows);
  records_.assign(rows_.size(), std::nullopt);
  endResetModel();
}

void FileListModel::clear() { setRows({}); }

IFileNode* FileListModel::node(int row) const {
  return row >= 0 && static_cast<std::size_t>(row) < rows_.size() ? rows_[static_cast<std::size_t>(row)] : nullptr;
}

const FileListModel::Record& FileListModel::record(int row) const {
  static const Record none;
  if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) return none;
  std::optional<Record>& slot = records_[static_cast<std::size_t>(row)];
  if (!slot) {
    autolocker<mutex_locker> hold(QVTreeLocker());
    slot = readRecordLocked(rows_[static_cast<std::size_t>(row)]);
  }
  return *slot;
}

bool FileListModel::sortBy(int column, bool ascending) {
  if (column != Name && column != Size && column != Path && column != Created) return false;
  {
    // Every key at once, in one hold of the tree lock.
    autolocker<mutex_locker> hold(QVTreeLocker());
    for (std::size_t i = 0; i < rows_.size(); ++i)
      if (!records_[i]) records_[i] = readRecordLocked(rows_[i]);
  }
  std::vector<std::size_t> order(rows_.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return before(*records_[a], *records_[b], column, ascending); });
  std::vector<IFileNode*> rows;
  std::vector<std::optional<Record>> records;
  rows.reserve(order.size());
  records.reserve(order.size());
  for (std::size_t i : order) {
    rows.push_back(rows_[i]);
    records.push_back(std::move(records_[i]));
  }
  beginResetModel();
  rows_ = std::move(rows);
  records_ = std::move(records);
  endResetModel();
  return true;
}

int FileListModel::checkState(int row) const {
  IFileNode* n = node(row);
  if (n == nullptr) return 0;
  return OpNodeData::fileNodeState(n) == 2 ? 2 : 0;
}

void FileListModel::statesChanged() {
  if (!rows_.empty()) emit dataChanged(index(0, CheckBox), index(rowCount() - 1, CheckBox), {Qt::DecorationRole});
}

int FileListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int FileListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant FileListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const int column = index.column();
  if (column == CheckBox) {
    if (role == Qt::DecorationRole)
      return ui::ImageStore::pixmap(checkState(index.row()) == 2 ? QStringLiteral("pf_checkbox_yes")
                                                                 : QStringLiteral("pf_checkbox_no"));
    return {};
  }
  const Record& r = record(index.row());
  if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
    switch (column) {
      case Name:
        return r.name;
      case Size:
        return r.sizeText;
      case Path:
        return r.path;
      case Created:
        return r.created;
      default:
        return {};
    }
  }
  if (role == Qt::DecorationRole && column == Name && r.deleted)
    return ui::ImageStore::pixmap(QStringLiteral("deletered"));
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
  return {};
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount) return {};
  if (role == Qt::DisplayRole) return headers_[section];
  return {};
}

void FileListModel::setHeaderText(int column, const QString& text) {
  if (column < 0 || column >= ColumnCount) return;
  headers_[column] = text;
  emit headerDataChanged(Qt::Horizontal, column, column);
}

}  // namespace windows
