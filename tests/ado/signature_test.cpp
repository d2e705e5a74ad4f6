#include <gtest/gtest.h>
#include <sql.h>
#include <sqlext.h>

#include <cstring>
#include <memory>

#include "platform/ado/jet/jet_schema.h"
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

// Access columns from their libmdb column records, the fields as libmdb 1.0 fills them.
// A Jet 4 decimal's precision is in col_scale and its scale in col_prec.
TEST(TypeSignature, AccessColumnsFromLibmdbRecords) {
  struct Case {
    const char* what;
    int colType, colSize, colPrec, colScale;
    bool jet3;
    ado::jet::JetColumnType sig;
  } cases[] = {
      {"decimal(18,0), Access 2000", MDB_NUMERIC, 17, 0, 18, false, {131, 122, 0, 18, 0}},
      {"decimal(12,4), Access 2000", MDB_NUMERIC, 17, 4, 12, false, {131, 122, 0, 12, 4}},
      {"decimal(28,28), Access 2000", MDB_NUMERIC, 17, 28, 28, false, {131, 122, 0, 28, 28}},
      {"text(50), Access 2000", MDB_TEXT, 100, 0, 0, false, {130, 106, 50, -1, -1}},
      {"text(50), Access 97", MDB_TEXT, 50, 0, 0, true, {130, 106, 50, -1, -1}},
      {"currency", MDB_MONEY, 8, 0, 0, false, {6, 122, 0, 19, 4}},
      {"binary(16)", MDB_BINARY, 16, 0, 0, false, {128, 106, 16, -1, -1}},
      {"memo", MDB_MEMO, 0, 0, 0, false, {130, 234, 0, -1, -1}},
  };
  for (const auto& c : cases) {
    MdbColumn col{};
    col.col_type = c.colType;
    col.col_size = c.colSize;
    col.col_prec = c.colPrec;
    col.col_scale = c.colScale;
    const ado::jet::JetColumnType t = ado::jet::JetColumnSignature(col, c.jet3);
    EXPECT_EQ(t.dataType, c.sig.dataType) << c.what;
    EXPECT_EQ(t.flags, c.sig.flags) << c.what;
    EXPECT_EQ(t.length, c.sig.length) << c.what;
    EXPECT_EQ(t.precision, c.sig.precision) << c.what;
    EXPECT_EQ(t.scale, c.sig.scale) << c.what;
  }
}

// The value of a Jet 4 decimal as libmdb turns it into text, with the fields of the
// record above: what mdb-export prints.
TEST(TypeSignature, AccessDecimalValueKeepsItsScale) {
  auto mdb = std::make_unique<MdbHandle>();
  // Sign byte, then the magnitude in four 32-bit little-endian words, least
  // significant last.
  std::memset(mdb->pg_buf, 0, 17);
  const std::uint32_t magnitude = 1234567;
  std::memcpy(mdb->pg_buf + 13, &magnitude, 4);
  const struct {
    int colPrec, colScale;
    const char* text;
  } cases[] = {{0, 18, "1234567"}, {2, 12, "12345.67"}, {7, 28, "0.1234567"}};
  for (const auto& c : cases) {
    char* text = mdb_numeric_to_string(mdb.get(), 0, c.colScale, c.colPrec);
    EXPECT_STREQ(text, c.text) << c.colPrec;
    g_free(text);
  }
  mdb->pg_buf[0] = 0x80;  // negative
  char* text = mdb_numeric_to_string(mdb.get(), 0, 12, 2);
  EXPECT_STREQ(text, "-12345.67");
  g_free(text);
}
