#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "catalog/corvane.h"
#include "platform/ado/connection.h"
#include "platform/ui/messages.h"
#include "support/test_server.h"

namespace {

TEST(LoadAccess, TestFileGivesItsTableAndSystemTables) {
  const std::string file = TestDataDir() + "/testodbc.mdb";
  ASSERT_TRUE(std::filesystem::exists(file)) << file << " is missing: run with ctest";
  ui::RecordingMessages messages;
  ui::ScopedMessages scope(messages);
  ado::Connection cn("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + file +
                     ";Persist Security Info=False;");
  TCorvane catalogue;
  catalogue.SetDBKind(dkAccess);
  catalogue.SetConnection(&cn);
  ASSERT_TRUE(catalogue.LoadDBInfo());  // opens the connection itself
  EXPECT_TRUE(messages.entries.empty());
  EXPECT_EQ(catalogue.TableCount(), 1);
  const TCorvaneObject* fpdev = nullptr;
  int system = 0;
  for (const auto& o : catalogue.Objects) {
    if (o.ObjectName == "FPdev") {
      fpdev = &o;
      continue;
    }
    EXPECT_EQ(o.ObjectName.rfind("MSys", 0), 0u) << o.ObjectName;
    EXPECT_EQ(o.ObjectKind, 1) << o.ObjectName;
    EXPECT_EQ(o.TableType, "SYSTEM TABLE");
    EXPECT_FALSE(o.Fields.empty()) << o.ObjectName;
    ++system;
  }
  EXPECT_EQ(system, 6);
  EXPECT_EQ(catalogue.ViewCount(), 6);
  ASSERT_NE(fpdev, nullptr);
  EXPECT_EQ(fpdev->ObjectKind, 0);
  EXPECT_EQ(fpdev->SchemaName, "");
  EXPECT_EQ(fpdev->ViewDefinition, "");
  ASSERT_EQ(fpdev->Fields.size(), 3u);
  EXPECT_EQ(fpdev->Fields[0].FieldName, "id");
  EXPECT_EQ(fpdev->Fields[0].DataType, 3);
  EXPECT_EQ(fpdev->Fields[1].FieldName, "UserName");
  EXPECT_EQ(fpdev->Fields[1].DataType, 130);
  EXPECT_EQ(fpdev->Fields[1].ColumnFlags, 106);
  EXPECT_EQ(fpdev->Fields[1].CharMaxLength, 255);
  EXPECT_EQ(fpdev->Fields[2].DBKind, dkAccess);
  ASSERT_EQ(fpdev->Indexes.size(), 1u);
  EXPECT_EQ(fpdev->Indexes[0].IndexName, "PK_FPDEV");
  EXPECT_TRUE(fpdev->Indexes[0].IsPrimaryKey);
  EXPECT_TRUE(fpdev->Indexes[0].IsUnique);
  EXPECT_EQ(fpdev->Indexes[0].Columns, std::vector<std::string>{"id"});
}

TEST(LoadAccess, MissingFileShowsCannotConnect) {
  ui::RecordingMessages messages;
  ui::ScopedMessages scope(messages);
  ado::Connection cn(
      "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/nonexistent/x.mdb;Persist Security "
      "Info=False;");
  TCorvane catalogue;
  catalogue.SetDBKind(dkAccess);
  catalogue.SetConnection(&cn);
  EXPECT_FALSE(catalogue.LoadDBInfo());
  ASSERT_EQ(messages.entries.size(), 1u);
  EXPECT_EQ(messages.entries[0].kind, ui::MessageKind::Error);
  EXPECT_EQ(messages.entries[0].text,
            "Cannot connect to database.\r\nCould not find file '/nonexistent/x.mdb'.");
}

}  // namespace
