#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ado/variant_print.h"
#include "platform/ado/connection.h"
#include "platform/ado/jet/jet_session.h"
#include "support/test_server.h"

using ado::Variant;

namespace {

std::string AccessFile() {
  return TestDataDir() + "/testodbc.mdb";
}

std::string JetConnectionString(const std::string& file) {
  return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + file + ";Persist Security Info=False;";
}

class JetFile : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(std::filesystem::exists(AccessFile()))
        << AccessFile() << " is missing: run with ctest";
    db.setConnectionString(JetConnectionString(AccessFile()));
    db.open();
  }
  ado::Connection db;
};

// What mdb-export prints for the table.
const std::vector<std::vector<Variant>> kFPdev{
    {1, "Michael Van Canneyt", "Michael@tfdec1.fys.kuleuven.ac.be"},
    {2, "Florian Klaempfl", "ba2395@fen.baynet.de"},
    {3, "Carl-Eric Codere", "codc01@gel.usherb.ca"},
    {4, "Daniel Mantione", "d.s.p.mantione@twi.tudelft.nl"},
    {5, "Pierre Muller", "muller@europe.u-strasbg.fr"},
    {7, "Peter Vreman", "pfv@worldonline.nl"},
    {8, "Gerry Dubois", "gerry@webworks.ml.org"},
    {6, "Jonas Maebe", "jmaebe@mail.dma.be"},
};

TEST_F(JetFile, SelectAllReadsEveryRowWithItsCountKnown) {
  for (const char* sql : {"SELECT * FROM FPdev", "select * from [FPdev];",
                          "SELECT * FROM `fpdev` ;", "  SELECT  *  FROM  FPdev  "}) {
    auto q = db.openQuery(sql);
    EXPECT_EQ(q->recordCount(), 8) << sql;
    ASSERT_EQ(q->fieldCount(), 3);
    EXPECT_EQ(q->fieldName(0), "id");
    EXPECT_EQ(q->fieldName(1), "UserName");
    EXPECT_EQ(q->fieldName(2), "InstEmail");
    std::vector<std::vector<Variant>> rows;
    for (q->first(); !q->eof(); q->next()) rows.push_back({q->value(0), q->value(1), q->value(2)});
    EXPECT_EQ(rows, kFPdev) << sql;
  }
}

