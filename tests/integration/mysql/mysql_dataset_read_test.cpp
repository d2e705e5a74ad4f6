// TMySQLDataset and TMySQLTable reading against the private MariaDB server: opening,
// the result's description, field types, values, navigation and the refusals; the main
// paths again through the library driver.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "integration/mysql/recording_driver.h"
#include "integration/mysql/server_setup.h"
#include "mysql/components/mysql_dataset.h"
#include "support/test_server.h"

namespace {

constexpr TMySQLDatasetOptions kNoMacros =
    TMySQLDataset::kDefaultOptions - doMacrosEnabled;

const TMySQLDriverType kDrivers[] = {dtDirect, dtLibrary};
const char* Name(TMySQLDriverType k) { return k == dtDirect ? "direct" : "library"; }


// A connected server on the database qm_ds, with a recording driver.
struct Db {
  TMySQLServer server;
  TRecordingDriver* driver = nullptr;
  explicit Db(TMySQLDriverType kind = dtDirect) {
    if (kind == dtDirect) {
      auto d = std::make_unique<TRecordingDriver>();
      driver = d.get();
      server.SetDriverProperties(std::move(d));
    } else {
      server.SetDriverKind(kind);
    }
    UseTestServer(server);
    server.Open();
    Exec("create database if not exists qm_ds character set utf8mb4");
    server.SetDatabaseName("qm_ds");
    Exec("set session sql_mode=''");
  }
  void Exec(const std::string& sql) { server.ExecSQL(sql); }
  std::vector<std::string> Column(const std::string& sql) {
    return QueryFirstColumn(*server.DriverProperties(), server.Handle(), sql);
  }
  std::vector<std::string> QueriesSince(std::size_t from) const {
    return driver ? std::vector<std::string>(driver->queries.begin() + static_cast<std::ptrdiff_t>(from),
                                             driver->queries.end())
                  : std::vector<std::string>{};
  }
};

// Exposes what the tests look at behind the protected interface.
class TestDataset : public TMySQLDataset {
 public:
  using TMySQLDatasetBase::CachedRow;
  using TMySQLDatasetBase::CachedRowCount;
  using TMySQLDatasetBase::Position;
};

void Open(TMySQLDatasetBase& ds, TMySQLServer& server, const std::string& sql,
          TMySQLDatasetOptions options = kNoMacros) {
  ds.SetServer(&server);
  ds.SetOptions(options);
  if (auto* q = dynamic_cast<TMySQLDataset*>(&ds)) q->SetSQLText(sql);
  ds.Open();
}

TEST(MySQLDatasetRead, FieldTypesFollowTheColumnTypes) {
  for (TMySQLDriverType kind : kDrivers) {
    SCOPED_TRACE(Name(kind));
    Db db(kind);
    db.Exec("drop table if exists types");
    db.Exec(
        "create table types (id int not null auto_increment primary key, ti tinyint, tu tinyint unsigned, "
        "si smallint, su smallint unsigned, mi mediumint, i int not null, iu int unsigned, bi bigint, "
        "bu bigint unsigned, f float, d double, dc decimal(12,3), dt date, tm time, dtt datetime, ts timestamp null, "
        "y year, c char(10), vc varchar(20), vbig varchar(3000), vb varbinary(10), tx text, bl blob, "
        "b1 bit(1), b4 bit(4), b64 bit(64), e enum('yes','no'), st set('a','b','c'))");
    struct Case {
      const char* name;
      TFieldType type;
      int size;  // -1: not checked
      bool required;
    };
    const Case cases[] = {
        {"id", ftAutoInc, -1, false},   {"ti", ftSmallint, -1, false}, {"tu", ftWord, -1, false},
        {"si", ftSmallint, -1, false},  {"su", ftWord, -1, false},     {"mi", ftInteger, -1, false},
        {"i", ftInteger, -1, true},     {"iu", ftLargeint, -1, false}, {"bi", ftLargeint, -1, false},
        {"bu", ftString, 20, false},    {"f", ftFloat, -1, false},     {"d", ftFloat, -1, false},
        {"dc", ftFloat, -1, false},     {"dt", ftDate, -1, false},     {"tm", ftTime, -1, false},
        {"dtt", ftDateTime, -1, false}, {"ts", ftDateTime, -1, false}, {"y", ftWord, -1, false},
        {"c", ftString, 40, false},     {"vc", ftString, 80, false},   {"vbig", ftMemo, -1, false},
        {"vb", ftString, 10, false},    {"tx", ftMemo, -1, false},     {"bl", ftBlob, -1, false},
        {"b1", ftWord, -1, false},      {"b4", ftInteger, -1, false},  {"b64", ftString, 20, false},
        {"e", ftString, -1, false},     {"st", ftString, -1, false},
    };
    TMySQLDataset ds;
    Open(ds, db.server, "select * from types");
    ASSERT_EQ(ds.FieldCount(), static_cast<int>(std::size(cases)));
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name);
      TField& f = ds.FieldByName(c.name);
      EXPECT_EQ(FieldTypeName(f.DataType()), FieldTypeName(c.type));
      if (c.size >= 0) {
        EXPECT_EQ(f.Size(), c.size);
      }
      EXPECT_EQ(f.Required, c.required);
      EXPECT_EQ(f.Origin, "types." + std::string(c.name));
    }
    EXPECT_TRUE(ds.FieldByName("id").ReadOnly);
    EXPECT_FALSE(ds.FieldByName("i").ReadOnly);
    auto* e = dynamic_cast<TMySQLStringField*>(&ds.FieldByName("e"));
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->StringType(), stEnum);
    EXPECT_EQ(dynamic_cast<TMySQLStringField&>(ds.FieldByName("st")).StringType(), stSet);
    EXPECT_EQ(dynamic_cast<TMySQLStringField&>(ds.FieldByName("vc")).StringType(), stNormal);
    EXPECT_EQ(ds.PrimaryKeyList(), "types.id");
    ds.Close();

    // The options that change the typing. Lengths are bytes of the result's character
    // set: under utf8mb4 a TEXT column reports 262140 and stays a memo; TINYTEXT (1020)
    // and, with single-byte results, TEXT (65535) become strings.
    Open(ds, db.server, "select tx, bl, ti from types",
         kNoMacros + doSmallMemoToStr + doTinyIntToBool);
    EXPECT_EQ(ds.FindFieldInfo("tx")->Length, 262140u);
    EXPECT_EQ(ds.FieldByName("tx").DataType(), ftMemo);
    EXPECT_EQ(ds.FieldByName("bl").DataType(), ftBlob) << "binary stays a blob";
    EXPECT_EQ(ds.FieldByName("ti").DataType(), ftBoolean);
    ds.Close();
    db.Exec("set character_set_results = latin1");
    Open(ds, db.server, "select tx from types", kNoMacros + doSmallMemoToStr);
    EXPECT_EQ(ds.FindFieldInfo("tx")->Length, 65535u);
    EXPECT_EQ(ds.FieldByName("tx").DataType(), ftString) << "TEXT is a small memo";
    EXPECT_EQ(ds.FieldByName("tx").Size(), 65535);
    ds.Close();
    Open(ds, db.server, "select tx from types");
    EXPECT_EQ(ds.FieldByName("tx").DataType(), ftMemo);
    ds.Close();
    db.Exec("set character_set_results = utf8mb4");
    Open(ds, db.server, "select * from types", kNoMacros - do2KStrToMemo);
    EXPECT_EQ(ds.FieldByName("vbig").DataType(), ftString);
    EXPECT_EQ(ds.FieldByName("vbig").Size(), 12000);
    ds.Close();
    Open(ds, db.server, "select * from types", kNoMacros + doEnumToBool + doSetToWord);
    EXPECT_EQ(ds.FieldByName("e").DataType(), ftBoolean) << "two members, values retrieved for SET";
    EXPECT_EQ(ds.FieldByName("st").DataType(), ftWord);
    ds.Close();

    // RawData: every non-blob column a string of 255; AUTO_INCREMENT is no longer special.
    ds.SetRawData(true);
    Open(ds, db.server, "select * from types", kNoMacros + doFieldsAsString);
    TField& id = ds.FieldByName("id");
    EXPECT_EQ(id.DataType(), ftString);
    EXPECT_EQ(id.Size(), 255);
    EXPECT_FALSE(id.ReadOnly);
    EXPECT_TRUE(id.Required);
    EXPECT_EQ(ds.FieldByName("bl").DataType(), ftBlob);
    ds.Close();
  }
}

