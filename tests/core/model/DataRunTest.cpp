#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "core/model/DataRun.h"

namespace {
std::vector<std::pair<long long, long long>> Runs(CDataRunList& list) {
  std::vector<std::pair<long long, long long>> out;
  for (const DataRun* r = list.GetFirst(); r != nullptr; r = list.GetNext()) out.emplace_back(r->start, r->length);
  return out;
}
}  // namespace

TEST(DataRunList, OnlyAdjacentRunsAfterAPlacedRunCoalesce) {
  struct Case {
    std::vector<DataRun> in;
    std::vector<std::pair<long long, long long>> out;
  };
  const Case cases[] = {
      {{{10, 5}, {15, 3}}, {{10, 8}}},
      {{{10, 5}, {16, 3}}, {{10, 5}, {16, 3}}},
      {{{-1, 5}, {4, 2}}, {{-1, 5}, {4, 2}}},
      {{{10, 5}, {-1, 3}, {15, 2}}, {{10, 5}, {-1, 3}, {15, 2}}},
      {{{0, 1}, {1, 1}, {2, 1}}, {{0, 3}}},
      {{{1, LLONG_MAX}, {5, 1}}, {{1, LLONG_MAX}, {5, 1}}},
      {{{0, LLONG_MAX}, {LLONG_MAX, 1}}, {{0, LLONG_MAX}, {LLONG_MAX, 1}}},
  };
  for (const Case& c : cases) {
    CDataRunList list;
    for (const DataRun& r : c.in) list.AddDataRun(&r);
    EXPECT_EQ(Runs(list), c.out);
  }
}

TEST(DataRunList, CursorAndClone) {
  CDataRunList list;
  EXPECT_EQ(list.GetFirst(), nullptr);
  EXPECT_TRUE(list.IsDone());
  list.AddDataRun(nullptr);
  DataRun a{1, 1}, b{5, 2};
  list.AddDataRun(&a);
  list.AddDataRun(&b);
  ASSERT_NE(list.GetFirst(), nullptr);
  EXPECT_FALSE(list.IsDone());
  ASSERT_NE(list.GetNext(), nullptr);
  EXPECT_EQ(list.GetNext(), nullptr);
  EXPECT_TRUE(list.IsDone());
  IDataRunList* copy = list.Clone();
  EXPECT_EQ(copy->GetDataRunListType(), 5);
  EXPECT_EQ(copy->IsResident(), 0);
  EXPECT_EQ(copy->GetFirst()->start, 1);
  EXPECT_EQ(copy->GetNext()->start, 5);
  copy->Release();
}
