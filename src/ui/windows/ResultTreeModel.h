#pragma once
// One result tree (by path, category, creation or modification date) as a
// Qt model. Only folder and group items are rows; the files under them are
// the file list's. Rows are snapshots read from the bridge's tree level by
// level (a level when it is first shown), so they stay put between two
// loads however the bridge grows the tree meanwhile; load() reads the tree
// again (after every scan update) and keeps what was expanded.

#include <QAbstractItemModel>
#include <QPixmap>
#include <QString>

#include <memory>
#include <vector>

#include "bridge/OpNodeData.h"
#include "ui/bridge_qt/TreeReader.h"

namespace windows {

class ResultTreeModel : public QAbstractItemModel {
  Q_OBJECT
 public:
  // Role of the check state (0, 1, 2) of a row.
  static constexpr int StateRole = Qt::UserRole + 1;
  // Role of the remembered open state of a row (bool).
  static constexpr int ExpandedRole = Qt::UserRole + 2;

  explicit ResultTreeModel(QObject* parent = nullptr);
  ~ResultTreeModel() override;

  // Reads the tree again from its roots (kind: 0 path, 1 category,
  // 2 creation date, 3 modification date). The roots array stays the
  // caller's; null empties the model.
  void load(const OpNodeArray* roots, int kind);
  // Drops every row (before the items' nodes go).
  void clear();
  int kind() const { return kind_; }
  // Reads the check states of the rows read so far again.
  void refreshStates();

  // Remembers in the item whether its row is open.
  void setExpanded(const QModelIndex& index, bool expanded);
  OpNodePtr itemAt(const QModelIndex& index) const;
  // The index of a row showing `item` among the rows read so far.
  QModelIndex indexOf(const OpNodeData* item) const;
  // The row's text: the name, or "name(count)" outside the path tree.
  QString label(const QModelIndex& index) const;
  QPixmap icon(const QModelIndex& index) const;
  int state(const QModelIndex& index) const;

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  bool hasChildren(const QModelIndex& parent = {}) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;
  QVariant data(const QModelIndex& index, int role) const override;

 private:
  struct Node;
  Node* nodeOf(const QModelIndex& index) const;
  std::vector<std::unique_ptr<Node>> readLevel(const std::vector<bridge_qt::TreeRow>& rows, Node* parent) const;
  void decorate(Node& node) const;

  std::unique_ptr<Node> root_;
  int kind_ = 0;
};

}  // namespace windows
