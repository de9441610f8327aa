#include "ui/windows/ResultTreeModel.h"

#include "bridge/QVUIController.h"
#include "bridge/QVUIScan.h"
#include "core/util/Locks.h"
#include "ui/bridge_qt/QtImages.h"
#include "ui/toolkit/ImageStore.h"

namespace windows {

struct ResultTreeModel::Node {
  bridge_qt::TreeRow row;
  QString label;
  QPixmap icon;
  Node* parent = nullptr;
  int index = 0;
  bool fetched = false;
  std::vector<std::unique_ptr<Node>> children;
};

ResultTreeModel::ResultTreeModel(QObject* parent) : QAbstractItemModel(parent), root_(std::make_unique<Node>()) {
  root_->fetched = true;
}

ResultTreeModel::~ResultTreeModel() = default;

std::vector<std::unique_ptr<ResultTreeModel::Node>> ResultTreeModel::readLevel(
    const std::vector<bridge_qt::TreeRow>& rows, Node* parent) const {
  std::vector<std::unique_ptr<Node>> level;
  for (const bridge_qt::TreeRow& row : rows) {
    // Rows are folder and group items; file entries belong to the list.
    if (!row.item || !row.isFolder) continue;
    auto node = std::make_unique<Node>();
    node->row = row;
    node->parent = parent;
    node->index = static_cast<int>(level.size());
    decorate(*node);
    level.push_back(std::move(node));
  }
  return level;
}

void ResultTreeModel::decorate(Node& node) const {
  const QString name = node.row.name.empty() ? QStringLiteral("Unknow") : QString::fromStdString(node.row.name);
  if (kind_ == 0) {
    node.label = name;
  } else {
    const std::uint64_t count = QVUIController::GetNodeChildrenCnt(node.row.item.get());
    node.label = QStringLiteral("%1(%2)").arg(name).arg(count);
  }
  const bool group = node.row.item->isFadeNode();
  if (kind_ == 1 && group && node.parent != root_.get()) {
    bridge::Image image;
    if (QVUIController::getImageForType(node.row.name, image))
      node.icon = QPixmap::fromImage(bridge_qt::toQImage(image));
  } else if (kind_ == 2) {
    node.icon = ui::ImageStore::pixmap(QStringLiteral("10IconImage"));
  } else {
    node.icon = ui::ImageStore::pixmap(QStringLiteral("%1IconImage").arg(node.row.nodeType));
  }
}

void ResultTreeModel::load(const OpNodeArray* roots, int kind) {
  beginResetModel();
  kind_ = kind;
  root_->children.clear();
  if (roots != nullptr) root_->children = readLevel(bridge_qt::ReadRoots(*roots), root_.get());
  // Levels that were open stay open: read them again now.
  std::vector<Node*> pending;
  for (auto& c : root_->children) pending.push_back(c.get());
  while (!pending.empty()) {
    Node* n = pending.back();
    pending.pop_back();
    if (!n->row.expanded) continue;
    n->children = readLevel(bridge_qt::ReadChildren(*n->row.item), n);
    n->fetched = true;
    for (auto& c : n->children) pending.push_back(c.get());
  }
  endResetModel();
}

void ResultTreeModel::clear() { load(nullptr, kind_); }

void ResultTreeModel::refreshStates() {
  {
    autolocker<mutex_locker> hold(QVTreeLocker());
    std::vector<Node*> pending{root_.get()};
    while (!pending.empty()) {
      Node* n = pending.back();
      pending.pop_back();
      if (n->row.item) n->row.state = n->row.item->state();
      for (auto& c : n->children) pending.push_back(c.get());
    }
  }
  if (!root_->children.empty()) emit layoutChanged();
}

ResultTreeModel::Node* ResultTreeModel::nodeOf(const QModelIndex& index) const {
  return index.isValid() ? static_cast<Node*>(index.internalPointer()) : root_.get();
}

OpNodePtr ResultTreeModel::itemAt(const QModelIndex& index) const {
  return index.isValid() ? nodeOf(index)->row.item : OpNodePtr();
}

void ResultTreeModel::setExpanded(const QModelIndex& index, bool expanded) {
  if (!index.isValid()) return;
  Node* n = nodeOf(index);
  n->row.expanded = expanded;
  autolocker<mutex_locker> hold(QVTreeLocker());
  n->row.item->setExpand(expanded ? 1 : 0);
}

QModelIndex ResultTreeModel::indexOf(const OpNodeData* item) const {
  if (item == nullptr) return {};
  std::vector<Node*> pending;
  for (auto& c : root_->children) pending.push_back(c.get());
  while (!pending.empty()) {
    Node* n = pending.back();
    pending.pop_back();
    if (n->row.item.get() == item) return createIndex(n->index, 0, n);
    for (auto& c : n->children) pending.push_back(c.get());
  }
  return {};
}

QString ResultTreeModel::label(const QModelIndex& index) const {
  return index.isValid() ? nodeOf(index)->label : QString();
}

QPixmap ResultTreeModel::icon(const QModelIndex& index) const {
  return index.isValid() ? nodeOf(index)->icon : QPixmap();
}

int ResultTreeModel::state(const QModelIndex& index) const { return index.isValid() ? nodeOf(index)->row.state : 0; }

QModelIndex ResultTreeModel::index(int row, int column, const QModelIndex& parent) const {
  const Node* p = nodeOf(parent);
  if (column != 0 || row < 0 || static_cast<std::size_t>(row) >= p->children.size()) return {};
  return createIndex(row, 0, p->children[static_cast<std::size_t>(row)].get());
}

QModelIndex ResultTreeModel::parent(const QModelIndex& child) const {
  if (!child.isValid()) return {};
  Node* p = nodeOf(child)->parent;
  if (p == nullptr || p == root_.get()) return {};
  return createIndex(p->index, 0, p);
}

int ResultTreeModel::rowCount(const QModelIndex& parent) const {
  if (parent.column() > 0) return 0;
  return static_cast<int>(nodeOf(parent)->children.size());
}

int ResultTreeModel::columnCount(const QModelIndex&) const { return 1; }

bool ResultTreeModel::hasChildren(const QModelIndex& parent) const {
  const Node* n = nodeOf(parent);
  if (n == root_.get() || n->fetched) return !n->children.empty();
  // Expandable: a folder or group with folder children, or one that was
  // expanded before.
  return (n->row.isFolder && n->row.expandable && n->row.childCount > 0) || n->row.expanded;
}

bool ResultTreeModel::canFetchMore(const QModelIndex& parent) const {
  return parent.isValid() && !nodeOf(parent)->fetched;
}

void ResultTreeModel::fetchMore(const QModelIndex& parent) {
  Node* n = nodeOf(parent);
  if (!parent.isValid() || n->fetched) return;
  auto children = readLevel(bridge_qt::ReadChildren(*n->row.item), n);
  n->fetched = true;
  if (children.empty()) return;
  beginInsertRows(parent, 0, static_cast<int>(children.size()) - 1);
  n->children = std::move(children);
  endInsertRows();
}

QVariant ResultTreeModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const Node* n = nodeOf(index);
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
      return n->label;
    case Qt::DecorationRole:
      return n->icon;
    case StateRole:
      return n->row.state;
    case ExpandedRole:
      return n->row.expanded;
    default:
      return {};
  }
}

}  // namespace windows