TEST_F(JetFile, SchemaRowsetsDescribeTheFile) {
  auto tables = db.openSchema(ado::SchemaRowset::Tables);
  std::vector<std::pair<std::string, std::string>> listed;
  for (; !tables->eof(); tables->next())
    listed.emplace_back(ado::VariantToText(tables->value("TABLE_NAME")),
                        ado::VariantToText(tables->value("TABLE_TYPE")));
  ASSERT_FALSE(listed.empty());
  EXPECT_EQ(listed.back(), (std::pair<std::string, std::string>{"FPdev", "TABLE"}));
  for (std::size_t i = 0; i + 1 < listed.size(); ++i) {
    EXPECT_EQ(listed[i].first.rfind("MSys", 0), 0u) << listed[i].first;
    EXPECT_EQ(listed[i].second, "SYSTEM TABLE");
  }

  // Access 97 keeps a text column's size in characters: mdb-schema says Text (255).
  struct Column {
    std::string name;
    int dataType, flags, length;
  };
  const std::vector<Column> expected{
      {"id", 3, 122, 0}, {"UserName", 130, 106, 255}, {"InstEmail", 130, 106, 255}};
  auto columns = db.openSchema(ado::SchemaRowset::Columns, {Variant(), Variant(), "FPdev"});
  std::vector<Column> got;
  for (; !columns->eof(); columns->next()) {
    const Variant& length = columns->value("CHARACTER_MAXIMUM_LENGTH");
    got.push_back({ado::VariantToText(columns->value("COLUMN_NAME")),
                   static_cast<int>(columns->value("DATA_TYPE").toInt()),
                   static_cast<int>(columns->value("COLUMN_FLAGS").toInt()),
                   length.isNull() ? 0 : static_cast<int>(length.toInt())});
  }
  ASSERT_EQ(got.size(), expected.size());
  for (std::size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].name, expected[i].name);
    EXPECT_EQ(got[i].dataType, expected[i].dataType) << got[i].name;
    EXPECT_EQ(got[i].flags, expected[i].flags) << got[i].name;
    EXPECT_EQ(got[i].length, expected[i].length) << got[i].name;
  }

  auto indexes = db.openSchema(ado::SchemaRowset::Indexes,
                               {Variant(), Variant(), Variant(), Variant(), "FPdev"});
  ASSERT_EQ(indexes->recordCount(), 1);
  EXPECT_EQ(indexes->value("INDEX_NAME"), Variant("PK_FPDEV"));
  EXPECT_EQ(indexes->value("PRIMARY_KEY"), Variant(true));
  EXPECT_EQ(indexes->value("UNIQUE"), Variant(true));
  EXPECT_EQ(indexes->value("COLUMN_NAME"), Variant("id"));

  // A three-column index keeps its columns in order.
  auto multi = db.openSchema(ado::SchemaRowset::Indexes,
                             {Variant(), Variant(), "ObjectIdAttribute", Variant(), "MSysQueries"});
  std::vector<std::string> order;
  for (; !multi->eof(); multi->next())
    order.push_back(ado::VariantToText(multi->value("COLUMN_NAME")));
  EXPECT_EQ(order, (std::vector<std::string>{"ObjectId", "Attribute", "Order"}));
  EXPECT_TRUE(db.openSchema(ado::SchemaRowset::Tables, {Variant(), "dbo"})->eof());
}

TEST_F(JetFile, EveryWriteFailsNamingTheFile) {
  auto expectReadOnly = [&](auto&& write) {
    try {
      write();
      ADD_FAILURE() << "a write succeeded";
    } catch (const ado::DatabaseError& e) {
      const std::string text = e.what();
      EXPECT_NE(text.find(AccessFile()), std::string::npos) << text;
      EXPECT_NE(text.find("read-only"), std::string::npos) << text;
    }
  };
  expectReadOnly([&] { db.execute("DROP TABLE FPdev;"); });
  expectReadOnly([&] { db.execute("CREATE TABLE x (a INT)"); });
  expectReadOnly([&] { db.openTable("FPdev"); });
  EXPECT_EQ(db.openQuery("SELECT * FROM FPdev")->recordCount(), 8);  // nothing was changed
}

TEST_F(JetFile, OtherQueriesFailWithAClearMessage) {
  struct Case {
    const char* sql;
    const char* expected;
  } cases[] = {
      {"SELECT id FROM FPdev", "SELECT * FROM name"},
      {"SELECT * FROM FPdev WHERE id = 1", "SELECT * FROM name"},
      {"SELECT * FROM FPdev, MSysObjects", "SELECT * FROM name"},
      {"DELETE FROM FPdev", "SELECT * FROM name"},
      {"SELECT * FROM [FPdev", "SELECT * FROM name"},
      {"SELECT * FROM NoSuchTable", "cannot find the input table or query 'NoSuchTable'"},
  };
  for (const Case& c : cases) {
    try {
      db.openQuery(c.sql);
      ADD_FAILURE() << c.sql;
    } catch (const ado::DatabaseError& e) {
      EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos)
          << c.sql << " -> " << e.what();
    }
  }
}

