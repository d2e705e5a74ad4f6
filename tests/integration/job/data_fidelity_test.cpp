// Every common MySQL column type copied MySQL to MySQL, compared value by value on the
// server: after the rows are transferred and again after the update pass.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "integration/job/job_run.h"
#include "job/process_state.h"

namespace jobtest {
namespace {

struct Column {
  const char* name;
  const char* type;
  // Compared as bytes (text, binary) rather than as values (numbers, dates).
  bool asBytes;
};

// clang-format off
const Column kColumns[] = {
    {"ti", "TINYINT", false},            {"tiu", "TINYINT UNSIGNED", false},
    {"si", "SMALLINT", false},           {"siu", "SMALLINT UNSIGNED", false},
    {"mi", "MEDIUMINT", false},          {"miu", "MEDIUMINT UNSIGNED", false},
    {"i", "INT", false},                 {"iu", "INT UNSIGNED", false},
    {"bi", "BIGINT", false},             {"biu", "BIGINT UNSIGNED", false},
    {"bo", "TINYINT(1)", false},
    {"d65", "DECIMAL(65,30)", false},    {"d10", "DECIMAL(10,2)", false},
    {"d20", "DECIMAL(20,0) UNSIGNED", false},
    {"f", "FLOAT", false},               {"g", "DOUBLE", false},
    // Wider bits arrive as their bytes in a binary column.
    {"b1", "BIT(1)", false},             {"b8", "BIT(8)", true},
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
    {"yr", "YEAR", false},
    {"en", "ENUM('a','b','ü😀')", true}, {"st", "SET('x','y','z')", true},
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

class DataFidelity : public JobDatabases {
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

  RecordingView view;
  ui::RecordingMessages messages;
};

TEST_F(DataFidelity, EveryValueArrivesAndTheUpdatePassKeepsIt) {
  CreateSource();
  TProjectSettings copy = AllPhases();
  copy.UpdateData = false;
  RunMySQLJob(copy, view, messages);
  EXPECT_TRUE(ErrorLog.empty()) << view.LogLines().text();
  ExpectEqualEverywhere("after the transfer");

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

// The update pass writes every value it sets: a destination whose values all differ
// from the source's ends equal to it.
TEST_F(DataFidelity, TheUpdatePassWritesEveryValueItSets) {
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

}  // namespace
}  // namespace jobtest
