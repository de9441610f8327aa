// The file list's sort by a header: every column in both directions over
// rows with many equal keys. The order is a strict weak one: keys in order,
// equal keys in the order the list had before, the same on every run.

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/model/FileNode.h"
#include "ui/windows/FileListModel.h"

namespace {

using windows::FileListModel;

class ListNode : public CFileNode {
 public:
  ListNode(long long id, std::string name, long long size, long long created)
      : name_(std::move(name)), size_(size), created_(created) {
    SetNodeID(id);
  }
  const char* GetFileName() override { return name_.c_str(); }
  long long GetFileSize() override { return size_; }
  unsigned int GetAttribute() override { return 0; }
  long long GetCreationTime() override { return created_; }
  long long GetModificationTime() override { return created_; }
  long long GetLastAccessTime() override { return 0; }
  int IsDirectory() override { return 0; }
  int IsDeleted() override { return 1; }
  IFileNode* Clone() override { return new ListNode(GetCurrentNodeID(), name_, size_, created_); }
  void MarkDeleted() override {}
  void FilterFileNameByDot() override {}

 private:
  std::string name_;
  long long size_;
  long long created_;
};

struct Deleter {
  void operator()(ListNode* n) const { n->Release(); }
};

class FileListSort : public ::testing::Test {
 protected:
  void SetUp() override {
    std::mt19937 random(20261210);
    // Few distinct keys, so most rows tie with many others.
    const char* names[] = {"b.jpg", "A.jpg", "a.jpg", "", "b.jpg", "c.txt"};
    for (int i = 0; i < 600; ++i) {
      const long long size = static_cast<long long>(random() % 4) * 1000;
      const long long created = (random() % 3) == 0 ? 0 : 133000000000000000LL + (random() % 3);
      nodes_.emplace_back(new ListNode(i + 1, names[random() % 6], size, created));
      rows_.push_back(nodes_.back().get());
    }
    model_.setRows(rows_);
  }

  // The key of a column as the list compares it.
  static std::string key(const FileListModel::Record& r, int column, long long* number) {
    switch (column) {
      case FileListModel::Size:
        *number = static_cast<long long>(r.size);
        return {};
      case FileListModel::Created:
        *number = static_cast<long long>(r.createdValue);
        return {};
      case FileListModel::Name:
        return r.name.toStdString();
      default:
        return r.path.toStdString();
    }
  }

  std::vector<std::unique_ptr<ListNode, Deleter>> nodes_;
  std::vector<IFileNode*> rows_;
  FileListModel model_;
};

TEST_F(FileListSort, EveryColumnBothWaysKeepsEqualKeysInTheirOrder) {
  for (int column : {FileListModel::Name, FileListModel::Size, FileListModel::Path, FileListModel::Created}) {
    for (bool ascending : {true, false}) {
      model_.setRows(rows_);
      ASSERT_TRUE(model_.sortBy(column, ascending));
      ASSERT_EQ(model_.rowCount(), static_cast<int>(rows_.size()));
      for (int r = 1; r < model_.rowCount(); ++r) {
        long long a = 0, b = 0;
        const std::string ka = key(model_.record(r - 1), column, &a);
        const std::string kb = key(model_.record(r), column, &b);
        const int order = ka != kb ? (ka < kb ? -1 : 1) : (a != b ? (a < b ? -1 : 1) : 0);
        if (order == 0) {
          // Ties keep the order they had (node ids rise).
          EXPECT_LT(model_.node(r - 1)->GetCurrentNodeID(), model_.node(r)->GetCurrentNodeID())
              << "column " << column << " row " << r;
        } else {
          EXPECT_EQ(order, ascending ? -1 : 1) << "column " << column << " row " << r;
        }
      }
    }
  }
}

TEST_F(FileListSort, NamesCompareCaseSensitivelyAndMissingNamesShowUnknow) {
  ASSERT_TRUE(model_.sortBy(FileListModel::Name, true));
  // "A" sorts before "U" before "a", byte by byte.
  EXPECT_EQ(model_.record(0).name, QStringLiteral("A.jpg"));
  bool sawUnknown = false;
  for (int r = 0; r < model_.rowCount(); ++r)
    sawUnknown = sawUnknown || model_.record(r).name == QStringLiteral("Unknow");
  EXPECT_TRUE(sawUnknown);
  EXPECT_EQ(model_.record(model_.rowCount() - 1).name, QStringLiteral("c.txt"));
}

TEST_F(FileListSort, TheCheckBoxColumnLeavesTheOrder) {
  EXPECT_FALSE(model_.sortBy(FileListModel::CheckBox, true));
  EXPECT_FALSE(model_.sortBy(99, false));
  for (int r = 0; r < model_.rowCount(); ++r) ASSERT_EQ(model_.node(r), rows_[static_cast<std::size_t>(r)]);
}

TEST_F(FileListSort, SortingTwiceTheSameWayChangesNothing) {
  ASSERT_TRUE(model_.sortBy(FileListModel::Created, false));
  std::vector<IFileNode*> once;
  for (int r = 0; r < model_.rowCount(); ++r) once.push_back(model_.node(r));
  ASSERT_TRUE(model_.sortBy(FileListModel::Created, false));
  for (int r = 0; r < model_.rowCount(); ++r) EXPECT_EQ(model_.node(r), once[static_cast<std::size_t>(r)]);
}

}  // namespace
