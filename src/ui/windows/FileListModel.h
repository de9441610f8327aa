#pragma once
// The rows of the results window's file list: the files and folders of the
// chosen tree item, as engine nodes owned by the scan result. What a row
// shows (name, size, path, creation time, deleted mark) is read once, on
// first use, and kept; the check state is read afresh every time, as ticks
// change it in the engine's nodes. Drop the rows (clear()) before a new
// scan or load frees the nodes.

#include <QAbstractTableModel>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

#include "core/model/FileNode.h"

namespace windows {

class FileListModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  // Column order of the table; identifiers "CheckBox", "Name", "Size",
  // "Path", "Created".
  enum Column { CheckBox = 0, Name, Size, Path, Created, ColumnCount };
  static QString identifier(int column);

  // What a row shows.
  struct Record {
    QString name;  // "Unknow" when the node has none
    std::uint64_t size = 0;
    QString sizeText;
    QString path;
    QString created;  // "" without a creation time
    std::uint64_t createdValue = 0;
    bool deleted = false;
    bool folder = false;
  };

  explicit FileListModel(QObject* parent = nullptr);

  // Replaces the rows (the list is in engine order).
  void setRows(std::vector<IFileNode*> rows);
  void clear();
  const std::vector<IFileNode*>& rows() const { return rows_; }
  IFileNode* node(int row) const;
  const Record& record(int row) const;

  // Sorts by a column: ascending or descending, equal keys in their
  // present order. The check-box column (and any other) leaves the list
  // as it is; false then.
  bool sortBy(int column, bool ascending);

  // The check state shown by a row: 2 checked, else 0.
  int checkState(int row) const;
  // Repaints the check boxes after ticks.
  void statesChanged();

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // The header texts (the localised names of the columns).
  void setHeaderText(int column, const QString& text);

 private:
  std::vector<IFileNode*> rows_;
  mutable std::vector<std::optional<Record>> records_;
  QString headers_[ColumnCount];
};

}  // namespace windows