TEST(MySQLDatasetRead, ValuesAsTheServerSentThem) {
  for (TMySQLDriverType kind : kDrivers) {
    SCOPED_TRACE(Name(kind));
    Db db(kind);
    db.Exec("drop table if exists vals");
    db.Exec(
        "create table vals (n int primary key, vc varchar(40), tx text, i int, dc decimal(30,10), "
        "tm time(3), dtt datetime(6), dt date, b1 bit(1), b4 bit(4), b64 bit(64), bl blob, vb varbinary(8), "
        "e enum('Yes','No'), bu bigint unsigned, f double)");
    db.Exec(
        "insert into vals values "
        "(1, '   ', '  ', 42, 12345678901234567890.0123456789, '838:59:59.000', '2007-01-02 03:04:05.678901', "
        "'0000-00-00', b'1', b'1010', 0xFFFFFFFFFFFFFFFF, 0x00FF00, 0x610062, 'yes', 18446744073709551615, 0.1),"
        "(2, '', '', null, -1.5, '-12:00:00', '2024-02-29 00:00:00', '2024-02-29', b'0', b'0', 258, '', '', 'No', 0, -2e300),"
        "(3, null, null, null, null, '12:34:56.789', null, null, null, null, null, null, null, null, null, null),"
        "(4, 'z\xF0\x9F\x98\x80\\'\"\\\\', 'multi\nline', 0, 0, '00:00:00', '1000-01-01 00:00:00', '9999-12-31', b'1', b'1111', 1,"
        " 0x01AB, 0x00, 'yes', 1, 0)");
    TMySQLDataset ds;
    Open(ds, db.server, "select * from vals order by n");
    ASSERT_EQ(ds.RecordCount(), 4);

    // Row 1: blanks are text (K3); digits beyond a double, times past a day, zero dates and
    // fractions survive AsString (K4); BIT is its big-endian number (K2).
    EXPECT_FALSE(ds.FieldByName("vc").IsNull());
    EXPECT_EQ(ds.FieldByName("vc").AsString(), "   ");
    EXPECT_EQ(ds.FieldByName("tx").AsString(), "  ");
    EXPECT_FALSE(ds.FieldByName("tx").IsNull());
    EXPECT_EQ(ds.FieldByName("i").AsInteger(), 42);
    EXPECT_EQ(ds.FieldByName("dc").AsString(), "12345678901234567890.0123456789");
    EXPECT_DOUBLE_EQ(ds.FieldByName("dc").AsFloat(), 12345678901234567890.0123456789);
    EXPECT_EQ(ds.FieldByName("tm").AsString(), "838:59:59.000");
    EXPECT_EQ(ds.FieldByName("dtt").AsString(), "2007-01-02 03:04:05.678901");
    const TDateTime dtt = ds.FieldByName("dtt").AsDateTime();
    EXPECT_EQ(dtt, (TDateTime{2007, 1, 2, 3, 4, 5, 678901}));
    EXPECT_EQ(ds.FieldByName("dt").AsString(), "0000-00-00");
    EXPECT_EQ(ds.FieldByName("dt").AsDateTime(), mysql::kFirstDay);
    EXPECT_EQ(ds.FieldByName("b1").AsInteger(), 1);
    EXPECT_EQ(ds.FieldByName("b4").AsInteger(), 10);
    EXPECT_EQ(ds.FieldByName("b64").AsString(), "18446744073709551615");
    EXPECT_EQ(ds.FieldByName("bl").AsString(), std::string("\0\xFF\0", 3));
    EXPECT_EQ(ds.FieldByName("vb").AsString(), std::string("a\0b", 3));
    EXPECT_EQ(ds.FieldByName("e").AsString(), "Yes") << "the server's spelling of the member";
    EXPECT_EQ(ds.FieldByName("bu").AsString(), "18446744073709551615");
    EXPECT_DOUBLE_EQ(ds.FieldByName("f").AsFloat(), 0.1);

    ds.Next();  // row 2: empty text is a value, not NULL
    EXPECT_FALSE(ds.FieldByName("vc").IsNull());
    EXPECT_EQ(ds.FieldByName("vc").AsString(), "");
    EXPECT_FALSE(ds.FieldByName("tx").IsNull());
    EXPECT_TRUE(ds.FieldByName("i").IsNull());
    EXPECT_EQ(ds.FieldByName("tm").AsString(), "-12:00:00.000");
    EXPECT_EQ(ds.FieldByName("dt").AsDateTime(), (TDateTime{2024, 2, 29, 0, 0, 0, 0}));
    EXPECT_EQ(ds.FieldByName("b1").AsInteger(), 0);
    EXPECT_FALSE(ds.FieldByName("b1").IsNull());
    EXPECT_EQ(ds.FieldByName("b64").AsString(), "258");
    EXPECT_TRUE(ds.FieldByName("bl").IsNull()) << "a blob without bytes has no value";
    EXPECT_FALSE(ds.FieldByName("vb").IsNull());
    EXPECT_DOUBLE_EQ(ds.FieldByName("f").AsFloat(), -2e300);

    ds.Next();  // row 3: NULL everywhere, and a time with a fraction
    for (const char* name : {"vc", "tx", "i", "dc", "dtt", "dt", "b1", "b64", "bl", "e", "bu"}) {
      EXPECT_TRUE(ds.FieldByName(name).IsNull()) << name;
      EXPECT_EQ(ds.FieldByName(name).AsString(), "") << name;
    }
    EXPECT_EQ(ds.FieldByName("tm").AsDateTime(), (TDateTime{0, 0, 0, 12, 34, 56, 789000}));

    ds.Next();  // row 4: 4-byte UTF-8, quotes and backslashes, line breaks
    EXPECT_EQ(ds.FieldByName("vc").AsString(), "z\xF0\x9F\x98\x80'\"\\");
    EXPECT_EQ(ds.FieldByName("tx").AsString(), "multi\nline");
    EXPECT_EQ(ds.FieldByName("b4").AsInteger(), 15);
    EXPECT_EQ(ds.FieldByName("dtt").AsDateTime(), (TDateTime{1000, 1, 1, 0, 0, 0, 0}));
    EXPECT_EQ(ds.FieldByName("bl").AsString(), "\x01\xAB");
    auto stream = ds.CreateBlobStream(ds.FieldByName("bl"), bmRead);
    EXPECT_EQ(stream->ReadAll(), "\x01\xAB");
    EXPECT_EQ(stream->Size(), 2);
    EXPECT_TRUE(ds.Eof() == false);
    ds.Next();
    EXPECT_TRUE(ds.Eof());
    ds.Close();

    // Booleans: TINYINT and BIT by their number, ENUM by its first member (no case).
    Open(ds, db.server, "select n, b1, e, i from vals order by n", kNoMacros + doEnumToBool + doRetrieveFieldValues);
    ASSERT_EQ(ds.FieldByName("e").DataType(), ftBoolean);
    EXPECT_TRUE(ds.FieldByName("e").AsBoolean());
    ds.Next();
    EXPECT_FALSE(ds.FieldByName("e").AsBoolean());
    EXPECT_FALSE(ds.FieldByName("b1").AsBoolean());
    ds.Close();
  }
}

