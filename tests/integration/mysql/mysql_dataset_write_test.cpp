// Writing through the MySQL datasets against the private MariaDB server: the statements
// posting sends (recorded by the driver), and what the server holds afterwards, read
// through a connection of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "integration/mysql/recording_driver.h"
#include "mysql/components/mysql_dataset.h"
#include "mysql/driver/direct.h"
#include "support/test_server.h"

namespace {

using Row = std::vector<std::optional<std::string>>;
using Strings = std::vector<std::string>;

// A connection of its own, to see what the server holds.
class Checker {
 public:
  Checker() {
    const TestServer& s = TestServer::Get();
    handle_ = driver_.Connect(s.host, s.user, s.password, std::uint32_t(s.port), 0x2600, "");
  }
  ~Checker() { driver_.Close(handle_); }
  void Exec(const std::string& sql) {
    mysql::TMySQLResult r = driver_.Query(handle_, sql);
    if (r) driver_.FreeResult(r);
  }
  std::vector<Row> Rows(const std::string& sql) {
    std::vector<Row> out;
    mysql::TMySQLResult r = driver_.Query(handle_, sql);
    const std::uint32_t n = driver_.NumFields(r);
    while (mysql::TMySQLRow row = driver_.FetchRow(r)) {
      const unsigned long* len = driver_.FetchLengths(r);
      Row values;
      for (std::uint32_t i = 0; i < n; ++i)
        values.push_back(row[i] ? std::optional<std::string>(std::string(row[i], len[i])) : std::nullopt);
      out.push_back(std::move(values));
    }
    driver_.FreeResult(r);
    return out;
  }

 private:
  mysql::TMySQLDirect driver_;
  mysql::TMySQLHandle handle_ = nullptr;
};

Row R(std::initializer_list<const char*> values) {
  Row row;
  for (const char* v : values) row.push_back(v ? std::optional<std::string>(v) : std::nullopt);
  return row;
}

// Each test has a database of its own ("qm_dsw" in its statements stands for it), so
// the tests can run side by side.
class DatasetWrite : public ::testing::Test {
 protected:
  void SetUp() override {
    db = "qm_dsw_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::transform(db.begin(), db.end(), db.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    Exec("drop database if exists qm_dsw");
    Exec("create database qm_dsw character set utf8mb4");
    Connect(0);
  }
  void TearDown() override { Exec("drop database if exists qm_dsw"); }

  std::string Db(std::string text) const {
    for (std::size_t at = 0; (at = text.find("qm_dsw", at)) != std::string::npos; at += db.size())
      text.replace(at, 6, db);
    return text;
  }
  void Exec(const std::string& sql) { check.Exec(Db(sql)); }
  std::vector<Row> Rows(const std::string& sql) { return check.Rows(Db(sql)); }

  // (Re)connects the component, its driver claiming `version` (0: the real one).
  void Connect(std::uint32_t version) {
    server.Close();
    auto d = std::make_unique<TRecordingDriver>();
    driver = d.get();
    driver->claimedServerVersion = version;
    server.SetDriverProperties(std::move(d));
    const TestServer& s = TestServer::Get();
    server.SetHost(s.host);
    server.SetPort(std::uint16_t(s.port));
    server.SetUserName(s.user);
    server.SetPassword(s.password);
    server.SetDatabaseName(db);
    server.Open();
  }

  // The write statements sent since the last call.
  Strings Writes() {
    Strings out;
    for (const std::string& q : driver->queries)
      for (const char* w : {"update ", "insert ", "delete ", "start transaction", "commit", "rollback"})
        if (q.starts_with(w)) {
          out.push_back(q);
          break;
        }
    driver->queries.clear();
    return out;
  }

  void Open(TMySQLDatasetBase& ds, const std::string& table = {}) {
    ds.SetServer(&server);
    if (!table.empty()) ds.SetTableName(table);
    ds.Open();
    driver->queries.clear();
  }