TEST(JetOpen, BadFilesFailWithAClearMessage) {
  namespace fs = std::filesystem;
  ASSERT_TRUE(fs::exists(AccessFile()));
  const fs::path dir = fs::path(TestDataDir()) / ("jet_bad_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::string whole;
  {
    std::ifstream in(AccessFile(), std::ios::binary);
    whole.assign(std::istreambuf_iterator<char>(in), {});
  }
  auto write = [&](const char* name, const std::string& bytes) {
    std::ofstream(dir / name, std::ios::binary) << bytes;
    return (dir / name).string();
  };
  struct Case {
    std::string path;
    std::string expected;
  } cases[] = {
      {(dir / "missing.mdb").string(), "Could not find file"},
      {write("empty.mdb", ""), "Unrecognized database format"},
      {write("text.mdb", "id,name\n1,x\n"), "Unrecognized database format"},
      {write("header.mdb", whole.substr(0, 3000)), "truncated or damaged"},
      {write("catalogue.mdb", whole.substr(0, 6144)), "damaged"},
      {dir.string(), "is not an Access file"},
  };
  for (const Case& c : cases) {
    ado::Connection cn(JetConnectionString(c.path));
    try {
      cn.open();
      ADD_FAILURE() << "opened " << c.path;
    } catch (const ado::DatabaseError& e) {
      EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos)
          << c.path << " -> " << e.what();
      EXPECT_NE(std::string(e.what()).find(c.path), std::string::npos) << e.what();
    }
  }
  // Cut anywhere, or with a page of the catalogue's or the table's rows damaged: opening
  // or reading fails naming the file, or reads the whole table; it never crashes and never
  // reads a table short or a row as nulls. In this file page 18 holds the catalogue's
  // rows and page 39 those of FPdev, its rows in the second half.
  const std::size_t page = 2048;
  auto damaged = [&](std::size_t at, std::size_t n, char fill) {
    std::string bytes = whole;
    bytes.replace(at, n, n, fill);
    return bytes;
  };
  std::vector<std::pair<std::string, std::string>> copies;  // label, bytes
  for (std::size_t n = 6144; n < whole.size(); n += page / 2)
    copies.emplace_back("cut at " + std::to_string(n), whole.substr(0, n));
  copies.emplace_back("cut inside the last page", whole.substr(0, whole.size() - 100));
  for (std::size_t pg : {std::size_t{18}, std::size_t{39}}) {
    copies.emplace_back("page " + std::to_string(pg) + " zeroed", damaged(pg * page, page, '\0'));
    copies.emplace_back("page " + std::to_string(pg) + " overwritten",
                        damaged(pg * page, page, '\x5a'));
  }
  copies.emplace_back("rows of FPdev zeroed", damaged(39 * page + page / 2, page / 2, '\0'));
  for (const auto& [label, bytes] : copies) {
    const std::string path = write("damaged.mdb", bytes);
    try {
      ado::Connection cn(JetConnectionString(path));
      cn.open();
      auto q = cn.openQuery("SELECT * FROM FPdev");
      std::vector<std::vector<Variant>> rows;
      for (; !q->eof(); q->next()) rows.push_back({q->value(0), q->value(1), q->value(2)});
      EXPECT_EQ(rows, kFPdev) << label;
    } catch (const ado::DatabaseError& e) {
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << label << ": " << e.what();
    }
  }
  fs::remove_all(dir);
}

TEST(JetQueryText, SelectAllNamesItsTable) {
  struct Case {
    const char* sql;
    const char* table;
  } cases[] = {
      {"SELECT * FROM Orders", "Orders"}, {"SELECT * FROM [Order Details];", "Order Details"},
      {"SELECT * FROM `a``b`", "a`b"},    {"select*from [x]", "x"},
      {"SELECT * FROM [a]]b]", "a]b"},
  };
  for (const Case& c : cases) EXPECT_EQ(ado::jet::TableOfSelectAll(c.sql), c.table) << c.sql;
  for (const char* bad :
       {"SELECT * FROM", "SELECT * FROM a b", "SELECT *, x FROM a", "SELECTED * FROM a", ""})
    EXPECT_THROW(ado::jet::TableOfSelectAll(bad), ado::DatabaseError) << bad;
}

}  // namespace