TEST(MySQLDatasetRead, DescriptionOfKeysIndexesDefaultsAndMembers) {
  Db db;
  db.Exec("drop table if exists `key table`");
  db.Exec(
      "create table `key table` (a int not null, b varchar(5) not null, c int default 7, u int, m int, "
      "e enum('x','y''s','z') default 'y''s', s set('r','w','x') default 'r,x', primary key (a, b), "
      "unique key uq (u), key mk (m, c))");
  db.Exec("insert into `key table` (a, b, u, m, e, s) values (1, 'k', 5, 6, 'z', 'w,x'), (2, 'l', 6, 6, 'x', '')");
  const std::size_t before = db.driver->queries.size();
  TMySQLDataset ds;
  Open(ds, db.server, "select * from `key table` where 1=0",
       kNoMacros + doRetrieveFieldValues + doRetrieveIndexDefs);
  EXPECT_EQ(ds.RecordCount(), 0);
  EXPECT_EQ(db.QueriesSince(before),
            (std::vector<std::string>{"select * from `key table` where 1=0", "show columns from `key table`",
                                      "show index from `key table`"}));
  EXPECT_EQ(ds.PrimaryKeyList(), "key table.a,key table.b");
  EXPECT_EQ(ds.UniqueKeyList(), "key table.u");
  EXPECT_EQ(ds.MultipleKeyList(), "key table.m");
  ASSERT_EQ(ds.TableInfos().size(), 1u);
  EXPECT_EQ(ds.TableInfos()[0].QuotedName, "`key table`");
  EXPECT_EQ(ds.TableInfos()[0].PrimaryKeys, (std::vector<std::string>{"a", "b"}));

  TIndexDefs& idx = ds.IndexDefs();
  ASSERT_EQ(idx.Count(), 3);
  const TIndexDef* pk = idx.Find("PRIMARY");
  ASSERT_NE(pk, nullptr);
  EXPECT_EQ(pk->Fields, "a;b");
  EXPECT_TRUE(pk->Options.Contains(ixPrimary));
  EXPECT_TRUE(pk->Options.Contains(ixUnique));
  ASSERT_NE(idx.Find("uq"), nullptr);
  EXPECT_EQ(idx.Find("uq")->Options, TIndexOptions{ixUnique});
  ASSERT_NE(idx.Find("mk"), nullptr);
  EXPECT_EQ(idx.Find("mk")->Fields, "m;c");
  EXPECT_TRUE(idx.Find("mk")->Options.Empty()) << "non-unique flag 1: neither option";

  EXPECT_EQ(ds.FindFieldInfo("c")->Default, "7");
  EXPECT_EQ(ds.FindFieldInfo("e")->EnumValues, "\"x\",\"y\"\"s\",\"z\"");
  EXPECT_EQ(dynamic_cast<TMySQLStringField&>(ds.FieldByName("e")).StringValues().Lines(),
            (std::vector<std::string>{"x", "y's", "z"}));
  EXPECT_TRUE(ds.FieldByName("a").Required);
  ds.Close();

  // doSetToWord: SET values become their bit masks, the default too.
  Open(ds, db.server, "select a, s from `key table` order by a", kNoMacros + doSetToWord);
  ASSERT_EQ(ds.FieldByName("s").DataType(), ftWord);
  EXPECT_EQ(ds.FieldByName("s").AsInteger(), 6) << "w,x";
  ds.Next();
  EXPECT_EQ(ds.FieldByName("s").AsInteger(), 0);
  EXPECT_EQ(ds.FindFieldInfo("s")->Default, "5") << "r,x";
  ds.Close();
}