  std::string db;
  Checker check;
  TMySQLServer server;
  TRecordingDriver* driver = nullptr;
};

// The posting statements of the edge cases, exactly, and the rows they leave.
TEST_F(DatasetWrite, EditKeyEditAndLiterals) {
  Exec("create table qm_dsw.t1 (a int primary key, b varchar(20), g blob, n int) engine=InnoDB");
  Exec("insert into qm_dsw.t1 values (1, 'x', null, 5)");
  TMySQLTable t;
  Open(t, "t1");
  t.Edit();
  t.FieldByName("b").SetAsString("it's \\");
  t.Post();
  EXPECT_EQ(Writes(), Strings{"update t1 set t1.b='it\\'s \\\\' where (t1.a=1)"});

  // The key itself: the condition takes the old key from the edit copy.
  t.Edit();
  t.FieldByName("a").SetAsInteger(2);
  t.FieldByName("g").SetAsString(std::string("\x01\xAB"));
  t.FieldByName("n").Clear();
  t.Post();
  EXPECT_EQ(Writes(), Strings{"update t1 set t1.a=2,t1.g=0x01AB,t1.n=NULL where (t1.a=1)"});
  EXPECT_EQ(Rows("select a, b, hex(g), n from qm_dsw.t1"), (std::vector<Row>{R({"2", "it's \\", "01AB", nullptr})}));

  // Insert and delete through the default templates.
  t.Append();
  t.FieldByName("a").SetAsInteger(3);
  t.FieldByName("b").SetAsString("");
  t.Post();
  EXPECT_EQ(Writes(), Strings{"insert into t1 set t1.a=3,t1.b=''"});
  EXPECT_EQ(t.FieldByName("a").AsInteger(), 3);
  EXPECT_FALSE(t.FieldByName("b").IsNull()) << "an empty text stays a text";
  t.Delete();
  EXPECT_EQ(Writes(), Strings{"delete from t1 where (t1.a=3)"});
  EXPECT_EQ(Rows("select a from qm_dsw.t1"), (std::vector<Row>{R({"2"})}));
  EXPECT_EQ(t.RecordCount(), 1);
}

// OnExecSQL sees each write statement: it may change it, or skip it (which counts as done).
TEST_F(DatasetWrite, OnExecSQLChangesOrSkips) {
  Exec("create table qm_dsw.t1 (a int primary key, b varchar(20))");
  Exec("insert into qm_dsw.t1 values (1, 'x')");
  TMySQLTable t;
  Open(t, "t1");
  t.OnExecSQL = [](TMySQLDatasetBase&, std::string& statement, bool& go) {
    if (statement.starts_with("delete")) go = false;
    if (statement.starts_with("update")) statement += " limit 1";
  };
  t.Edit();
  t.FieldByName("b").SetAsString("y");
  t.Post();
  EXPECT_EQ(Writes(), Strings{"update t1 set t1.b='y' where (t1.a=1) limit 1"});
  t.Delete();
  EXPECT_TRUE(Writes().empty());
  EXPECT_EQ(t.RecordCount(), 0);
  EXPECT_EQ(Rows("select a, b from qm_dsw.t1"), (std::vector<Row>{R({"1", "y"})}));
}

// A result read as navigation goes runs on the dataset's own handle; a post drains it and
// reads the rows again.
TEST_F(DatasetWrite, PostsOnAnIncrementalResultReadAgain) {
  Exec("create table qm_dsw.t1 (a int primary key, b varchar(20))");
  Exec("insert into qm_dsw.t1 values (1, 'x'), (2, 'y'), (3, 'z')");
  TMySQLDataset q;
  q.SetResultType(rtIncremental);
  q.SetSQLText("select * from t1 order by a");
  Open(q);
  q.Next();
  q.Edit();
  q.FieldByName("b").SetAsString("y2");
  q.Post();
  EXPECT_EQ(Writes(), Strings{"update t1 set t1.b='y2' where (t1.a=2)"});
  EXPECT_EQ(q.FieldByName("b").AsString(), "y2");
  q.Last();
  EXPECT_EQ(q.FieldByName("a").AsInteger(), 3);
  q.Append();
  q.FieldByName("a").SetAsInteger(4);
  q.Post();
  q.Last();
  EXPECT_EQ(q.FieldByName("a").AsInteger(), 4);
  EXPECT_EQ(Rows("select b from qm_dsw.t1 where a = 2"), (std::vector<Row>{R({"y2"})}));
}

// Without a key every exact column identifies the row; a NULL one with IS NULL, so the
// row is really found.
TEST_F(DatasetWrite, NoKeyRowsWithNullAreFound) {
  Exec("create table qm_dsw.t2 (i int, s varchar(10), f double, m text, g blob)");
  Exec("insert into qm_dsw.t2 values (1, null, 1.5, 'm', 'g'), (1, 'y', 2.5, 'm', 'g')");
  TMySQLTable t;
  Open(t, "t2");
  t.Edit();
  t.FieldByName("i").SetAsInteger(7);
  t.Post();
  EXPECT_EQ(Writes(), Strings{"update t2 set t2.i=7 where (t2.i=1) AND (t2.s IS NULL)"});
  EXPECT_EQ(Rows("select i from qm_dsw.t2 where s is null"), (std::vector<Row>{R({"7"})}));
  t.Delete();
  EXPECT_EQ(Writes(), Strings{"delete from t2 where (t2.i=7) AND (t2.s IS NULL)"});
  EXPECT_EQ(Rows("select i, s from qm_dsw.t2"), (std::vector<Row>{R({"1", "y"})}));
}

TEST_F(DatasetWrite, FilterMergeAndMacros) {
  Exec("create table qm_dsw.t1 (a int primary key, b varchar(20))");
  Exec("insert into qm_dsw.t1 values (1, 'x'), (2, 'y'), (3, 'z')");
  TMySQLTable t;
  t.SetFilter("(1=0)");
  t.SetFilteredValue(true);
  t.SetServer(&server);
  t.SetTableName("t1");
  t.Open();
  ASSERT_FALSE(driver->queries.empty());
  EXPECT_TRUE(driver->queries.front().ends_with(" where ((1=0))")) << driver->queries.front();
  EXPECT_EQ(t.RecordCount(), 0);
  t.Close();

  // On a WHERE of its own, the filter comes first and the old condition keeps its OR.
  TMySQLDataset q;
  q.SetSQLText("select * from t1 where a = :lo or a = 3 [ORDER]");
  q.SetFilter("(b<>'z')");
  q.SetFilteredValue(true);
  q.Macros().ParamByName("lo").SetAsInteger(1);
  q.Macros().ParamByName("ORDER").SetAsString("order by a desc");
  driver->queries.clear();
  Open(q);
  EXPECT_EQ(q.LastStatement(), "select * from t1 where ((b<>'z')) and (a = 1 or a = 3) order by a desc");
  EXPECT_EQ(q.RecordCount(), 1);
  q.Close();

  // OnMacro answers first; an unset macro of the read template expands to nothing.
  q.SetFilteredValue(false);
  q.OnMacro = [](TMySQLDatasetBase&, const std::string& name, bool& useDefault, std::string& result) {
    if (name == "lo") {
      useDefault = false;
      result = "2";
    }
  };
  q.Macros().ParamByName("ORDER").Clear();
  Open(q);
  EXPECT_EQ(q.LastStatement(), "select * from t1 where a = 2 or a = 3 ");
  EXPECT_EQ(q.RecordCount(), 2);
}

TEST_F(DatasetWrite, CachedUpdatesAreSentAtRefreshAndClose) {
  Exec("create table qm_dsw.t1 (a int primary key, b varchar(20))");
  Exec("insert into qm_dsw.t1 values (1, 'x')");
  TMySQLTable t;
  Open(t, "t1");
  t.SetCachedUpdates(true);
  t.Edit();
  t.FieldByName("b").SetAsString("y");
  t.Post();
  t.Append();
  t.FieldByName("a").SetAsInteger(2);
  t.Post();
  EXPECT_TRUE(Writes().empty());
  EXPECT_EQ(t.SQLCached().Lines(), (Strings{"update t1 set t1.b='y' where (t1.a=1);", "insert into t1 set t1.a=2;"}));
  t.Refresh();
  EXPECT_EQ(Writes(), (Strings{"update t1 set t1.b='y' where (t1.a=1);", "insert into t1 set t1.a=2;"}));
  EXPECT_TRUE(t.SQLCached().Empty());
  t.Delete();
  EXPECT_TRUE(Writes().empty());
  t.Close();
  EXPECT_EQ(Writes(), Strings{"delete from t1 where (t1.a=2);"});
  EXPECT_EQ(Rows("select a, b from qm_dsw.t1"), (std::vector<Row>{R({"1", "y"})}));
}

// A postponed statement that fails stays postponed, with the ones after it.
TEST_F(DatasetWrite, FailedPostponedStatementsStay) {
  Exec("create table qm_dsw.t1 (a int primary key, b varchar(20))");
  Exec("insert into qm_dsw.t1 values (1, 'x')");
  TMySQLTable t;
  Open(t, "t1");
  t.SetCachedUpdates(true);
  t.SetSQLCached(mysql::TSBStringList("update nosuch set a=1;\r\nupdate t1 set b='z';"));
  EXPECT_THROW(t.Refresh(), mysql::EMySQLError);
  EXPECT_EQ(t.SQLCached().Lines(), (Strings{"update nosuch set a=1;", "update t1 set b='z';"}));
  t.SetSQLCached({});
}

TEST_F(DatasetWrite, TransactionsByServerVersion) {
  Exec("create table qm_dsw.t1 (a int primary key, b varchar(20)) engine=InnoDB");
  Exec("insert into qm_dsw.t1 values (1, 'x')");
  struct Case {
    std::uint32_t version;
    Strings writes;
  } cases[] = {
      {40010, {"update t1 set t1.b='v' where (t1.a=1)"}},
      {40011, {"start transaction;", "update t1 set t1.b='v' where (t1.a=1)", "commit;"}},
  };
  for (const Case& c : cases) {
    Connect(c.version);
    TMySQLTable t;
    t.SetOptions(t.Options() + doTransactions);
    Open(t, "t1");
    t.Edit();
    t.FieldByName("b").SetAsString("v");
    t.Post();
    EXPECT_EQ(Writes(), c.writes) << c.version;
    EXPECT_FALSE(t.PSInTransaction());
  }
}

// A failing statement of a post rolls back what the post had done, and the exception
// reaches the caller; a cancel then shows the row as the server holds it.
TEST_F(DatasetWrite, FailedPostRollsBack) {
  Exec("create table qm_dsw.t1 (a int primary key, b varchar(20)) engine=InnoDB");
  Exec("create table qm_dsw.log (n int) engine=InnoDB");
  Exec("insert into qm_dsw.t1 values (1, 'x')");
  TMySQLTable t;
  t.SetOptions(t.Options() + doTransactions);
  t.SetSQLUpdate(mysql::TSBStringList("insert into log values (1);\r\n"
                                      "update [$TABLENAME] set [$MODIFIED$FIELDS&VALUES] where [$PRIMARYFIELDS&VALUES];"));
  Open(t, "t1");
  driver->failQueriesContaining = "update t1";
  t.Edit();
  t.FieldByName("b").SetAsString("new");
  EXPECT_THROW(t.Post(), mysql::EMySQLError);
  EXPECT_EQ(Writes(), (Strings{"start transaction;", "insert into log values (1);",
                               "update t1 set t1.b='new' where (t1.a=1);", "rollback;"}));
  EXPECT_EQ(t.State(), dsEdit);
  EXPECT_FALSE(t.PSInTransaction());
  EXPECT_TRUE(Rows("select n from qm_dsw.log").empty()) << "the insert was rolled back";
  t.Cancel();
  EXPECT_EQ(t.FieldByName("b").AsString(), "x");
  driver->failQueriesContaining.clear();
}

// Every column type with awkward values: read as the server sent them, then copied row
// by row through field writes and blob streams, inserted and deleted; the server's rows
// compared through another connection.
TEST_F(DatasetWrite, RoundTripEveryType) {
  Exec(
      "create table qm_dsw.every (id int not null auto_increment primary key,"
      " ti tinyint, si smallint, mi mediumint, i int, iu int unsigned, bi bigint, bu bigint unsigned,"
      " fl float, db double, de decimal(20,6), dt date, tm time(3), dtm datetime(6), yr year,"
      " c char(10), vc varchar(100), vb varbinary(20), bn binary(4), tt tinytext, tx text,"
      " mt mediumtext, bl blob, lb longblob, b1 bit(1), b8 bit(8), b64 bit(64),"
      " e enum('a','b c','d''e'), st set('x','y','z')) engine=InnoDB charset=utf8mb4");
  const std::string columns =
      "ti, si, mi, i, iu, bi, bu, fl, db, de, dt, tm, dtm, yr, c, vc, vb, bn, tt, tx, mt, bl, lb, b1, b8, b64, e, st";
  Exec("insert into qm_dsw.every (" + columns +
             ") values "
             "(null, null, null, null, null, null, null, null, null, null, null, null, null, null, null, null,"
             " null, null, null, null, null, null, null, null, null, null, null, null),"
             "(-128, -32768, -8388608, -2147483648, 4294967295, -9223372036854775808, 18446744073709551615,"
             " 1.5, -0.1, -12345678.125, '1000-01-01', '23:59:59.999', '2024-02-29 23:59:59.999999', 1901,"
             " '', '', '', '', '', '', '', '', '', b'0', b'10000001', b'1111111111111111111111111111111111111111111111111111111111111111',"
             " 'b c', ''),"
             "(127, 32767, 8388607, 2147483647, 0, 9223372036854775807, 0, -3.25, 1e-300, 0.000001,"
             " '9999-12-31', '00:00:00.001', '1970-01-01 00:00:01', 2155, '  ', '   ', 0x00, 0x00ff0041,"
             " 'it''s \\\\ \"q\"', concat('a', char(0), 'b'), '\xF0\x9F\x98\x80 \xE2\x82\xAC', 0x00ff, '',"
             " b'1', b'0', 5, 'd''e', 'x,z')");
  // BIT values as the numbers the dataset gives them as.
  std::string selected = columns;
  for (const char* bit : {"b1", "b8", "b64"}) {
    const std::string name = std::string(" ") + bit + ",";
    selected.replace(selected.find(name), name.size(), " " + std::string(bit) + "+0,");
  }
  const std::vector<Row> server = Rows("select " + selected + " from qm_dsw.every order by id");
  ASSERT_EQ(server.size(), 3u);

  TMySQLTable t;
  Open(t, "every");
  ASSERT_EQ(t.RecordCount(), 3);
  const Strings names = [&] {
    Strings out;
    std::string list = columns;
    std::replace(list.begin(), list.end(), ',', ' ');
    std::istringstream words(list);
    for (std::string w; words >> w;) out.push_back(w);
    return out;
  }();
  // Reading: every value as the server sent it; NULL as null.
  int r = 0;
  for (t.First(); !t.Eof(); t.Next(), ++r)
    for (std::size_t c = 0; c < names.size(); ++c) {
      TField& f = t.FieldByName(names[c]);
      const auto& want = server[std::size_t(r)][c];
      // An empty blob reads as no value; every other value keeps its presence.
      if (!(f.IsBlob() && f.DataType() != ftMemo && want && want->empty())) {
        EXPECT_EQ(f.IsNull(), !want.has_value()) << names[c] << " row " << r;
      }
      if (want && !f.IsBlob()) {
        EXPECT_EQ(f.AsString(), *want) << names[c] << " row " << r;
      }
      if (want && f.IsBlob()) {
        EXPECT_EQ(t.CreateBlobStream(f, bmRead)->ReadAll(), *want) << names[c];
      }
    }

  // Writing: row 1 (all NULL) takes the values of row 3, field by field; then a new row
  // takes those of row 2.
  auto copyRow = [&](const Row& values) {
    for (std::size_t c = 0; c < names.size(); ++c) {
      TField& f = t.FieldByName(names[c]);
      if (!values[c]) {
        f.Clear();
      } else if (f.IsBlob()) {
        t.CreateBlobStream(f, bmWrite)->WriteAll(*values[c]);
      } else {
        f.SetAsString(*values[c]);
      }
    }
  };
  t.First();
  t.Edit();
  copyRow(server[2]);
  t.Post();
  t.Append();
  copyRow(server[1]);
  t.Post();
  const std::vector<Row> after = Rows("select " + selected + " from qm_dsw.every order by id");
  ASSERT_EQ(after.size(), 4u);
  for (std::size_t c = 0; c < names.size(); ++c) {
    EXPECT_EQ(after[0][c], server[2][c]) << "edited " << names[c];
    EXPECT_EQ(after[3][c], server[1][c]) << "inserted " << names[c];
  }
  EXPECT_EQ(t.FieldByName("id").AsString(), t.LastInsertId());

  // Deleting the row of limits leaves the others.
  t.First();
  t.Next();
  t.Delete();
  EXPECT_EQ(Rows("select id from qm_dsw.every order by id"), (std::vector<Row>{R({"1"}), R({"3"}), R({"4"})}));
}

TEST_F(DatasetWrite, BlobStreamsWritten) {
  Exec("create table qm_dsw.b (id int primary key, g longblob, m text)");
  Exec("insert into qm_dsw.b values (1, 'old', 'old')");
  TMySQLTable t;
  Open(t, "b");
  t.Edit();
  {
    auto s = t.CreateBlobStream(t.FieldByName("g"), bmWrite);
    s->WriteAll(std::string("\x00\xFF", 2));
    s->WriteAll("A");
  }
  {
    auto s = t.CreateBlobStream(t.FieldByName("m"), bmReadWrite);
    s->Seek(0, TStream::soEnd);
    s->WriteAll("er \xF0\x9F\x98\x80");
  }
  t.Post();
  EXPECT_EQ(Writes(), Strings{"update b set b.g=0x00FF41,b.m=0x6F6C64657220F09F9880 where (b.id=1)"});
  EXPECT_EQ(Rows("select hex(g), m from qm_dsw.b"), (std::vector<Row>{R({"00FF41", "older \xF0\x9F\x98\x80"})}));
}

// A join posts per table: each table gets its own modified columns and its own key.
TEST_F(DatasetWrite, RecursiveUpdatesOverAJoin) {
  Exec("create table qm_dsw.o (oid int primary key, note varchar(20))");
  Exec("create table qm_dsw.l (lid int primary key, oid int, qty int)");
  Exec("insert into qm_dsw.o values (1, 'n')");
  Exec("insert into qm_dsw.l values (10, 1, 2)");
  TMySQLDataset q;
  q.SetOptions(q.Options() + doRecursiveUpdates);
  q.SetSQLText("select o.oid, o.note, l.lid, l.qty from o join l on l.oid = o.oid");
  Open(q);
  ASSERT_EQ(q.TableInfos().size(), 2u);
  const std::string o = q.TableInfos()[0].QuotedName, l = q.TableInfos()[1].QuotedName;
  const std::string note = q.FindFieldInfo("note")->QuotedName, qty = q.FindFieldInfo("qty")->QuotedName;
  const std::string oid = q.FindFieldInfo("oid")->QuotedName, lid = q.FindFieldInfo("lid")->QuotedName;
  q.Edit();
  q.FieldByName("note").SetAsString("n2");
  q.FieldByName("qty").SetAsInteger(7);
  q.Post();
  EXPECT_EQ(Writes(), (Strings{"update " + o + " set " + note + "='n2' where (" + oid + "=1)",
                               "update " + l + " set " + qty + "=7 where (" + lid + "=10)"}));
  // Only the table with a change is written.
  q.Edit();
  q.FieldByName("qty").SetAsInteger(8);
  q.Post();
  EXPECT_EQ(Writes(), (Strings{"update " + l + " set " + qty + "=8 where (" + lid + "=10)"}));
  EXPECT_EQ(Rows("select o.note, l.qty from qm_dsw.o join qm_dsw.l using (oid)"), (std::vector<Row>{R({"n2", "8"})}));
  q.Delete();
  EXPECT_EQ(Writes(), (Strings{"delete from " + o + " where (" + oid + "=1)", "delete from " + l + " where (" + lid + "=10)"}));
  EXPECT_TRUE(Rows("select 1 from qm_dsw.o union all select 1 from qm_dsw.l").empty());
}

TEST_F(DatasetWrite, MasterAndDetail) {
  Exec("create table qm_dsw.o (oid int primary key, note varchar(20))");
  Exec("create table qm_dsw.l (lid int primary key, oid int, qty int)");
  Exec("insert into qm_dsw.o values (1, 'a'), (2, 'b')");
  Exec("insert into qm_dsw.l values (10, 1, 1), (11, 1, 2), (20, 2, 3)");
  TMySQLTable master, detail;
  Open(master, "o");
  TDataSource source(&master);
  detail.SetMasterSource(&source);
  detail.SetMasterFields("oid=oid");
  Open(detail, "l");
  EXPECT_EQ(detail.RecordCount(), 2);
  EXPECT_TRUE(detail.LastStatement().ends_with(" where (oid=1)")) << detail.LastStatement();
  master.Next();
  EXPECT_EQ(detail.RecordCount(), 1);
  EXPECT_EQ(detail.FieldByName("lid").AsInteger(), 20);
  // A detail row posts with its own key, whatever the master shows.
  detail.Edit();
  detail.FieldByName("qty").SetAsInteger(9);
  detail.Post();
  EXPECT_EQ(Rows("select qty from qm_dsw.l where lid = 20"), (std::vector<Row>{R({"9"})}));
  // A closed master links with "=NULL": the detail shows nothing.
  master.Close();
  if (!detail.Active()) detail.Open();
  EXPECT_EQ(detail.RecordCount(), 0);
  EXPECT_TRUE(detail.LastStatement().ends_with(" where (oid=NULL)")) << detail.LastStatement();
}

// A float field becomes a double column, which keeps a double's digits.
TEST_F(DatasetWrite, AutoCreateWritesDoubleForFloat) {
  TMySQLTable t;
  t.SetServer(&server);
  t.SetTableName("made");
  t.SetOptions(t.Options() + doAutoCreate + doDropIfExists);
  t.FieldDefs().Add("id", ftAutoInc, 0, true);
  t.FieldDefs().Add("x", ftFloat);
  t.FieldDefs().Add("s", ftString, 20);
  t.IndexDefs().Add("PRIMARY", "id", {ixPrimary});
  EXPECT_EQ(t.CreateTableScript(false), Db(
            "use qm_dsw;\r\ndrop table if exists made;\r\ncreate  table if not exists made (\r\n"
            "id\r\n int not null auto_increment,\r\nx\r\n double ,\r\ns\r\n varchar(20) ,\r\n"
            " primary key (\r\nid)\r\n);"));
  t.Open();
  const auto type = Rows("select data_type from information_schema.columns where table_schema='qm_dsw'"
                               " and table_name='made' and column_name='x'");
  EXPECT_EQ(type, (std::vector<Row>{R({"double"})}));
  t.Append();
  t.FieldByName("x").SetAsFloat(0.1 + 0.2);
  t.Post();
  EXPECT_EQ(Rows("select x = 0.1e0 + 0.2e0 from qm_dsw.made"), (std::vector<Row>{R({"1"})}));
}

TEST_F(DatasetWrite, ProviderOperations) {
  Exec("create table qm_dsw.t1 (a int primary key, b varchar(20), u int, unique key uu (u))");
  Exec("insert into qm_dsw.t1 values (1, 'x', 10), (2, 'y', 20)");
  TMySQLTable t;
  Open(t, "t1");
  TParams params;
  params.Add("p").SetAsString("it's");
  params.Add("q").SetAsInteger(2);
  EXPECT_EQ(t.PSExecuteStatement("update t1 set b = ? where a = ? or b = '?'", &params), 1);
  EXPECT_EQ(t.LastStatement(), "update t1 set b = 'it\\'s' where a = 2 or b = '?'");
  EXPECT_EQ(t.PSGetQuoteChar(), "`");
  EXPECT_EQ(t.PSGetTableName(), "t1");
  ASSERT_NE(t.PSGetDefaultOrder(), nullptr);
  EXPECT_EQ(t.PSGetDefaultOrder()->Name, "PRIMARY");
  EXPECT_TRUE(t.PSIsSQLBased());
  EXPECT_TRUE(t.PSIsSQLSupported());
  EXPECT_FALSE(t.PSUpdateRecord(ukModify, t));
  EXPECT_EQ(t.PSGetParams(), &t.Macros());
  try {
    std::rethrow_exception(t.PSGetUpdateException(nullptr, nullptr));
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "SQL Error: Error mapping failed");
  }
  TMySQLDataset q;
  q.SetSQLText("select b from t1");
  Open(q);
  EXPECT_EQ(q.PSGetTableName(), "t1");
}

