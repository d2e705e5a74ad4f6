// The statement texts of the MySQL datasets without a server: defaults, macro scan and
// expansion, the filter merge, literals, key conditions, transactions, the creation script.
#include "mysql/components/mysql_statements.h"

#include <gtest/gtest.h>

#include <map>

#include "mysql/driver/driver.h"
#include "mysql/sqltext/name_quoting.h"
#include "mysql/sqltext/text_conv.h"

namespace {

std::string Escape(const std::string& s) {
  std::string out(2 * s.size() + 1, '\0');
  out.resize(mysql::TMySQLBase::EscapeDirect(out.data(), s.data(), static_cast<unsigned long>(s.size())));
  return out;
}

std::string Quote(const std::string& name) { return mysql::QuoteName(name, true, 100000); }

std::string Text(const mysql::TSBStringList& lines) {
  std::string out;
  for (const auto& l : lines) out += l + "\n";
  return out;
}

// A dataset as the macros see it: columns with a current and an old value each.
class FakeDataset : public TMySQLMacroContext {
 public:
  struct Col {
    TMacroColumn info;
    int typeCode = 253;
    std::optional<std::string> value, old;
  };
  std::vector<Col> cols;
  bool editCopy = false;
  std::string database = "shop", table = "t", firstTable, fieldName, filter;
  bool allFields = true;
  std::map<std::string, std::optional<std::string>> master;  // name -> literal ("NULL" when none)
  TParams macros;
  std::map<std::string, std::string> custom;

  Col& Add(const std::string& name, TFieldType type, std::optional<std::string> value, int typeCode = 253) {
    Col c;
    c.info.FieldName = name;
    c.info.Origin = "`t`." + Quote(name);
    c.info.Qualified = "t." + name;
    c.info.Table = "t";
    c.info.DataType = type;
    c.typeCode = typeCode;
    c.value = c.old = std::move(value);
    cols.push_back(c);
    return cols.back();
  }