TEST(MySQLDatasetRead, NamesOfJoinedAndComputedColumns) {
  Db db;
  db.Exec("drop table if exists j1");
  db.Exec("drop table if exists j2");
  db.Exec("create table j1 (id int primary key, name varchar(10))");
  db.Exec("create table j2 (id int primary key, j1 int, name varchar(10))");
  db.Exec("insert into j1 values (1, 'one')");
  db.Exec("insert into j2 values (10, 1, 'ten')");
  TMySQLDataset ds;
  Open(ds, db.server,
       "select j1.id, j1.name, j2.id, j2.name as name, 1 + 0 as n, 1 as n from j1 join j2 on j2.j1 = j1.id");
  std::vector<std::string> names;
  for (int i = 0; i < ds.FieldCount(); ++i) names.push_back(ds.Fields(i).FieldName);
  EXPECT_EQ(names, (std::vector<std::string>{"j1.id", "j1.name", "j2.id", "j2.name", "n", "n_6"}));
  EXPECT_EQ(ds.FieldByName("j2.name").AsString(), "ten");
  EXPECT_EQ(ds.FieldByName("j2.id").Origin, "j2.id");
  EXPECT_EQ(ds.FieldByName("n").AsInteger(), 1) << "computed columns read from the row";
  EXPECT_TRUE(ds.FieldByName("n").ReadOnly);
  EXPECT_EQ(ds.FieldByName("n").FieldKind(), fkInternalCalc);
  EXPECT_EQ(ds.TableInfos().size(), 2u);
  EXPECT_EQ(ds.PrimaryKeyList(), "j1.id,j2.id");
  ds.Close();
  Open(ds, db.server, "select j1.name, count(*) as n from j1", kNoMacros + doEditCalcFields);
  EXPECT_FALSE(ds.FieldByName("n").ReadOnly);
  EXPECT_EQ(ds.FieldByName("n").FieldKind(), fkData);
  ds.Close();

  // Another database keeps its name in the origins; the statements' own database drops it.
  db.Exec("create database if not exists qm_ds2");
  db.Exec("drop table if exists qm_ds2.other");
  db.Exec("create table qm_ds2.other (id int primary key)");
  Open(ds, db.server, "select * from qm_ds2.other");
  EXPECT_EQ(ds.FieldByName("id").Origin, "qm_ds2.other.id");
  EXPECT_EQ(ds.TableInfos()[0].QuotedName, "qm_ds2.other");
  EXPECT_EQ(ds.PrimaryKeyList(), "qm_ds2.other.id");
  ds.Close();
  ds.SetDatabaseName("qm_ds2");
  Open(ds, db.server, "select * from other");
  EXPECT_EQ(ds.FieldByName("id").Origin, "other.id");
  ds.Close();
}

