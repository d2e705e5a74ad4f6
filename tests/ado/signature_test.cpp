#include <gtest/gtest.h>
#include <sql.h>
#include <sqlext.h>

#include "platform/ado/odbc/type_signature.h"

namespace ado::odbc {
void PrintTo(const TypeSignature& s, std::ostream* os) {
  *os << s.dataType << "/" << s.flags << "/" << s.length << " p" << s.precision.value_or(-1) << " s"
      << s.scale.value_or(-1);
}
}  // namespace ado::odbc

namespace {

using ado::odbc::TypeSignature;

TypeSignature Sig(int type, int flags, std::int64_t length, std::optional<int> p = {},
                  std::optional<int> s = {}) {
  return TypeSignature{type, flags, length, p, s};
}

TEST(TypeSignature, SqlServerTypes) {
  struct Case {
    const char* type;
    long long size;
    std::optional<int> digits;
    TypeSignature sig;
  } cases[] = {
      {"varchar", 50, {}, Sig(129, 100, 50)},
      {"char", 10, {}, Sig(129, 116, 10)},
      {"text", 2147483647, {}, Sig(129, 230, 2147483647)},
      {"varchar", 0, {}, Sig(129, 230, 2147483647)},  // varchar(max)
      {"nvarchar", 40, {}, Sig(130, 100, 40)},
      {"nchar", 5, {}, Sig(130, 116, 5)},
      {"ntext", 1073741823, {}, Sig(130, 230, 1073741823)},
      {"nvarchar", 0, {}, Sig(130, 230, 1073741823)},  // nvarchar(max)
      {"sysname", 128, {}, Sig(130, 100, 128)},
      {"varbinary", 16, {}, Sig(128, 100, 16)},
      {"binary", 8, {}, Sig(128, 116, 8)},
      {"image", 2147483647, {}, Sig(128, 230, 2147483647)},
      {"timestamp", 8, {}, Sig(128, 624, 8)},
      {"money", 19, 4, Sig(6, 116, 0, 19, 4)},
      {"smallmoney", 10, 4, Sig(6, 20, 0, 10, 4)},
      {"smallint", 5, 0, Sig(2, 116, 0, 5, 0)},
      {"int identity", 10, 0, Sig(3, 116, 0, 10, 0)},
      {"real", 24, {}, Sig(4, 116, 0)},
      {"float", 53, {}, Sig(5, 116, 0)},
      {"bit", 1, {}, Sig(11, 116, 0)},
      {"sql_variant", 8000, {}, Sig(12, 116, 0)},
      {"tinyint", 3, 0, Sig(17, 116, 0, 3, 0)},
      {"bigint", 19, 0, Sig(20, 116, 0, 19, 0)},
      {"decimal", 18, 2, Sig(131, 116, 0, 18, 2)},
      {"numeric identity", 9, 0, Sig(131, 116, 0, 9, 0)},
      {"datetime", 23, 3, Sig(135, 116, 0)},
      {"smalldatetime", 16, 0, Sig(135, 116, 0)},
      {"uniqueidentifier", 36, {}, Sig(72, 116, 0)},
      {"datetime2", 27, 7, Sig(130, 100, 27)},  // beyond datetime: its text
      {"date", 10, {}, Sig(130, 100, 10)},
      {"geography", 0, {}, Sig(128, 230, 2147483647)},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ado::odbc::SQLServerSignature(c.type, c.size, c.digits), c.sig)
        << c.type << " " << c.size;
}

TEST(TypeSignature, MySQLTypesOutsideTheTableTakeTheRowThatHoldsThem) {
  struct Case {
    const char* dataType;
    const char* columnType;
    std::optional<std::int64_t> length;
    std::optional<int> precision, scale;
    TypeSignature sig;
  } cases[] = {
      {"tinyint", "tinyint(1)", {}, 3, 0, Sig(16, 120, 0, 3, 0)},
      {"tinyint", "tinyint(4)", {}, 3, 0, Sig(16, 24, 0, 3, 0)},
      {"tinyint", "tinyint(3) unsigned", {}, 3, 0, Sig(2, 120, 0, 5, 0)},
      {"int", "int(10) unsigned", {}, 10, 0, Sig(20, 120, 0, 19, 0)},
      {"bigint", "bigint(20) unsigned", {}, 20, 0, Sig(131, 120, 0, 20, 0)},
      {"longtext", "longtext", 4294967295, {}, {}, Sig(129, 232, -1)},
      {"json", "longtext", 4294967295, {}, {}, Sig(129, 232, -1)},
      {"set", "set('a','b')", 3, {}, {}, Sig(129, 104, 3)},
      {"varbinary", "varbinary(300)", 300, {}, {}, Sig(128, 232, 65535)},
      {"binary", "binary(16)", 16, {}, {}, Sig(128, 104, 255)},
      {"bit", "bit(12)", {}, 12, {}, Sig(128, 104, 255)},
      {"uuid", "uuid", {}, {}, {}, Sig(129, 120, 36)},
      {"point", "point", {}, {}, {}, Sig(128, 232, -1)},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ado::odbc::MySQLSignature(c.dataType, c.columnType, c.length, c.precision, c.scale),
              c.sig)
        << c.columnType;
}

TEST(TypeSignature, OtherOdbcDatabasesByTheirSqlType) {
  EXPECT_EQ(ado::odbc::OdbcTypeSignature(SQL_WVARCHAR, 20, {}), Sig(130, 100, 20));
  EXPECT_EQ(ado::odbc::OdbcTypeSignature(SQL_LONGVARBINARY, 4294967295LL, {}), Sig(128, 230, -1));
  EXPECT_EQ(ado::odbc::OdbcTypeSignature(SQL_DECIMAL, 10, 2), Sig(131, 116, 0, 10, 2));
  EXPECT_EQ(ado::odbc::OdbcTypeSignature(SQL_TYPE_DATE, 10, {}), Sig(133, 116, 0));
}

}  // namespace
