#include "job/source_tree.h"

#include <gtest/gtest.h>

#include "sqlgen/fixtures.h"

namespace {

using job::TCheckState;
using job::TSourceNode;
using job::TSourceNodeKind;
using job::TSourceTree;

std::vector<std::string> Texts(const TSourceNode& node) {
  std::vector<std::string> out;
  for (const auto& c : node.children) out.push_back(c.text);
  return out;
}

// Orders (a table with a key and a unique index), Empty (a table without indexes), a
// view, and two objects of types the job never migrates. Nothing is chosen yet.
std::unique_ptr<TCorvane> Catalogue(TDatabaseKind kind) {
  auto c = std::make_unique<TCorvane>();
  c->DBKind = kind;
  auto orders = MakeObject("Orders", kind);
  AddField(*orders, {"id", 3});
  AddField(*orders, {"name", 130, 106, 50});
  AddIndex(*orders, "PrimaryKey", {"id"}, true, true).IsClustered = true;
  AddIndex(*orders, "byName", {"name"}, false, true);
  AddIndex(*orders, "plain", {"name"}, false, false);
  c->Objects.Add(std::move(orders));
  auto empty = MakeObject("Empty", kind);
  AddField(*empty, {"note", 130, 234});
  c->Objects.Add(std::move(empty));
  auto view = MakeObject("Big Orders", kind, 1);
  AddField(*view, {"id", 3});
  c->Objects.Add(std::move(view));
  auto system = MakeObject("MSysObjects", kind, 1);
  system->TableType = "SYSTEM TABLE";
  AddField(*system, {"Id", 3});
  c->Objects.Add(std::move(system));
  auto lower = MakeObject("lower", kind, 1);
  lower->TableType = "table";
  c->Objects.Add(std::move(lower));
  for (auto& o : c->Objects) o.SelectAllChildObject(false);
  return c;
}

TEST(SourceTree, NoCatalogueBuildsNothing) {
  TSourceTree tree;
  EXPECT_FALSE(job::BuildSourceTree(nullptr, dkAccess, dkMySQL, tree));
  EXPECT_TRUE(tree.tables.children.empty());
  EXPECT_TRUE(tree.views.children.empty());
}

TEST(SourceTree, EmptyCatalogueGivesTheTwoRootsOnly) {
  TCorvane c;
  TSourceTree tree;
  EXPECT_TRUE(job::BuildSourceTree(&c, dkAccess, dkAccess, tree));
  EXPECT_EQ(tree.tables.text, "TABLES");
  EXPECT_EQ(tree.views.text, "VIEWS");
  EXPECT_EQ(tree.tables.level(), 0);
  EXPECT_TRUE(tree.tables.children.empty());
  EXPECT_TRUE(tree.views.children.empty());
}

TEST(SourceTree, OnlyTablesAndViewsAreShownAndChosen) {
  for (auto dest : {dkAccess, dkMySQL}) {
    auto c = Catalogue(dkAccess);
    TSourceTree tree;
    ASSERT_TRUE(job::BuildSourceTree(c.get(), dkAccess, dest, tree));
    for (const auto& o : c->Objects) {
      const bool migrated = o.TableType == "TABLE" || o.TableType == "VIEW";
      EXPECT_EQ(o.Selected, migrated) << o.ObjectName;
      for (const auto& f : o.Fields) EXPECT_EQ(f.Selected, migrated) << o.ObjectName;
    }
  }
}

TEST(SourceTree, AcrossKindsEveryObjectIsATableWithFieldsAndIndexes) {
  auto c = Catalogue(dkAccess);
  TSourceTree tree;
  ASSERT_TRUE(job::BuildSourceTree(c.get(), dkAccess, dkMySQL, tree));
  EXPECT_EQ(Texts(tree.tables), (std::vector<std::string>{"Orders", "Empty", "Big Orders"}));
  EXPECT_TRUE(tree.views.children.empty());
  for (const auto& object : tree.tables.children) {
    EXPECT_EQ(object.kind, TSourceNodeKind::Object);
    EXPECT_EQ(Texts(object), (std::vector<std::string>{"Fields", "Indexes"})) << object.text;
  }
  const TSourceNode& orders = tree.tables.children[0];
  EXPECT_EQ(Texts(orders.children[0]), (std::vector<std::string>{"id INT", "name TEXT(50)"}));
  EXPECT_EQ(Texts(orders.children[1]),
            (std::vector<std::string>{"PrimaryKey (PRIMARY KEY, UNIQUE, CLUSTERED)",
                                      "byName (UNIQUE)", "plain "}));
  EXPECT_EQ(orders.children[1].children[0].index, &c->Objects[0].Indexes[0]);
  EXPECT_EQ(orders.children[0].children[1].field, &c->Objects[0].Fields[1]);
  EXPECT_EQ(orders.children[0].children[1].level(), 3);
  EXPECT_TRUE(tree.tables.children[1].children[1].children.empty());  // Empty has no index
  EXPECT_TRUE(tree.tables.children[2].children[1].children.empty());  // nor the view
}

TEST(SourceTree, BetweenEqualKindsViewsStandAloneAndIndexlessTablesHaveNoIndexesNode) {
  auto c = Catalogue(dkAccess);
  TSourceTree tree;
  ASSERT_TRUE(job::BuildSourceTree(c.get(), dkAccess, dkAccess, tree));
  EXPECT_EQ(Texts(tree.tables), (std::vector<std::string>{"Orders", "Empty"}));
  EXPECT_EQ(Texts(tree.tables.children[0]), (std::vector<std::string>{"Fields", "Indexes"}));
  EXPECT_EQ(Texts(tree.tables.children[1]), (std::vector<std::string>{"Fields"}));
  ASSERT_EQ(Texts(tree.views), (std::vector<std::string>{"Big Orders"}));
  EXPECT_TRUE(tree.views.children[0].children.empty());
  EXPECT_TRUE(c->Objects[2].Selected);
  EXPECT_TRUE(c->Objects[2].Fields[0].Selected);
}

TEST(SourceTree, IndexFlagsText) {
  const struct {
    bool primary, unique, clustered;
    const char* text;
  } cases[] = {
      {false, false, false, ""},
      {false, true, false, "(UNIQUE)"},
      {true, false, false, "(PRIMARY KEY)"},
      {false, false, true, "(CLUSTERED)"},
      {true, false, true, "(PRIMARY KEY, CLUSTERED)"},
      {true, true, true, "(PRIMARY KEY, UNIQUE, CLUSTERED)"},
  };
  for (const auto& k : cases) {
    TCorvaneIndex i;
    i.IsPrimaryKey = k.primary;
    i.IsUnique = k.unique;
    i.IsClustered = k.clustered;
    EXPECT_EQ(job::IndexFlagsText(i), k.text);
  }
}

TEST(SourceTree, StateChangesChooseWholeObjectsAndRefuseLeavingPartsOut) {
  auto c = Catalogue(dkAccess);
  TSourceTree tree;
  ASSERT_TRUE(job::BuildSourceTree(c.get(), dkAccess, dkMySQL, tree));
  TCorvaneObject& orders = c->Objects[0];
  const TSourceNode& ordersNode = tree.tables.children[0];
  const TSourceNode& fieldsNode = ordersNode.children[0];
  const TSourceNode& fieldNode = fieldsNode.children[0];
  const TSourceNode& indexNode = ordersNode.children[1].children[0];

  // A field, an index or their group nodes cannot be unchecked; nothing changes.
  for (const TSourceNode* n : {&fieldsNode, &fieldNode, &ordersNode.children[1], &indexNode}) {
    EXPECT_FALSE(job::SourceStateChanging(*n, TCheckState::Unchecked)) << n->text;
    EXPECT_TRUE(job::SourceStateChanging(*n, TCheckState::Checked)) << n->text;
    EXPECT_TRUE(job::SourceStateChanging(*n, TCheckState::Partial)) << n->text;
  }
  EXPECT_TRUE(orders.Selected);
  EXPECT_TRUE(orders.Fields[0].Selected);

  EXPECT_TRUE(job::SourceStateChanging(ordersNode, TCheckState::Unchecked));
  EXPECT_FALSE(orders.Selected);
  EXPECT_FALSE(orders.Fields[1].Selected);
  EXPECT_FALSE(orders.Indexes[0].Selected);
  EXPECT_TRUE(c->Objects[1].Selected);
  EXPECT_TRUE(job::SourceStateChanging(ordersNode, TCheckState::Checked));
  EXPECT_TRUE(orders.Selected && orders.Indexes[2].Selected);

  EXPECT_TRUE(job::SourceStateChanging(tree.tables, TCheckState::Unchecked));
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(c->Objects[i].Selected) << i;
  EXPECT_TRUE(job::SourceStateChanging(tree.tables, TCheckState::Partial));
  EXPECT_FALSE(c->Objects[0].Selected);
  EXPECT_TRUE(job::SourceStateChanging(tree.tables, TCheckState::Checked));
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(c->Objects[i].Selected) << i;
  EXPECT_FALSE(c->Objects[3].Selected);  // never shown, so never chosen by a root
}

}  // namespace
