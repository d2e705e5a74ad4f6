#include "catalog/corvane.h"

#include <gtest/gtest.h>

#include "sqlgen/fixtures.h"

namespace {

TEST(Catalogue, CountsSelectionAndClear) {
  TCorvane c;
  EXPECT_EQ(c.TableCount(), 0);
  EXPECT_EQ(c.ViewCount(), 0);

  auto t = MakeObject("t", dkAccess, 0);
  AddField(*t, {"a", 3});
  AddIndex(*t, "pk", {"a"}, true, true);
  c.Objects.Add(std::move(t));
  c.Objects.Add(MakeObject("v", dkAccess, 1));
  auto sys = MakeObject("MSysObjects", dkAccess, 1);
  sys->TableType = "SYSTEM TABLE";
  c.Objects.Add(std::move(sys));
  c.Objects.Add(MakeObject("t", dkAccess, 3));  // equal keys are kept
  EXPECT_EQ(c.TableCount(), 1);
  EXPECT_EQ(c.ViewCount(), 2);
  EXPECT_EQ(c.Objects.size(), 4u);

  c.SelectAllChildObject(true);
  c.SelectAllChildObject(false);
  for (const auto& o : c.Objects) {
    EXPECT_FALSE(o.Selected);
    for (const auto& f : o.Fields) EXPECT_FALSE(f.Selected);
    for (const auto& i : o.Indexes) EXPECT_FALSE(i.Selected);
  }
  int node = 0;
  EXPECT_EQ(c.Objects[0].SelectAllChildObject(true, &node), &node);
  EXPECT_TRUE(c.Objects[0].Indexes[0].Selected);
  EXPECT_TRUE(c.Objects[0].Fields[0].Selected);

  c.DBKind = dkMySQL;
  c.ClearDBInfo();
  EXPECT_TRUE(c.Objects.empty());
  EXPECT_EQ(c.DBKind, dkNone);
  EXPECT_EQ(c.Connection, nullptr);
}

}  // namespace