// With doThreadedUpdate the writes go to the background thread's own connection; the
// reports arrive on this thread.
TEST_F(DatasetWrite, ThreadedUpdatesAndBackgroundOpen) {
  Exec("create table qm_dsw.t1 (a int primary key, b varchar(20))");
  Exec("insert into qm_dsw.t1 values (1, 'x')");
  TMySQLTable t;
  t.SetOptions(t.Options() + doThreadedUpdate);
  Strings posted;
  std::vector<std::string> failures;
  t.OnThreadPosted = [&](TMySQLDatasetBase&, const std::string& statement, std::exception_ptr failure) {
    posted.push_back(statement);
    if (!failure) return;
    try {
      std::rethrow_exception(failure);
    } catch (const std::exception& e) {
      failures.push_back(e.what());
    }
  };
  Open(t, "t1");
  t.Edit();
  t.FieldByName("b").SetAsString("threaded");
  t.Post();
  EXPECT_TRUE(Writes().empty()) << "nothing on the server's main handle";
  EXPECT_TRUE(t.ProcessThreadEvents(true));
  EXPECT_EQ(posted, Strings{"update t1 set t1.b='threaded' where (t1.a=1)"});
  EXPECT_TRUE(failures.empty());
  EXPECT_EQ(Rows("select b from qm_dsw.t1"), (std::vector<Row>{R({"threaded"})}));
  // A failure is reported, not thrown.
  t.SetSQLDelete(mysql::TSBStringList("delete from nosuch"));
  t.Delete();
  EXPECT_TRUE(t.ProcessThreadEvents(true));
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_NE(failures[0].find("nosuch"), std::string::npos) << failures[0];
  t.Close();

  std::vector<std::exception_ptr> opened;
  t.OnThreadOpened = [&](TMySQLDatasetBase&, std::exception_ptr failure) { opened.push_back(failure); };
  driver->queries.clear();
  t.OpenInBackground();
  EXPECT_TRUE(t.ProcessThreadEvents(true));
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], nullptr);
  EXPECT_TRUE(t.Active());
  EXPECT_EQ(t.RecordCount(), 1);
  EXPECT_TRUE(driver->queries.empty()) << "the open used a connection of its own";
  t.Close();
  EXPECT_EQ(t.Server(), &server);
}