  std::string QuoteName(const std::string& name) const override { return Quote(name); }
  std::string EscapeString(const std::string& text) const override { return Escape(text); }
  std::string DatabaseName() const override { return database; }
  std::string TableName() const override { return table; }
  std::string FirstResultTable() const override { return firstTable; }
  std::string FieldName() const override { return fieldName; }
  bool AllFields() const override { return allFields; }
  std::vector<std::string> DataFieldNames() const override {
    std::vector<std::string> out;
    for (const auto& c : cols) out.push_back(c.info.FieldName);
    return out;
  }
  std::vector<TMacroColumn> Columns() const override {
    std::vector<TMacroColumn> out;
    for (const auto& c : cols) out.push_back(c.info);
    return out;
  }
  std::string ColumnLiteral(int i, bool old) const override {
    const Col& c = cols.at(std::size_t(i));
    return ValueLiteral(c.info.DataType, c.typeCode, old && editCopy ? c.old : c.value, Escape);
  }
  std::optional<std::string> FieldLiteral(const std::string& name, bool old) const override {
    for (std::size_t i = 0; i < cols.size(); ++i)
      if (mysql::SameText(cols[i].info.FieldName, name)) return ColumnLiteral(int(i), old);
    return std::nullopt;
  }
  std::optional<std::string> MasterFieldLiteral(const std::string& name) const override {
    auto it = master.find(name);
    if (it == master.end()) return std::nullopt;
    return it->second ? *it->second : std::string("NULL");
  }
  std::string FilterText() const override { return filter; }
  TParams& Macros() override { return macros; }
  bool CustomMacro(const std::string& name, std::string& result) override {
    auto it = custom.find(name);
    if (it == custom.end()) return false;
    result = it->second;
    return true;
  }
};

const TMacroDelimiters kBrackets;

std::string Expand(FakeDataset& ds, const mysql::TSBStringList& lines, const TStatementTarget& target = {}) {
  std::string statement;
  for (const auto& l : lines) statement += (statement.empty() ? "" : "\r\n") + l;
  return std::string(ExpandStatement(ds, statement, kBrackets, target));
}

TEST(MySQLStatements, DefaultListsFollowTheDelimiters) {
  EXPECT_EQ(Text(DefaultSelectSQL(kBrackets)),
            "select [$FIELDS] from [$TABLENAME]\n [JOIN]\n [WHERE]\n [GROUPBY]\n [ORDER]\n [LIMIT]\n");
  EXPECT_EQ(Text(DefaultUpdateSQL(kBrackets)),
            "update [$TABLENAME] set [$MODIFIED$FIELDS&VALUES] where [$PRIMARYFIELDS&VALUES]\n");
  EXPECT_EQ(Text(DefaultInsertSQL(kBrackets)), "insert into [$TABLENAME] set [$MODIFIED$FIELDS&VALUES]\n");
  EXPECT_EQ(Text(DefaultDeleteSQL(kBrackets)), "delete from [$TABLENAME] where [$PRIMARYFIELDS&VALUES]\n");
  const TMacroDelimiters braces = ParseMacroDel("{{,}}");
  EXPECT_EQ(Text(DefaultDeleteSQL(braces)), "delete from {{$TABLENAME}} where {{$PRIMARYFIELDS&VALUES}}\n");
  // A MacroDel without one side keeps the default there.
  EXPECT_EQ(ParseMacroDel("<").Close, "]");
  EXPECT_EQ(ParseMacroDel("").Open, "[");
}

TEST(MySQLStatements, MacroScanKeepsValuesAndOrder) {
  TParams macros;
  RescanMacros(macros, {"(a = :id)", "select [$FIELDS] from [$TABLENAME] [WHERE] -- [NOT]\n where b=:id",
                        "update x set y=':quoted' [ X ]"},
               kBrackets, true);
  // Comments and strings hold no macros; a macro ends at a blank, so "[ X ]" is none.
  ASSERT_EQ(macros.Count(), 4);
  const std::vector<std::pair<std::string, TParamType>> want = {
      {"id", ptInput}, {"$FIELDS", ptUnknown}, {"$TABLENAME", ptUnknown}, {"WHERE", ptUnknown}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(macros[i].Name, want[std::size_t(i)].first);
    EXPECT_EQ(macros[i].ParamType, want[std::size_t(i)].second) << macros[i].Name;
  }
  macros.ParamByName("WHERE").SetAsString("where 1");
  // With the check the list is rebuilt, values kept by name; without it old names stay.
  RescanMacros(macros, {"[WHERE] [NEW]"}, kBrackets, true);
  ASSERT_EQ(macros.Count(), 2);
  EXPECT_EQ(macros.ParamByName("WHERE").AsString(), "where 1");
  RescanMacros(macros, {"[OTHER]"}, kBrackets, false);
  EXPECT_EQ(macros.Count(), 3);
}

TEST(MySQLStatements, FilterMergePlaces) {
  const std::string f = "((1=0))";
  struct Case {
    const char* select;
    const char* merged;
  } cases[] = {
      {"select * from t", "select * from t where ((1=0))"},
      {"select * from t     ", "select * from t where ((1=0))"},
      {"select * from t;", "select * from t where ((1=0));"},
      {"SELECT * FROM t WHERE a=1", "SELECT * FROM t where ((1=0)) and (a=1)"},
      // The old condition keeps its parentheses, so its OR cannot escape the filter.
      {"select * from t where a=1 or b=2 order by a", "select * from t where ((1=0)) and (a=1 or b=2) order by a"},
      {"select * from t where a=1 limit 3;", "select * from t where ((1=0)) and (a=1) limit 3;"},
      {"select a from t group by a having count(*)>1", "select a from t where ((1=0)) group by a having count(*)>1"},
      {"select * from t order by a", "select * from t where ((1=0)) order by a"},
      {"select * from t limit 1 procedure analyse()", "select * from t where ((1=0)) limit 1 procedure analyse()"},
      // Words in strings, names, comments and subqueries are not clauses of this select.
      {"select 'where', `order` from t", "select 'where', `order` from t where ((1=0))"},
      {"select * from (select a from x where a>1 order by a) s", "select * from (select a from x where a>1 order by a) s where ((1=0))"},
      {"select * from t /* where */", "select * from t /* where */ where ((1=0))"},
  };
  for (const auto& c : cases) EXPECT_EQ(MergeFilter(c.select, f), c.merged) << c.select;
  EXPECT_EQ(MergeFilter("select * from t where a=1", ""), "select * from t where a=1");
  EXPECT_TRUE(IsSelectStatement("  /* x */ Select 1"));
  EXPECT_FALSE(IsSelectStatement("update t set a=1"));
  EXPECT_FALSE(IsSelectStatement("selected"));
}

TEST(MySQLStatements, FilterTextWithMasterLinks) {
  EXPECT_EQ(FilterText(true, "(1=0)", {}, Quote), "((1=0))");
  EXPECT_EQ(FilterText(false, "(1=0)", {}, Quote), "");
  EXPECT_EQ(FilterText(true, "", {}, Quote), "");
  // A closed or empty master (or a null value) links with "=NULL", which matches nothing.
  const std::vector<TMasterValue> master = {{"order id", std::string("7")}, {"kind", std::nullopt}};
  EXPECT_EQ(FilterText(false, "", master, Quote), "(`order id`=7) AND (kind=NULL)");
  EXPECT_EQ(FilterText(true, "a>1", master, Quote), "(`order id`=7) AND (kind=NULL) AND (a>1)");
  const auto pairs = ParseMasterFields(" a=id ; b ;");
  ASSERT_EQ(pairs.size(), 2u);
  EXPECT_EQ(pairs[0], std::make_pair(std::string("a"), std::string("id")));
  EXPECT_EQ(pairs[1], std::make_pair(std::string("b"), std::string("b")));
}

TEST(MySQLStatements, ValueLiterals) {
  struct Case {
    TFieldType type;
    int typeCode;
    std::optional<std::string> value;
    const char* literal;
  } cases[] = {
      {ftString, 253, std::nullopt, "NULL"},
      {ftInteger, 3, std::string("42"), "42"},
      {ftLargeint, 8, std::string("-9223372036854775808"), "-9223372036854775808"},
      {ftString, 253, std::string("it's"), "'it\\'s'"},
      {ftString, 253, std::string("a\\b\n\0c", 6), "'a\\\\b\\n\\0c'"},
      {ftString, 253, std::string(""), "''"},
      {ftString, 253, std::string("   "), "'   '"},
      {ftBlob, 252, std::string("\x01\xAB"), "0x01AB"},
      {ftMemo, 252, std::string("ab"), "0x6162"},
      {ftBlob, 252, std::string(""), "''"},
      {ftBlob, 252, std::nullopt, "NULL"},
      {ftFloat, 5, std::string("1.5"), "'1.5'"},
      {ftDateTime, 12, std::string("2007-01-02 03:04:05"), "'2007-01-02 03:04:05'"},
      // A BIT column is written as its number; a quoted text would set the digits' bits.
      {ftString, 16, std::string("18446744073709551615"), "18446744073709551615"},
      {ftWord, 16, std::string("5"), "5"},
      // A bare place only ever takes a number.
      {ftInteger, 3, std::string("1 or 1=1"), "'1 or 1=1'"},
      {ftString, 16, std::string("x'"), "'x\\''"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ValueLiteral(c.type, c.typeCode, c.value, Escape), c.literal) << FieldTypeName(c.type);
}

TEST(MySQLStatements, MacroParameterValues) {
  auto param = [](TFieldType type, TParamType pt, TFieldValue v) {
    TParam p;
    p.DataType = type;
    p.ParamType = pt;
    p.Value = std::move(v);
    return p;
  };
  struct Case {
    TParam p;
    const char* text;
  } cases[] = {
      {param(ftUnknown, ptInput, {}), "NULL"},
      {param(ftUnknown, ptUnknown, {}), ""},
      {param(ftString, ptInput, std::string("o'k")), "'o\\'k'"},
      {param(ftString, ptUnknown, std::string("order by a")), "order by a"},
      {param(ftUnknown, ptUnknown, std::string("x")), "'x'"},
      {param(ftInteger, ptInput, std::int64_t{-5}), "-5"},
      {param(ftBoolean, ptInput, true), "1"},
      {param(ftBoolean, ptInput, false), "0"},
      {param(ftFloat, ptInput, 2.5), "2.5"},
      {param(ftDate, ptInput, TDateTime{2024, 2, 29}), "'2024-02-29'"},
      {param(ftTime, ptInput, TDateTime{0, 0, 0, 12, 34, 56}), "'12:34:56'"},
      {param(ftDateTime, ptInput, TDateTime{2024, 2, 29, 1, 2, 3}), "'2024-02-29 01:02:03'"},
      {param(ftBlob, ptInput, std::string("\xff")), "0xFF"},
      {param(ftMemo, ptInput, std::string("m\\")), "'m\\\\'"},
  };
  for (const auto& c : cases) EXPECT_EQ(ParamLiteral(c.p, Escape), c.text) << FieldTypeName(c.p.DataType);
}

TEST(MySQLStatements, KeyConditions) {
  // A null key compares with IS NULL, which finds the row ("=NULL" finds none).
  EXPECT_EQ(KeyCondition({{"`a`", ftInteger, "1"}, {"`b`", ftString, "NULL"}}), "(`a`=1) AND (`b` IS NULL)");
  EXPECT_EQ(KeyCondition({{"`f`", ftFloat, "'1.5'"}, {"`m`", ftMemo, "0x61"}, {"`a`", ftInteger, "2"}}), "(`a`=2)");
  EXPECT_EQ(KeyCondition({{"`f`", ftFloat, "'1.5'"}}, false), "(`f`='1.5')");
  EXPECT_EQ(KeyCondition({{"`f`", ftFloat, "'1.5'"}}), kNoKeyCondition);
  EXPECT_EQ(KeyCondition({}), kNoKeyCondition);
}

// The posting statements of the default templates, as the dataset's edge cases give them.
TEST(MySQLStatements, PostingStatements) {
  FakeDataset ds;
  ds.Add("a", ftInteger, "1", 3).info.Primary = true;
  ds.Add("b", ftString, "old");
  // Editing b: only b is set, the key condition uses a's value.
  ds.editCopy = true;
  ds.cols[1].value = "new";
  ds.cols[1].info.Modified = true;
  EXPECT_EQ(Expand(ds, DefaultUpdateSQL(kBrackets)), "update t set `t`.b='new' where (`t`.a=1)");

  // Editing the key itself: the condition takes the old key from the edit copy.
  ds.cols[1].info.Modified = false;
  ds.cols[0].value = "2";
  ds.cols[0].info.Modified = true;
  EXPECT_EQ(Expand(ds, DefaultUpdateSQL(kBrackets)), "update t set `t`.a=2 where (`t`.a=1)");

  // No key and no FieldName: every column but floats, blobs and memos, with old values;
  // a NULL one with IS NULL.
  FakeDataset nokey;
  nokey.editCopy = true;
  nokey.Add("i", ftInteger, "3", 3).value = "4";
  nokey.Add("s", ftString, std::nullopt);
  nokey.Add("f", ftFloat, "1.5", 5);
  nokey.Add("m", ftMemo, "text", 252);
  nokey.Add("g", ftBlob, "\x01", 252);
  EXPECT_EQ(Expand(nokey, DefaultDeleteSQL(kBrackets)), "delete from t where (`t`.i=3) AND (`t`.s IS NULL)");
  // FieldName stands in for a missing primary key, in its own order.
  nokey.fieldName = "s;i";
  EXPECT_EQ(Expand(nokey, DefaultDeleteSQL(kBrackets)), "delete from t where (`t`.s IS NULL) AND (`t`.i=3)");
  // Only floats: nothing to find the row by, so the server must refuse the statement.
  FakeDataset floats;
  floats.Add("f", ftFloat, "1.5", 5);
  EXPECT_EQ(Expand(floats, DefaultDeleteSQL(kBrackets)), std::string("delete from t where ") + kNoKeyCondition);

  // Insert: the modified, writable columns.
  FakeDataset ins;
  ins.Add("id", ftAutoInc, std::nullopt, 3).info.ReadOnly = true;
  ins.Add("name", ftString, "x'y").info.Modified = true;
  ins.Add("n", ftInteger, std::nullopt, 3).info.Modified = true;
  ins.cols[0].info.Modified = true;
  EXPECT_EQ(Expand(ins, DefaultInsertSQL(kBrackets)), "insert into t set `t`.name='x\\'y',`t`.n=NULL");
}

TEST(MySQLStatements, MacroTable) {
  FakeDataset ds;
  ds.database = "my db";
  ds.table = "order";
  ds.Add("a", ftInteger, "1", 3).info.Unique = true;
  ds.cols[0].info.Modified = true;
  ds.Add("b", ftString, "x").info.Multiple = true;
  ds.editCopy = true;
  ds.cols[1].old = "w";
  ds.fieldName = "b,a";
  ds.master["mid"] = std::string("9");
  ds.master["gone"] = std::nullopt;
  ds.macros.Add("P", ftInteger, ptInput).Value = std::int64_t{5};
  ds.custom["MINE"] = "mine!";
  ds.custom["$FIELDS"] = "overridden";
  struct Case {
    const char* macro;
    const char* expansion;
  } cases[] = {
      {"$DATABASENAME", "`my db`"},
      {"$TABLENAME", "`order`"},
      {"$FIELDNAME", "b"},
      {"$FIELDS", "overridden"},  // OnMacro comes first
      {"$MODIFIED$FIELDS&VALUES", "`t`.a=1"},
      {"$UNMODIFIED$FIELDS&VALUES", "`t`.b='x'"},
      {"$MODIFIED$FIELD$NAMES", "`t`.a"},
      {"$UNMODIFIED$FIELD$NAMES", "`t`.b"},
      {"$MODIFIED$FIELD$VALUES", "1"},
      {"$UNMODIFIED$FIELD$VALUES", "'x'"},
      {"$PRIMARYFIELDS&VALUES", "(`t`.b='w') AND (`t`.a=1)"},
      {"$FIELDNAMES&VALUES", "(`t`.b='w') AND (`t`.a=1)"},
      {"$UNIQUEFIELDS&VALUES", "(`t`.a=1)"},
      {"$MULTIFIELDS&VALUES", "(`t`.b='w')"},
      {"$OLD$FIELDS&VALUES", "(`t`.a=1) AND (`t`.b='w')"},
      {"$FIELDNAMES&VALUES$COMMA", "`t`.b='x',`t`.a=1"},
      {"$FIELDNAME$VALUE", "'x'"},
      {"$OLD$b", "'w'"},
      {"b", "'x'"},
      {"mid", "9"},
      {"gone", "NULL"},
      {"P", "5"},
      {"MINE", "mine!"},
      {"nothing", ""},
      {"$fields", ""},  // names are exact, with case
  };
  for (const auto& c : cases) EXPECT_EQ(ExpandMacro(ds, c.macro, kBrackets), c.expansion) << c.macro;

  // $TABLENAME: the posted table as it is, else TableName, else the result's first table.
  EXPECT_EQ(ExpandMacro(ds, "$TABLENAME", kBrackets, {"", "`db`.`x`", "x"}), "`db`.`x`");
  ds.table.clear();
  ds.firstTable = "`shop`.`t`";
  EXPECT_EQ(ExpandMacro(ds, "$TABLENAME", kBrackets), "`shop`.`t`");
  ds.firstTable.clear();
  EXPECT_EQ(ExpandMacro(ds, "$TABLENAME", kBrackets), "PleaseSpecifyATableNameProperty");
  EXPECT_EQ(ExpandMacro(ds, "$DATABASENAME", kBrackets, {"other", "", ""}), "other");
}

TEST(MySQLStatements, FieldsWhereAndTheReadTemplate) {
  FakeDataset ds;
  ds.Add("a", ftInteger, "1", 3);
  ds.Add("order", ftString, "x");
  // The template's JOIN ... LIMIT are the user's parameters: the column "order" stays out.
  EXPECT_EQ(Expand(ds, DefaultSelectSQL(kBrackets)), "select * from t     ");
  ds.allFields = false;
  ds.filter = "(1=0)";
  EXPECT_EQ(Expand(ds, DefaultSelectSQL(kBrackets)), "select a,`order` from t where (1=0)");
  // Macros in the filter are expanded too; $WHERE carries it.
  ds.filter = "(a=:P)";
  ds.macros.Add("P", ftString, ptInput).Value = std::string("q'");
  EXPECT_EQ(ExpandMacro(ds, "$WHERE", kBrackets), "where (a='q\\'')");
  ds.filter.clear();
  EXPECT_EQ(ExpandMacro(ds, "$WHERE", kBrackets), "");
  // User macros of the read template: raw text, or nothing when unset.
  ds.macros.Add("ORDER", ftString, ptUnknown).Value = std::string("order by a desc");
  EXPECT_EQ(ExpandStatement(ds, "select * from t [JOIN] [ORDER]", kBrackets), "select * from t  order by a desc");
}

// Posting for one table of a join: the column macros keep to that table's columns.
TEST(MySQLStatements, PerTablePosting) {
  FakeDataset ds;
  ds.Add("id", ftInteger, "1", 3).info.Primary = true;
  ds.Add("name", ftString, "n").info.Modified = true;
  auto& oid = ds.Add("oid", ftInteger, "7", 3).info;
  oid.Table = "o";
  oid.Origin = "`o`.`oid`";
  oid.Primary = true;
  auto& note = ds.Add("note", ftString, "z").info;
  note.Table = "o";
  note.Origin = "`o`.`note`";
  note.Modified = true;
  EXPECT_EQ(Expand(ds, DefaultUpdateSQL(kBrackets), {"", "`o`", "o"}),
            "update `o` set `o`.`note`='z' where (`o`.`oid`=7)");
  EXPECT_EQ(Expand(ds, DefaultUpdateSQL(kBrackets), {"", "`t`", "t"}),
            "update `t` set `t`.name='n' where (`t`.id=1)");
}

TEST(MySQLStatements, ParameterMarksBecomeNumberedMacros) {
  int n = 0;
  EXPECT_EQ(NumberParamMarks("update t set a=?, b='?', `c?`=? -- ?\n where d=?", kBrackets, &n),
            "update t set a=[1], b='?', `c?`=[2] -- ?\n where d=[3]");
  EXPECT_EQ(n, 3);
}

TEST(MySQLStatements, TransactionsByServerVersion) {
  EXPECT_FALSE(TransactionsApply(true, 40010));
  EXPECT_TRUE(TransactionsApply(true, 40011));
  EXPECT_FALSE(TransactionsApply(false, 50000));
  EXPECT_STREQ(TransactionStatement(TTransactionStep::Begin), "start transaction;");
  EXPECT_STREQ(TransactionStatement(TTransactionStep::Commit), "commit;");
  EXPECT_STREQ(TransactionStatement(TTransactionStep::Rollback), "rollback;");
}

TEST(MySQLStatements, TableCreationScript) {
  TFieldDefs defs;
  defs.Add("id", ftAutoInc, 0, true);
  defs.Add("code", ftString, 10, true).Attributes.Include(faFixed);
  defs.Add("name", ftString, 255);
  defs.Add("notes", ftMemo, 70000);
  defs.Add("price", ftFloat);
  TFieldDef& money = defs.Add("money", ftCurrency, 2);
  money.Precision = 12;
  defs.Add("born", ftDate);
  defs.Add("photo", ftBlob, 100);
  defs.Add("odd", ftGuid);
  TIndexDefs indexes;
  indexes.Add("PRIMARY", "id", {ixPrimary});
  indexes.Add("by name", "name;code", {ixUnique});
  indexes.Add("k", "born", {});
  TCreateTableRequest request{"shop", "order", true, false, &defs, &indexes};
  EXPECT_EQ(Text(TableCreationScript(request, Quote)),
            "use shop;\n"
            "drop table if exists `order`;\n"
            "create  table if not exists `order` (\n"
            "id\n int not null auto_increment,\n"
            "code\n char(10) not null,\n"
            "name\n varchar(255) ,\n"
            "notes\n mediumtext ,\n"
            "price\n double ,\n"  // double precision: a float column would lose digits
            "money\n decimal(12,2) ,\n"
            "born\n date ,\n"
            "photo\n tinyblob ,\n"
            "odd\n varchar(255) ,\n"
            " primary key (\nid),\n"
            " unique index `by name` (\nname,code),\n"
            " index k (\nborn)\n"
            ");\n");

  // No field definitions: an ID key column; the script stays valid SQL.
  TCreateTableRequest bare{"shop", "t", false, true, nullptr, nullptr};
  EXPECT_EQ(Text(TableCreationScript(bare, Quote)),
            "use shop;\ncreate temporary table if not exists t (\n"
            "ID int not null auto_increment,primary key (ID)\n);\n");
  EXPECT_TRUE(TableCreationScript({"", "t", false, false, &defs, nullptr}, Quote).Empty());
  EXPECT_TRUE(TableCreationScript({"shop", "", false, false, &defs, nullptr}, Quote).Empty());

  struct TypeCase {
    TFieldType type;
    int size;
    const char* line;
  } types[] = {
      {ftString, 65535, " text ,"},       {ftString, 16777216, " longtext ,"}, {ftFixedChar, 5, " char(5) ,"},
      {ftSmallint, 0, " smallint ,"},     {ftWord, 0, " int ,"},               {ftBoolean, 0, " tinyint(1) ,"},
      {ftTime, 0, " time ,"},             {ftDateTime, 0, " datetime ,"},      {ftVarBytes, 300, " blob ,"},
      {ftGraphic, 70000, " mediumblob ,"}, {ftBytes, 16777216, " longblob ,"}, {ftLargeint, 0, " bigint ,"},
      {ftTimeStamp, 0, " timestamp ,"},
  };
  for (const auto& t : types) {
    TFieldDef def("x", t.type, t.size, false, 1);
    EXPECT_EQ(ColumnTypeLine(def), t.line) << FieldTypeName(t.type);
  }
}

}  // namespace
