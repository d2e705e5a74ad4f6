// Every common MySQL column type copied MySQL to MySQL, compared value by value on the
// server: after the rows are transferred and again after the update pass, with the
// source read through ODBC and streamed through the built-in client.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "ado/variant_print.h"
#include "integration/job/job_run.h"
#include "job/process_state.h"
#include "platform/ado/mysql/mysql_stream.h"

namespace jobtest {
namespace {

struct Column {
  const char* name;
  const char* type;
  // Compared as bytes (text, binary) rather than as values (numbers, dates).
  bool asBytes;
  // The destination column is declared as the source's (type, character set,
  // collation, default, extra); the others become the nearest type that holds them.
  bool keepsType = true;
};

// clang-format off
const Column kColumns[] = {
    {"ti", "TINYINT", false},            {"tiu", "TINYINT UNSIGNED", false, false},
    {"si", "SMALLINT", false},           {"siu", "SMALLINT UNSIGNED", false, false},
    {"mi", "MEDIUMINT", false, false},          {"miu", "MEDIUMINT UNSIGNED", false, false},
    {"i", "INT", false},                 {"iu", "INT UNSIGNED", false, false},
    {"bi", "BIGINT", false},             {"biu", "BIGINT UNSIGNED", false, false},
    {"bo", "TINYINT(1)", false},
    {"d65", "DECIMAL(65,30)", false},    {"d10", "DECIMAL(10,2)", false},
    {"d20", "DECIMAL(20,0) UNSIGNED", false, false},
    {"f", "FLOAT", false},               {"g", "DOUBLE", false},
    // Wider bits arrive as their bytes and go back into a bit field.
    {"b1", "BIT(1)", false, false},             {"b8", "BIT(8)", true},
    {"b64", "BIT(64)", true},
    {"c", "CHAR(10)", true},             {"vc", "VARCHAR(255)", true},
    {"tt", "TINYTEXT", true},            {"tx", "TEXT", true},
    {"mt", "MEDIUMTEXT", true},          {"lt", "LONGTEXT", true},
    {"bn", "BINARY(8)", true},           {"vb", "VARBINARY(300)", true},
    {"tb", "TINYBLOB", true},            {"bl", "BLOB", true},
    {"mb", "MEDIUMBLOB", true},          {"lb", "LONGBLOB", true},
    {"dt", "DATE", false},               {"tm", "TIME", false},
    {"tm6", "TIME(6)", false},           {"dtm", "DATETIME", false},
    {"dtm6", "DATETIME(6)", false},      {"ts", "TIMESTAMP NULL", false},
    {"yr", "YEAR", false, false},
    {"en", "ENUM('a','b','ü😀')", true, false},
    {"st", "SET('x','y','z')", true, false},
};

// One row per line: the lower limits, the upper limits, ordinary and awkward values,
// and NULL in every column.
const char* const kRows[] = {
    "(1, -128, 0, -32768, 0, -8388608, 0, -2147483648, 0, -9223372036854775808, 0, 0,"
    " '-99999999999999999999999999999999999.999999999999999999999999999999', -99999999.99, 0,"
    " -3.40282e38, -1.7976931348623157e308, b'0', b'00000000', b'0',"
    " '', '', '', '', '', '', X'0000000000000000', '', '', '', '', '',"
    " '1000-01-01', '-838:59:59', '-838:59:59.000000', '1000-01-01 00:00:00',"
    " '1000-01-01 00:00:00.000000', '1970-01-02 00:00:00', 1901, 'a', '')",
    "(2, 127, 255, 32767, 65535, 8388607, 16777215, 2147483647, 4294967295,"
    " 9223372036854775807, 18446744073709551615, 1,"
    " '99999999999999999999999999999999999.999999999999999999999999999999', 99999999.99,"
    " 99999999999999999999, 3.40282e38, 1.7976931348623157e308, b'1', b'11111111',"
    " b'1111111111111111111111111111111111111111111111111111111111111111',"
    " 'ZZZZZZZZZZ', REPEAT('😀', 255), REPEAT('x', 255), REPEAT('é😀.', 9362),"
    " REPEAT('中😀', 30000), REPEAT('𝄞ab\\\\', 80000),"
    " X'FFFFFFFFFFFFFFFF', REPEAT(X'FF00', 150), REPEAT(X'00', 255), REPEAT(X'00FF01', 21845),"
    " REPEAT(X'0001FEFF', 40000), REPEAT(X'DEADBEEF00', 80000),"
    " '9999-12-31', '838:59:59', '838:59:59.000000', '9999-12-31 23:59:59',"
    " '9999-12-31 23:59:59.999999', '2037-12-31 23:59:59', 2155, 'ü😀', 'x,y,z')",
    "(3, 0, 1, -1, 1, 0, 1, 0, 1, 0, 1, 2,"
    " '0.000000000000000000000000000001', -0.01, 1,"
    " 1.17549e-38, 2.2250738585072014e-308, b'1', b'10100101', b'1000000000000000000000000000000000000000000000000000000000000001',"
    " 'Zoë', 'it''s a \\\\ \"q\" \\0 zero', 'naïve', 'line\\nbreak\\ttab\\r', 'ß', 'Ω',"
    " X'0001020300FF0000', X'00', X'27', X'5C00', X'', X'00',"
    " '2024-02-29', '00:00:00', '12:34:56.789012', '2024-02-29 12:00:00',"
    " '2024-02-29 23:59:59.000001', '1999-12-31 23:59:59', 2000, 'b', 'y')",
    "(4, 5, 200, 1000, 1000, -5, 5, -7, 7, -1, 1, -1,"
    " '-1.5', 0.1, 12345678901234567890,"
    " 0.1, 0.1, b'0', b'1', b'1',"
    " 'a  b', 'trailing  ', 'A', 'a', 'The Quick', 'brown',"
    " X'61', X'41', X'61', X'41', X'61', X'41',"
    " '2000-01-01', '-00:00:01', '-12:00:00.5', '2000-01-01 00:00:00',"
    " '2000-01-01 00:00:00.5', '2000-01-01 00:00:00', 1999, 'a', 'x,z')",
    // Values a short text form would round: floats needing all their digits.
    "(6, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, '1', 1, 1,"
    " 16777216, 0.30000000000000004, b'1', b'1', b'1',"
    " 'x', 'x', 'x', 'x', 'x', 'x', X'01', X'01', X'01', X'01', X'01', X'01',"
    " '2001-01-01', '01:00:00', '01:00:00.000001', '2001-01-01 00:00:00',"
    " '2001-01-01 00:00:00.000001', '2001-01-01 00:00:00', 2001, 'a', 'x')",
    "(7, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, '2', 2, 2,"
    " 0.333333343267, 123456789.12345679, b'0', b'0', b'0',"
    " 'y', 'y', 'y', 'y', 'y', 'y', X'02', X'02', X'02', X'02', X'02', X'02',"
    " '2002-01-01', '02:00:00', '02:00:00', '2002-01-01 00:00:00',"
    " '2002-01-01 00:00:00', '2002-01-01 00:00:00', 2002, 'b', 'y')",
    // MySQL's zero and partial-zero dates, which only MySQL holds.
    "(8, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, '3', 3, 3,"
    " 3, 3, b'0', b'0', b'0',"
    " 'z', 'z', 'z', 'z', 'z', 'z', X'03', X'03', X'03', X'03', X'03', X'03',"
    " '0000-00-00', '03:00:00', '03:00:00', '0000-00-00 00:00:00',"
    " '0000-00-00 00:00:00.000000', '0000-00-00 00:00:00', 2003, 'a', 'z')",
    "(9, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, '4', 4, 4,"
    " 4, 4, b'1', b'1', b'1',"
    " 'p', 'p', 'p', 'p', 'p', 'p', X'04', X'04', X'04', X'04', X'04', X'04',"
    " '2021-00-00', '04:00:00', '04:00:00', '2021-03-00 10:00:00',"
    " '2021-00-05 00:00:00.500000', '2004-01-01 00:00:00', 2004, 'b', 'x')",
    "(5, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL,"
    " NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL,"
    " NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL)",
};
// clang-format on

class EveryType : public JobDatabases {
 protected:
  void CreateSource() {
    std::string create = "CREATE TABLE every_type (id INT NOT NULL PRIMARY KEY";
    for (const Column& c : kColumns) create += std::string(", `") + c.name + "` " + c.type;
    create += ") CHARACTER SET utf8mb4";
    std::string insert = "INSERT INTO every_type VALUES ";
    for (std::size_t i = 0; i < std::size(kRows); ++i)
      insert += (i ? ", " : "") + std::string(kRows[i]);
    OnSource({"SET SESSION sql_mode = 'STRICT_ALL_TABLES'", create, insert});
    ASSERT_EQ(Scalar("SELECT COUNT(*) FROM `" + srcDb + "`.every_type"),
              std::to_string(std::size(kRows)));
  }

