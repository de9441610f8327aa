#pragma once
// Items of the result trees the windows show: either one found file node
// (not owned: the nodes belong to the scan result) or a group (a category,
// an extension, a date root, a year or a month) with a display name.
// Children are items or file rows (bare node pointers).

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "core/model/FileNode.h"

class OpNodeData;
using OpNodePtr = std::shared_ptr<OpNodeData>;
// A child: an item, or a file row holding a node pointer.
using OpNodeChild = std::variant<OpNodePtr, IFileNode*>;
using OpNodeList = std::vector<OpNodeChild>;
// A tree as the windows hold it: its top-level items.
using OpNodeArray = std::vector<OpNodePtr>;

// The record items are made from.
struct __TreeNodeData__ {
  std::int32_t isDirectory = 0;
  std::int32_t isDeleted = 0;
  std::int32_t isFileSystem = 0;
  IFileNode* node = nullptr;
};

// Item types.
inline constexpr int kOpNodePath = 0;
inline constexpr int kOpNodeCategory = 1;
inline constexpr int kOpNodeCreateDate = 2;
inline constexpr int kOpNodeModifyDate = 3;

class OpNodeData {
 public:
  static OpNodePtr initWithNodeData(const __TreeNodeData__& data);
  static OpNodePtr initWithFileNode(IFileNode* node);

  OpNodeData(const OpNodeData&) = delete;
  OpNodeData& operator=(const OpNodeData&) = delete;

  // Linking.
  void setSubNode(std::shared_ptr<OpNodeList> children);
  void addChildObject(OpNodeChild child);
  // The children list; null until first set.
  const std::shared_ptr<OpNodeList>& children() const { return m_children; }
  // Makes an empty children list when there is none; the list.
  OpNodeList& ensureChildren();
  OpNodeData* parent() const { return m_parent; }
  void setParent(OpNodeData* parent) { m_parent = parent; }
  IFileNode* fileNode() const { return m_ptFileNode; }
  int isFileSystem() const { return m_isFileSystem; }
  int type() const { return m_type; }
  void setType(int type) { m_type = type; }
  void setFadeName(const std::string& name) {
    m_fadeName = name;
    m_hasFadeName = true;
  }
  int isExpandAble() const { return m_isExpandAble; }
  void setExpandAble(int value) { m_isExpandAble = value; }
  int isExpand() const { return m_isExpand; }
  void setExpand(int value) { m_isExpand = value; }
  std::int64_t createtime() const { return m_createTime; }
  void setCreateTime(std::int64_t t) { m_createTime = t; }
  std::int64_t modifytime() const { return m_modifyTime; }
  void setModifyTime(std::int64_t t) { m_modifyTime = t; }

  // Readers of the wrapped node (a group answers for itself).
  bool isFadeNode() const;
  bool isDirect() const;
  std::uint64_t size() const;
  std::string name() const;
  std::string path() const;
  std::string createTime() const;
  std::string modifyTime() const;
  std::string lastAccessTime() const;
  std::uint64_t createTimeValue() const;
  std::uint64_t modifyTimeValue() const;
  bool isDeleted() const;
  bool IsShow() const;
  void SetShow(int show);
  bool isHasFolderChildren() const;
  int state() const;
  // Icon kind of an outline row (0 to 11).
  int nodeType() const;

  // Check states: set on this item, carried up through groups and down.
  void setNodeState(int state);
  void setParentNodeState(int state);
  void SetChildrenNodeState(int state);

  // File rows.
  static bool isFileNodeDirect(IFileNode* node);
  static bool isFileNodeDeleted(IFileNode* node);
  static int fileNodeState(IFileNode* node);
  static void setFileNode(IFileNode* node, int state);
  // The name as UTF-8; "" without node; `valid` false (and "") when the
  // name is not valid UTF-8.
  static std::string fileNodeName(IFileNode* node, bool* valid = nullptr);

 private:
  OpNodeData() = default;

  std::int32_t m_type = 0;
  std::int32_t m_isFileSystem = 0;
  std::shared_ptr<OpNodeList> m_children;
  IFileNode* m_ptFileNode = nullptr;
  std::int32_t m_state = 0;
  std::int32_t m_isExpandAble = 0;
  std::int32_t m_isExpand = 0;
  std::int64_t m_createTime = 0;
  std::int64_t m_modifyTime = 0;
  std::string m_fadeName;
  bool m_hasFadeName = false;
  OpNodeData* m_parent = nullptr;
};

// The item of a child, or null for a file row.
inline OpNodeData* OpNodeItemOf(const OpNodeChild& child) {
  const OpNodePtr* p = std::get_if<OpNodePtr>(&child);
  return p != nullptr ? p->get() : nullptr;
}
inline IFileNode* OpNodeRowOf(const OpNodeChild& child) {
  IFileNode* const* p = std::get_if<IFileNode*>(&child);
  return p != nullptr ? *p : nullptr;
}