// The main paths again through the client library.
TEST_F(DatasetWrite, ThroughTheLibraryDriver) {
  Exec("create table qm_dsw.t1 (a int primary key, b varchar(20))");
  Exec("insert into qm_dsw.t1 values (1, 'x')");
  TMySQLServer lib;
  const TestServer& s = TestServer::Get();
  lib.SetDriverKind(dtLibrary);
  lib.SetHost(s.host);
  lib.SetPort(std::uint16_t(s.port));
  lib.SetUserName(s.user);
  lib.SetPassword(s.password);
  lib.SetDatabaseName(db);
  TMySQLTable t;
  t.SetServer(&lib);
  t.SetTableName("t1");
  t.Open();
  t.Edit();
  t.FieldByName("b").SetAsString("l'ib");
  t.Post();
  t.Append();
  t.FieldByName("a").SetAsInteger(2);
  t.Post();
  t.First();
  t.Delete();
  EXPECT_EQ(Rows("select a, b from qm_dsw.t1"), (std::vector<Row>{R({"2", nullptr})}));
}

}  // namespace

// A row post through the default templates must change exactly the one row: a condition
// that finds none (the row went away on the server) or several (duplicates without a
// key, rows apart only in a float column) fails the post, which rolls back and leaves
// the cached rows as they were.
TEST_F(DatasetWrite, RowPostsChangeExactlyOneRow) {
  struct Case {
    const char* name;
    const char* table;
    const char* rows;
    const char* behindOurBack;  // run on another connection before the post
    bool remove;                // delete the first row, else set column 2 of it to "9"
    const char* error;          // "" when the post must succeed
    const char* serverAfter;    // group_concat of column 2 in insert order
  };
  const Case cases[] = {
      {"duplicate rows, delete", "(i int, s varchar(10))", "(1,'x'),(1,'x'),(2,'y')", "", true,
       "The row to delete matched 2 rows on the server", "x,x,y"},
      {"apart only in a float, update", "(i int, f double)", "(1,1.5),(1,2.5)", "", false,
       "The row to update matched 2 rows on the server", "1.5,2.5"},
      {"row gone, update", "(a int primary key, s varchar(10))", "(1,'x'),(2,'y')",
       "delete from qm_dsw.t where a = 1", false, "The row to update was not found on the server", "y"},
      {"row gone, delete", "(a int primary key, s varchar(10))", "(1,'x'),(2,'y')",
       "delete from qm_dsw.t where a = 1", true, "The row to delete was not found on the server", "y"},
      {"key changed, update", "(a int primary key, s varchar(10))", "(1,'x')",
       "update qm_dsw.t set a = 5", false, "The row to update was not found on the server", "x"},
      // The server counts rows already holding the new values as matched, not changed.
      {"same value, update", "(a int primary key, s varchar(10))", "(1,'9')", "", false, "", "9"},
      {"one of distinct rows, delete", "(i int, s varchar(10))", "(1,'x'),(1,'y')", "", true, "", "y"},
      // A DECIMAL column is exact: it stays in the condition although its field is a float.
      {"decimal part of the key, update", "(a int, d decimal(10,2), primary key (a, d))", "(1,1.00),(1,2.00)", "",
       false, "", "2.00,9.00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Exec("drop table if exists qm_dsw.t");
    Exec(std::string("create table qm_dsw.t ") + c.table + " engine=InnoDB");
    Exec(std::string("insert into qm_dsw.t values ") + c.rows);
    TMySQLTable t;
    t.SetOptions(t.Options() + doTransactions);
    Open(t, "t");
    const int before = t.RecordCount();
    if (*c.behindOurBack) Exec(c.behindOurBack);
    std::string error;
    try {
      if (c.remove) {
        t.Delete();
      } else {
        t.Edit();
        t.Fields(1).SetAsString("9");
        t.Post();
      }
    } catch (const EDatabaseError& e) {
      error = e.what();
      if (t.State() != dsBrowse) t.Cancel();
    }
    if (*c.error) {
      EXPECT_NE(error.find(c.error), std::string::npos) << error;
      EXPECT_EQ(t.RecordCount(), before) << "the cached rows stay";
      EXPECT_EQ(driver->queries.back(), "rollback;");
    } else {
      EXPECT_EQ(error, "");
      EXPECT_EQ(t.RecordCount(), before - (c.remove ? 1 : 0));
    }
    const std::string column = t.Fields(1).FieldName;
    EXPECT_EQ(Rows("select group_concat(" + column + " order by " + column + ") from qm_dsw.t"),
              (std::vector<Row>{R({c.serverAfter})}));
  }
}

// A connection killed while rows are still coming in is an error for every result type,
// never a short result that passes for the whole one.
TEST_F(DatasetWrite, ConnectionLostMidReadIsAnError) {
  constexpr int kRows = 100000;
  Exec("create table qm_dsw.big (a int primary key, s varchar(100))");
  Exec("insert into qm_dsw.big select seq, repeat('x', 100) from qm_dsw.seq_1_to_" + std::to_string(kRows));
  for (TMySQLResultOptions type : {rtLocal, rtIncremental, rtUnidirectional})
    for (int delayMs : {0, 20}) {
      SCOPED_TRACE(::testing::Message() << "result type " << int(type) << ", kill after " << delayMs << " ms");
      Connect(0);
      TMySQLDataset q;
      q.SetResultType(type);
      q.SetSQLText("select * from big");
      q.SetServer(&server);
      std::thread killer([&] {
        Checker k;
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        for (const Row& r : k.Rows(Db("select id from information_schema.processlist"
                                      " where db='qm_dsw' and info like 'select * from big%'")))
          k.Exec("kill connection " + *r[0]);
      });
      long rows = 0;
      bool failed = false;
      try {
        q.Open();
        for (; !q.Eof(); q.Next()) ++rows;
      } catch (const mysql::EMySQLError&) {
        failed = true;
      }
      killer.join();
      EXPECT_TRUE(failed || rows == kRows) << rows << " rows passed for the whole result";
    }
}

// A dataset may go away while its background open runs, or after one: the thread uses
// the dataset and its connection, so destruction waits for it (seen under ASan).
TEST_F(DatasetWrite, DestroyedDuringOrAfterABackgroundOpen) {
  Exec("create table qm_dsw.t1 (a int primary key, b varchar(20))");
  Exec("insert into qm_dsw.t1 select seq, 'x' from qm_dsw.seq_1_to_20000");
  {
    TMySQLTable t;
    t.SetOptions(t.Options() + doThreadedUpdate);
    t.SetServer(&server);
    t.SetTableName("t1");
    t.OpenInBackground();
    EXPECT_TRUE(t.ProcessThreadEvents(true));
    EXPECT_TRUE(t.Active());
  }  // destroyed while open on the background connection
  server.Close();
  server.Open();
  {
    TMySQLTable t;
    t.SetOptions(t.Options() + doThreadedUpdate);
    t.SetServer(&server);
    t.SetTableName("t1");
    t.OpenInBackground();
  }  // destroyed while the open runs
  server.Close();
  EXPECT_EQ(Rows("select count(*) from qm_dsw.t1"), (std::vector<Row>{R({"20000"})}));
}