  // The ids whose value in the column differs between source and destination.
  void ExpectEqualEverywhere(const char* when) {
    ASSERT_EQ(Scalar("SELECT COUNT(*) FROM `" + dstDb + "`.every_type"),
              std::to_string(std::size(kRows)))
        << when;
    for (const Column& c : kColumns) {
      const std::string s = std::string("s.`") + c.name + "`";
      const std::string d = std::string("d.`") + c.name + "`";
      const std::string same =
          c.asBytes ? "CAST(" + s + " AS BINARY) <=> CAST(" + d + " AS BINARY)" : s + " <=> " + d;
      const auto differing = Rows(
          "SELECT s.id, HEX(" + s + "), HEX(" + d + ") FROM `" + srcDb + "`.every_type s JOIN `" +
          dstDb + "`.every_type d ON d.id = s.id WHERE NOT (" + same + ") ORDER BY s.id");
      std::string detail;
      for (const auto& r : differing)
        detail += "\n  id " + r[0] + ": source " + r[1].substr(0, 80) + ", destination " +
                  r[2].substr(0, 80);
      EXPECT_TRUE(differing.empty()) << when << ": column " << c.name << " " << c.type << detail;
    }
  }

  // The columns of a destination table whose declaration differs from the source's.
  std::string DeclarationDifferences(const std::string& table,
                                     const std::vector<std::string>& columns) {
    std::string out;
    for (const std::string& c : columns) {
      const std::string query =
          "SELECT COLUMN_TYPE, IFNULL(CHARACTER_SET_NAME, '-'), IFNULL(COLLATION_NAME, '-'), "
          "IFNULL(COLUMN_DEFAULT, '-'), EXTRA, IFNULL(GENERATION_EXPRESSION, '-') FROM "
          "information_schema.COLUMNS WHERE TABLE_NAME = '" +
          table + "' AND COLUMN_NAME = '" + c + "' AND TABLE_SCHEMA = ";
      const auto source = Rows(query + "'" + srcDb + "'");
      const auto dest = Rows(query + "'" + dstDb + "'");
      if (source == dest) continue;
      out += "\n  " + c + ":";
      for (const auto* side : {&source, &dest}) {
        out += " [";
        for (const auto& row : *side)
          for (const auto& v : row) out += v + "|";
        out += "]";
      }
    }
    return out;
  }