TEST(MySQLDatasetRead, CustomFieldsAndValueEvents) {
  Db db;
  db.Exec("drop table if exists cust");
  db.Exec("create table cust (id int primary key, note varchar(10))");
  db.Exec("insert into cust values (1, null), (2, 'x')");
  TMySQLDataset ds;
  ds.CustomFieldDefs().Add("extra", ftString, 12);
  std::vector<std::string> asked;
  ds.OnCustomValue = [&](TMySQLDatasetBase&, const std::string& column, std::string& text, std::int64_t row) {
    asked.push_back(column + "@" + std::to_string(row));
    if (column == "extra") text = "row" + std::to_string(row);
  };
  Open(ds, db.server, "select * from cust order by id");
  ASSERT_EQ(ds.FieldCount(), 3);
  TField& extra = ds.FieldByName("extra");
  EXPECT_EQ(extra.DataType(), ftString);
  EXPECT_EQ(extra.Size(), 12);
  EXPECT_FALSE(ds.FindFieldInfo("extra")->Bound);
  EXPECT_EQ(extra.AsString(), "row0");
  EXPECT_TRUE(ds.FieldByName("note").IsNull()) << "the handler left it empty";
  ds.Next();
  EXPECT_EQ(extra.AsString(), "row1");
  EXPECT_EQ(asked, (std::vector<std::string>{"note@0", "extra@0", "extra@1"}));
  ds.Close();
}

TEST(MySQLDatasetRead, StatementsAndWhatTheyLeave) {
  Db db;
  db.Exec("drop table if exists st");
  db.Exec("create table st (id int auto_increment primary key, v int)");
  TMySQLDataset ds;
  // Only the last statement's result becomes the rows; ";" inside quotes does not split.
  Open(ds, db.server,
       "insert into st (v) values (1), (2);\r\n-- a comment\r\nset @x = ';'; select v, @x as x from st order by v");
  EXPECT_EQ(ds.RecordCount(), 2);
  EXPECT_EQ(ds.FieldByName("x").AsString(), ";");
  EXPECT_EQ(ds.LastStatement(), "select v, @x as x from st order by v");
  ds.Close();

  TMySQLDataset ins;
  Open(ins, db.server, "insert into st (v) values (3)");
  EXPECT_TRUE(ins.Active());
  EXPECT_EQ(ins.FieldCount(), 0);
  EXPECT_TRUE(ins.IsEmpty());
  EXPECT_EQ(ins.LastInsertId(), "3");
  EXPECT_EQ(ins.LastAffectedRows(), "1");
  ins.Close();

  // OnExecSQL may rewrite a statement, or stop the open.
  TMySQLDataset ev;
  ev.OnExecSQL = [](TMySQLDatasetBase&, std::string& sql, bool& go) {
    if (sql.find("stop") != std::string::npos) go = false;
    sql += " order by v desc";
  };
  Open(ev, db.server, "select v from st");
  EXPECT_EQ(ev.FieldByName("v").AsInteger(), 3);
  ev.Close();
  ev.SetSQLText("select 'stop'");
  EXPECT_THROW(ev.Open(), EAbort);
  EXPECT_FALSE(ev.Active());

  // A server older than 3.22 gets no trailing ";".
  db.driver->claimedServerVersion = 32199;
  db.server.Close();
  db.server.Open();
  const std::size_t before = db.driver->queries.size();
  TMySQLDataset old;
  Open(old, db.server, "select v from qm_ds.st;", kNoMacros + doSingleSQL);
  EXPECT_EQ(db.QueriesSince(before).front(), "select v from qm_ds.st");
  EXPECT_EQ(old.LastStatement(), "select v from qm_ds.st;");
  EXPECT_EQ(old.LastInsertId(), "0") << "below 3.21.12 there is no insert id";
  old.Close();
}