  RecordingView view;
  ui::RecordingMessages messages;
};

class DataFidelity : public EveryType, public RoutesAndModes {
 protected:
  void SetUp() override {
    EveryType::SetUp();
    UseSourceRoute(GetParam().route);
  }
  void TearDown() override {
    EveryType::TearDown();
    unsetenv("QUILLMARK_MYSQL_STREAM");
  }
};

INSTANTIATE_TEST_SUITE_P(RoutesAndModes, DataFidelity, RouteAndModeValues(), RouteAndModeName);

TEST_P(DataFidelity, EveryValueArrivesAndTheUpdatePassKeepsIt) {
  CreateSource();
  TProjectSettings copy = AllPhases();
  copy.UpdateData = false;
  RunMySQLJob(copy, view, messages);
  EXPECT_TRUE(ErrorLog.empty()) << view.LogLines().text();
  ExpectEqualEverywhere("after the transfer");
  std::vector<std::string> kept;
  for (const Column& c : kColumns)
    if (c.keepsType) kept.push_back(c.name);
  EXPECT_EQ(DeclarationDifferences("every_type", kept), "");

  TProjectSettings update = AllPhases();
  update.DropIfExist = update.CreateObject = update.TransferData = false;
  RunMySQLJob(update, view, messages);
  EXPECT_TRUE(ErrorLog.empty()) << view.LogLines().text();
  const auto log = view.LogTexts();
  EXPECT_NE(std::find(log.begin(), log.end(),
                      std::to_string(std::size(kRows)) + " updated, 0 update failed."),
            log.end())
      << view.LogLines().text();
  ExpectEqualEverywhere("after the update pass");
}

// What the statement builders get: every cell of every type read through ODBC and
// through the built-in client's stream is the same value of the same kind.
TEST_F(EveryType, BothReadingRoutesGiveTheSameValueInEveryCell) {
  CreateSource();
  const ado::ConnectionString source(kSourceString);
  std::string why;
  const auto address = ado::mysqlstream::AddressFor(source, &why);
  ASSERT_TRUE(address) << why;
  std::string sql = "SELECT `id`";
  for (const Column& c : kColumns) sql += std::string(", `") + c.name + "`";
  sql += " FROM `every_type`;";

  ado::Connection odbc(kSourceString);
  odbc.open();
  auto viaOdbc = odbc.openQuery(sql);
  ado::mysqlstream::StreamQuery streamed(
      std::make_shared<ado::mysqlstream::ClientPool>(*address, ado::odbc::Timeouts{}), sql);
  ASSERT_EQ(streamed.fieldCount(), viaOdbc->fieldCount());
  std::size_t rows = 0;
  for (viaOdbc->first(), streamed.first(); !viaOdbc->eof(); viaOdbc->next(), streamed.next()) {
    ASSERT_FALSE(streamed.eof()) << "the stream ended after " << rows << " rows";
    ++rows;
    for (int i = 0; i < viaOdbc->fieldCount(); ++i)
      EXPECT_EQ(streamed.value(i), viaOdbc->value(i))
          << "id " << ado::VariantToText(viaOdbc->value(0)) << ", column "
          << viaOdbc->fieldName(i);
  }
  EXPECT_TRUE(streamed.eof());
  EXPECT_EQ(rows, std::size(kRows));
}

// The update pass writes every value it sets: a destination whose values all differ
// from the source's ends equal to it.
TEST_P(DataFidelity, TheUpdatePassWritesEveryValueItSets) {
  CreateSource();
  TProjectSettings copy = AllPhases();
  copy.UpdateData = false;
  RunMySQLJob(copy, view, messages);
  ASSERT_TRUE(ErrorLog.empty()) << view.LogLines().text();
  // Set every column the update pass writes (all but the key) to NULL in the
  // destination, then update from the source.
  std::string clear = "UPDATE `" + dstDb + "`.every_type SET ";
  bool first = true;
  for (const Column& c : kColumns) {
    clear += (first ? "`" : ", `") + std::string(c.name) + "` = NULL";
    first = false;
  }
  admin.execute(clear);
  TProjectSettings update = AllPhases();
  update.DropIfExist = update.CreateObject = update.TransferData = false;
  RunMySQLJob(update, view, messages);
  EXPECT_TRUE(ErrorLog.empty()) << view.LogLines().text();
  ExpectEqualEverywhere("after updating a cleared copy");
}

// What makes values distinct and how columns are filled survives a copy between two
// MySQL databases: collations ('a' and 'A' are two keys under a binary one), binary
// keys, key prefixes, invisible and generated columns, floats at their limits, line
// breaks inside text, and latin1 tables whose row would not fit in utf8mb4.
TEST_P(DataFidelity, DeclarationsThatDecideValuesAreKept) {
  OnSource({"SET SESSION sql_mode = 'STRICT_ALL_TABLES'",
            "CREATE TABLE kept (k VARCHAR(10) CHARACTER SET utf8mb4 COLLATE utf8mb4_bin NOT NULL,"
            " bk VARBINARY(16) NOT NULL, t VARCHAR(40) COLLATE latin1_general_cs,"
            " hidden INT INVISIBLE, a INT, twice INT AS (a * 2) VIRTUAL,"
            " label VARCHAR(30) AS (CONCAT(k, '-', a)) PERSISTENT, f FLOAT, breaks TEXT,"
            " bits BIT(12), wide1 VARCHAR(20000), wide2 VARCHAR(20000), wide3 VARCHAR(20000),"
            " PRIMARY KEY (k, bk), UNIQUE KEY t_prefix (t(3))) CHARACTER SET latin1",
            "INSERT INTO kept (k, bk, t, hidden, a, f, breaks, bits, wide1, wide2, wide3) VALUES"
            " ('a', X'01', 'Abc', 5, 1, 3.4028234e38, 'one\\r\\ntwo\\r\\n', b'101010101010',"
            "  REPEAT('x', 20000), REPEAT('y', 20000), REPEAT('z', 20000)),"
            " ('A', X'01', 'abc', 6, 2, -3.4028234e38, '\\r', b'0', '', '', ''),"
            " ('a', X'0100', NULL, NULL, NULL, 1.17549435e-38, '\\n\\n', NULL, NULL, NULL, NULL)",
            "CREATE TABLE prefixed (t TEXT NOT NULL, b BLOB NOT NULL, v INT,"
            " PRIMARY KEY (t(10), b(4)))",
            "INSERT INTO prefixed VALUES ('same start, one', X'00010203', 1),"
            " ('same start, two', X'00010204', 2)",
            // A timestamp key column: MySQL refuses one declared NULL, so it is created
            // NOT NULL with a default; the server takes it and every value arrives.
            "CREATE TABLE stamped (at TIMESTAMP(3) NOT NULL, v INT, PRIMARY KEY (at))",
            "INSERT INTO stamped VALUES ('2038-01-19 03:14:07.999', 1), ('1970-01-01 00:00:01', 2)"});
  const std::string script = WorkDir() + "/kept.sql";
  RunMySQLJob(AllPhases(script), view, messages);
  EXPECT_TRUE(ErrorLog.empty()) << view.LogLines().text();
  const auto log = view.LogTexts();
  EXPECT_NE(std::find(log.begin(), log.end(), "3 updated, 0 update failed."), log.end())
      << view.LogLines().text();

  const std::vector<std::string> columns{"k", "bk",     "t",    "hidden", "a",     "twice", "label",
                                         "f", "breaks", "bits", "wide1",  "wide2", "wide3"};
  for (const std::string& c : columns) {
    const auto differing =
        Rows("SELECT HEX(s.k), HEX(s.bk) FROM `" + srcDb + "`.kept s LEFT JOIN `" + dstDb +
             "`.kept d ON CAST(d.k AS BINARY) = CAST(s.k AS BINARY) AND d.bk = s.bk WHERE NOT "
             "(CAST(s.`" +
             c + "` AS BINARY) <=> CAST(d.`" + c + "` AS BINARY))");
    EXPECT_TRUE(differing.empty()) << "column " << c << ", first row " << differing[0][0];
  }
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM `" + dstDb + "`.kept"), "3");
  // The invisible column arrives as a plain one; every other keeps its declaration.
  std::vector<std::string> declared = columns;
  declared.erase(std::find(declared.begin(), declared.end(), "hidden"));
  EXPECT_EQ(DeclarationDifferences("kept", declared), "");
  EXPECT_EQ(Rows("SELECT INDEX_NAME, COLUMN_NAME, SUB_PART FROM information_schema.STATISTICS WHERE"
                 " TABLE_SCHEMA = '" +
                 dstDb +
                 "' AND TABLE_NAME IN ('kept', 'prefixed')"
                 " ORDER BY TABLE_NAME, INDEX_NAME, SEQ_IN_INDEX"),
            (std::vector<std::vector<std::string>>{{"PRIMARY", "k", "NULL"},
                                                   {"PRIMARY", "bk", "NULL"},
                                                   {"t_prefix", "t", "3"},
                                                   {"PRIMARY", "t", "10"},
                                                   {"PRIMARY", "b", "4"}}));
  EXPECT_EQ(Rows("SELECT v FROM `" + dstDb + "`.prefixed ORDER BY v"),
            (std::vector<std::vector<std::string>>{{"1"}, {"2"}}));
  EXPECT_EQ(Rows("SELECT at, v FROM `" + dstDb + "`.stamped ORDER BY v"),
            (std::vector<std::vector<std::string>>{{"2038-01-19 03:14:07.999", "1"},
                                                   {"1970-01-01 00:00:01", "2"}}));

  // Line breaks in a MySQL text literal are written as the server escapes them, so
  // each statement of the script stays on its line.
  const std::string text = ReadFile(script);
  EXPECT_NE(text.find("'one\\r\\ntwo\\r\\n'"), std::string::npos) << text.substr(0, 2000);
  EXPECT_EQ(text.find("one\r\ntwo"), std::string::npos);
}


}  // namespace
}  // namespace jobtest