TEST(MySQLDatasetRead, RefusalsAndFailuresLeaveItClosed) {
  TMySQLDataset noServer;
  noServer.SetOptions(kNoMacros);
  noServer.SetSQLText("select 1");
  try {
    noServer.Open();
    ADD_FAILURE() << "opened without a server";
  } catch (const mysql::EMySQLError& e) {
    EXPECT_NE(std::string(e.what()).find("No dataset server selected for open"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(noServer.Active());

  TMySQLServer closedPort;
  closedPort.SetHost("127.0.0.1");
  closedPort.SetPort(1);
  TMySQLDataset unreachable;
  unreachable.SetServer(&closedPort);
  unreachable.SetOptions(kNoMacros);
  unreachable.SetSQLText("select 1");
  EXPECT_THROW(unreachable.Open(), mysql::EMySQLError);
  EXPECT_FALSE(unreachable.Active());

  Db db;
  TMySQLDataset ds;
  ds.SetServer(&db.server);
  ds.SetOptions(kNoMacros);
  ds.SetSQLText("");
  try {
    ds.Open();
    ADD_FAILURE() << "opened without SQL";
  } catch (const mysql::EMySQLError& e) {
    EXPECT_NE(std::string(e.what()).find("Must have SQL"), std::string::npos) << e.what();
  }
  ds.SetSQLText("select * from no_such_table");
  try {
    ds.Open();
    ADD_FAILURE() << "opened a missing table";
  } catch (const mysql::EMySQLError& e) {
    EXPECT_EQ(e.ErrorNumber(), 1146) << e.what();
  }
  EXPECT_FALSE(ds.Active());
  // The shared handle goes on.
  EXPECT_EQ(db.Column("select 5"), (std::vector<std::string>{"5"}));

  // A dataset cannot be its own master.
  TDataSource self(&ds);
  try {
    ds.SetMasterSource(&self);
    ADD_FAILURE() << "linked to itself";
  } catch (const mysql::EMySQLError& e) {
    EXPECT_NE(std::string(e.what()).find("Circular Reference"), std::string::npos) << e.what();
  }

  // Refresh after the table changed shape.
  db.Exec("drop table if exists shape");
  db.Exec("create table shape (a int)");
  db.Exec("insert into shape values (1)");
  ds.SetSQLText("select * from shape");
  ds.Open();
  db.Exec("insert into shape values (2)");
  ds.Refresh();
  EXPECT_EQ(ds.RecordCount(), 2);
  db.Exec("alter table shape add b int");
  try {
    ds.Refresh();
    ADD_FAILURE() << "refreshed over a changed shape";
  } catch (const mysql::EMySQLError& e) {
    EXPECT_NE(std::string(e.what()).find("Columns have changed. Please close and reopen."), std::string::npos)
        << e.what();
  }
  EXPECT_FALSE(ds.Active());
  // A refresh the server refuses closes the dataset too.
  ds.Open();
  db.Exec("drop table shape");
  EXPECT_THROW(ds.Refresh(), mysql::EMySQLError);
  EXPECT_FALSE(ds.Active());
}

TEST(MySQLDatasetRead, ResultTypesFetchAsNavigationNeeds) {
  for (TMySQLDriverType kind : kDrivers) {
    SCOPED_TRACE(Name(kind));
    Db db(kind);
    db.Exec("drop table if exists seq");
    db.Exec("create table seq (n int primary key)");
    db.Exec("insert into seq values (1), (2), (3), (4), (5)");

    TestDataset local;
    Open(local, db.server, "select n from seq order by n");
    EXPECT_EQ(local.CachedRowCount(), 5) << "rtLocal fetches at open";
    EXPECT_EQ(local.RecordCount(), 5);
    EXPECT_TRUE(local.Exhausted());
    local.Last();
    EXPECT_EQ(local.FieldByName("n").AsInteger(), 5);
    local.Prior();
    EXPECT_EQ(local.FieldByName("n").AsInteger(), 4);
    const TBookmark mark = local.Bookmark();
    local.First();
    local.GotoBookmark(mark);
    EXPECT_EQ(local.FieldByName("n").AsInteger(), 4);
    local.Close();

    TestDataset inc;
    inc.SetResultType(rtIncremental);
    EXPECT_FALSE(inc.ShareConnection()) << "only rtLocal shares the connection";
    Open(inc, db.server, "select n from seq order by n", kNoMacros - doShareConnection);
    EXPECT_EQ(inc.CachedRowCount(), 1);
    EXPECT_EQ(inc.RecordCount(), 2) << "cached rows plus one while more may come";
    inc.Next();
    inc.Next();
    EXPECT_EQ(inc.FieldByName("n").AsInteger(), 3);
    EXPECT_EQ(inc.CachedRowCount(), 3);
    inc.Prior();
    EXPECT_EQ(inc.FieldByName("n").AsInteger(), 2);
    // Its own handle: the server's main handle is free meanwhile.
    EXPECT_EQ(db.Column("select count(*) from seq"), (std::vector<std::string>{"5"}));
    inc.Last();
    EXPECT_EQ(inc.FieldByName("n").AsInteger(), 5);
    EXPECT_EQ(inc.RecordCount(), 5);
    EXPECT_TRUE(inc.Exhausted());
    inc.Close();

    TestDataset uni;
    uni.SetResultType(rtUnidirectional);
    Open(uni, db.server, "select n from seq order by n", kNoMacros - doShareConnection);
    uni.Next();
    uni.Next();
    EXPECT_EQ(uni.FieldByName("n").AsInteger(), 3);
    EXPECT_EQ(uni.CachedRow(0), nullptr) << "older rows are let go";
    uni.Prior();
    EXPECT_EQ(uni.FieldByName("n").AsInteger(), 3) << "prior stays on the current row";
    int seen = 3;
    for (uni.Next(); !uni.Eof(); uni.Next()) seen = uni.FieldByName("n").AsInteger();
    EXPECT_EQ(seen, 5);
    EXPECT_EQ(uni.RecordCount(), 5);
    uni.Close();

    // Sharing again brings back rtLocal.
    uni.SetShareConnection(true);
    EXPECT_EQ(uni.ResultType(), rtLocal);
  }
}

TEST(MySQLDatasetRead, MasterFieldSuppliesTheDetailDefault) {
  Db db;
  db.Exec("drop table if exists mst");
  db.Exec("create table mst (id int primary key)");
  db.Exec("insert into mst values (7)");
  TMySQLDataset master;
  Open(master, db.server, "select id from mst");
  TDataSource source(&master);
  TMySQLDataset detail;
  detail.SetMasterSource(&source);
  detail.SetMasterFields("ref=id");
  Open(detail, db.server, "select 1 as ref, 2 as other");
  EXPECT_EQ(detail.FindFieldInfo("ref")->Default, "7");
  EXPECT_EQ(detail.FindFieldInfo("other")->Default, "");
  detail.Close();
  master.Close();
}

TEST(MySQLDatasetRead, ServerChangesCloseTheDataset) {
  Db db;
  TMySQLDataset ds;
  Open(ds, db.server, "select 1 as a");
  ds.SetDatabaseName("qm_ds");
  EXPECT_FALSE(ds.Active()) << "DatabaseName";
  ds.Open();
  ds.SetOptions(kNoMacros + doSingleSQL);
  EXPECT_FALSE(ds.Active()) << "Options";
  ds.Open();
  db.server.Close();
  EXPECT_FALSE(ds.Active()) << "the server disconnected";
  ds.Open();
  EXPECT_TRUE(db.server.Connected()) << "opening connects the server";
  {
    TMySQLServer other;
    UseTestServer(other);
    ds.SetServer(&other);
    EXPECT_FALSE(ds.Active());
    ds.Open();
    EXPECT_EQ(ds.FieldByName("a").AsInteger(), 1);
  }
  EXPECT_FALSE(ds.Active()) << "the server went away";
  EXPECT_EQ(ds.Server(), nullptr);
}

}  // namespace

namespace {

TEST(MySQLTableRead, FilterOneEqualsZeroDescribesTheTable) {
  Db db;
  db.Exec("drop table if exists `order lines`");
  db.Exec(
      "create table `order lines` (a int not null, b int not null, note varchar(10) default 'n/a', "
      "kind enum('x','y'), k int, primary key (a, b), key byk (k))");
  db.Exec("insert into `order lines` values (1, 1, 'one', 'x', 3)");
  TMySQLTable t;
  t.SetServer(&db.server);
  t.SetTableName("order lines");
  t.SetFilter("(1=0)");
  t.SetFilteredValue(true);
  const std::size_t before = db.driver->queries.size();
  t.Open();
  const std::vector<std::string> sent = db.QueriesSince(before);
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[0].rfind("select * from `order lines`", 0), 0u) << sent[0];
  EXPECT_NE(sent[0].find(" where ((1=0))"), std::string::npos) << sent[0];
  EXPECT_EQ(sent[1], "show columns from `order lines`");
  EXPECT_EQ(sent[2], "show index from `order lines`");
  EXPECT_TRUE(t.IsEmpty());

  struct Def {
    const char* name;
    TFieldType type;
    int size;
  };
  for (const Def& d : {Def{"a", ftInteger, 0}, Def{"b", ftInteger, 0}, Def{"note", ftString, 40},
                       Def{"kind", ftString, 4}, Def{"k", ftInteger, 0}}) {
    SCOPED_TRACE(d.name);
    const TFieldDef* def = t.FieldDefs().Find(d.name);
    ASSERT_NE(def, nullptr);
    EXPECT_EQ(def->DataType, d.type);
    EXPECT_EQ(def->Size, d.size);
  }
  EXPECT_EQ(t.FindFieldInfo("kind")->EnumValues, "\"x\",\"y\"");
  EXPECT_EQ(t.FindFieldInfo("note")->Default, "n/a");
  ASSERT_EQ(t.IndexDefs().Count(), 2);
  EXPECT_EQ(t.IndexDefs()[0].Name, "PRIMARY");
  EXPECT_EQ(t.IndexDefs()[0].Fields, "a;b");
  EXPECT_EQ(t.IndexDefs()[0].Options, (TIndexOptions{ixPrimary, ixUnique}));
  EXPECT_EQ(t.IndexDefs()[1].Fields, "k");
  EXPECT_TRUE(t.IndexDefs()[1].Options.Empty());
  t.Close();

  // Without the filter the rows come.
  t.SetFilteredValue(false);
  t.Open();
  EXPECT_EQ(t.RecordCount(), 1);
  EXPECT_EQ(t.FieldByName("note").AsString(), "one");
  t.Close();
}

TEST(MySQLTableRead, FieldWritesGoToTheRecordAsText) {
  Db db;
  db.Exec("drop table if exists w");
  db.Exec(
      "create table w (id int primary key, s varchar(4), bin varbinary(4), e enum('on','off'), "
      "f double, d date, tm time(3), dt datetime(6), bl blob, big bigint)");
  db.Exec("insert into w values (1, 'abcd', 'ab', 'on', 1.5, '2020-01-01', '01:02:03', '2020-01-01 00:00:00', 'xyz', 1)");
  TMySQLTable t;
  t.SetServer(&db.server);
  t.SetTableName("w");
  t.SetOptions(t.Options() + doEnumToBool + doCachedUpdates);
  t.Open();
  ASSERT_EQ(t.FieldByName("e").DataType(), ftBoolean);
  t.Edit();
  struct Case {
    const char* field;
    std::function<void(TField&)> write;
    std::string text;  // what the record then holds
  };
  const Case cases[] = {
      // K5: varchar(4) holds 16 bytes of utf8mb4; a character that does not fit whole
      // is left out, never cut.
      {"s", [](TField& f) { f.SetAsString("abcdefghijklmno\xF0\x9F\x98\x80"); }, "abcdefghijklmno"},
      {"s", [](TField& f) { f.SetAsString("a\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"); },
       "a\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"},
      {"s", [](TField& f) { f.SetAsString("abcdefghijklmnopq"); }, "abcdefghijklmnop"},
      {"s", [](TField& f) { f.SetAsString("   "); }, "   "},
      {"bin", [](TField& f) { f.SetAsString("\xC3\xA9\xC3\xA9\xC3"); }, "\xC3\xA9\xC3\xA9"},
      {"e", [](TField& f) { f.SetAsBoolean(false); }, "off"},
      {"f", [](TField& f) { f.SetAsFloat(0.1); }, "0.1"},
      {"d", [](TField& f) { f.SetAsDateTime(TDateTime{1999, 12, 31, 0, 0, 0, 0}); }, "1999-12-31"},
      {"tm", [](TField& f) { f.SetAsString("12:34:56.789"); }, "12:34:56.789000"},
      {"dt", [](TField& f) { f.SetAsDateTime(TDateTime{2001, 2, 3, 4, 5, 6, 0}); }, "2001-02-03 04:05:06"},
      {"big", [](TField& f) { f.SetAsLargeInt(-9223372036854775807LL); }, "-9223372036854775807"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TField& f = t.FieldByName(c.field);
    c.write(f);
    EXPECT_EQ(f.AsString(), c.text);
    EXPECT_TRUE(t.FindFieldInfo(c.field)->Modified);
  }
  t.FieldByName("s").Clear();
  EXPECT_TRUE(t.FieldByName("s").IsNull());

  // Blob streams: reading the record, writing at a position, and the refusals.
  {
    auto w = t.CreateBlobStream(t.FieldByName("bl"), bmReadWrite);
    EXPECT_EQ(w->ReadAll(), "xyz");
    w->Seek(1, TStream::soBeginning);
    w->WriteAll("AB");
    w->Seek(0, TStream::soEnd);
    w->WriteAll(std::string("\0!", 2));
  }
  EXPECT_EQ(t.FieldByName("bl").AsString(), std::string("xAB\0!", 5));
  {
    auto w = t.CreateBlobStream(t.FieldByName("bl"), bmWrite);
    EXPECT_EQ(w->Size(), 0) << "writing starts from an empty field";
  }
  t.Cancel();
  EXPECT_EQ(t.FieldByName("bl").AsString(), "xyz");
  try {
    t.CreateBlobStream(t.FieldByName("bl"), bmWrite);
    ADD_FAILURE() << "wrote outside edit mode";
  } catch (const mysql::EMySQLError& e) {
    EXPECT_NE(std::string(e.what()).find("Dataset not in edit or insert mode"), std::string::npos) << e.what();
  }
  t.Close();

  TMySQLDataset ro;
  Open(ro, db.server, "select id, bl, concat(bl, 'x') as c from w");
  ro.Edit();
  try {
    ro.CreateBlobStream(ro.FieldByName("c"), bmWrite);
    ADD_FAILURE() << "wrote a computed column";
  } catch (const mysql::EMySQLError& e) {
    EXPECT_NE(std::string(e.what()).find("Field is readonly"), std::string::npos) << e.what();
  }
  ro.Cancel();
  ro.Close();
}

}  // namespace
