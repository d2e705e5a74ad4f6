#include "sqlgen/type_mapping.h"

#include <gtest/gtest.h>

#include "sqlgen/fixtures.h"
#include "sqlgen/quoting.h"

namespace {

struct TypeCase {
  const char* what;
  TDatabaseKind kind;
  FieldSpec spec;
  const char* source;
  const char* toAccess;
  const char* toSQLServer;
  const char* toMySQL;
};

void PrintTo(const TypeCase& c, std::ostream* os) { *os << c.what; }

class TypeMapping : public ::testing::TestWithParam<TypeCase> {};

TEST_P(TypeMapping, SourceNameAndTypeTextPerDestination) {
  const TypeCase& c = GetParam();
  TCorvaneField f;
  f.DBKind = c.kind;
  f.FieldName = c.spec.name;
  f.DataType = c.spec.dataType;
  f.ColumnFlags = c.spec.flags;
  f.CharMaxLength = c.spec.length;
  f.NumericPrecision = c.spec.precision;
  f.NumericScale = c.spec.scale;
  EXPECT_EQ(SourceTypeName(f), c.source);
  EXPECT_EQ(ColumnTypeText(f, dkAccess), c.toAccess);
  EXPECT_EQ(ColumnTypeText(f, dkSQLServer), c.toSQLServer);
  EXPECT_EQ(ColumnTypeText(f, dkMySQL), c.toMySQL);
}

// clang-format off
const TypeCase kTypeCases[] = {
  {"AccessText50", dkAccess, {"c", 130, 106, 50}, "TEXT", "TEXT(50)", "VARCHAR(50)", "VARCHAR(50)"},
  {"AccessMemo", dkAccess, {"c", 130, 234, 0}, "MEMO", "MEMO", "TEXT", "LONGTEXT"},
  {"AccessByteIsANumber", dkAccess, {"c", 17}, "BYTE", "BYTE", "TINYINT", "TINYINT UNSIGNED"},
  {"AccessCurrency", dkAccess, {"c", 6, 0, 0, 19, 4}, "CURRENCY", "CURRENCY", "MONEY", "DECIMAL(19,4)"},
  {"AccessDecimalKeepsScale", dkAccess, {"c", 131, 0, 0, 18, 4}, "FLOAT", "FLOAT", "DECIMAL(18,4)", "DECIMAL(18,4)"},
  {"AccessOleObject", dkAccess, {"c", 128, 0, 0}, "OLEOBJECT", "OLEOBJECT", "IMAGE", "LONGBLOB"},
  {"AccessYesNo", dkAccess, {"c", 11}, "YESNO", "YESNO", "BIT", "BOOLEAN"},
  {"AccessSingle", dkAccess, {"c", 4}, "SINGLE", "SINGLE", "FLOAT", "DOUBLE"},
  {"AccessReplicationId", dkAccess, {"c", 72}, "TEXT", "TEXT", "VARCHAR(255)", "VARCHAR(255)"},
  {"SQLServerVarchar1000", dkSQLServer, {"c", 129, 100, 1000}, "VARCHAR", "VARCHAR", "VARCHAR(1000)", "VARCHAR(1000)"},
  {"SQLServerNtext", dkSQLServer, {"c", 130, 230, 1073741823}, "NTEXT", "MEMO", "NTEXT", "LONGTEXT"},
  {"SQLServerText", dkSQLServer, {"c", 129, 230, 2147483647}, "TEXT", "MEMO", "TEXT", "LONGTEXT"},
  {"SQLServerNchar10", dkSQLServer, {"c", 130, 116, 10}, "NCHAR", "TEXT(10)", "NCHAR(10)", "TEXT"},
  {"SQLServerChar300", dkSQLServer, {"c", 129, 116, 300}, "CHAR", "CHAR", "CHAR(300)", "VARCHAR(300)"},
  {"SQLServerNvarcharMax", dkSQLServer, {"c", 130, 100, -1}, "NVARCHAR", "VARCHAR", "NTEXT", "LONGTEXT"},
  {"SQLServerDecimal", dkSQLServer, {"c", 131, 0, 0, 10, 2}, "DECIMAL", "DOUBLE", "DECIMAL(10,2)", "DECIMAL(10,2)"},
  {"SQLServerDecimalNoPrecision", dkSQLServer, {"c", 131}, "DECIMAL", "DOUBLE", "DECIMAL", "DECIMAL"},
  {"SQLServerMoney", dkSQLServer, {"c", 6, 116}, "MONEY", "CURRENCY", "MONEY", "DECIMAL(19,4)"},
  {"SQLServerSmallMoney", dkSQLServer, {"c", 6, 20}, "SMALLMONEY", "FLOAT", "SMALLMONEY", "DECIMAL(10,4)"},
  {"SQLServerBigint", dkSQLServer, {"c", 20}, "BIGINT", "INT", "BIGINT", "BIGINT"},
  {"SQLServerFloatIsDouble", dkSQLServer, {"c", 5}, "FLOAT", "FLOAT", "FLOAT", "DOUBLE"},
  {"SQLServerUniqueidentifier", dkSQLServer, {"c", 72}, "VARCHAR", "VARCHAR", "VARCHAR(255)", "VARCHAR(255)"},
  {"SQLServerRowVersion", dkSQLServer, {"c", 128, 624, 8}, "TIMESTAMP", "OLEOBJECT", "TIMESTAMP", "BLOB"},
  {"SQLServerImage", dkSQLServer, {"c", 128, 230, 2147483647}, "IMAGE", "OLEOBJECT", "IMAGE", "LONGBLOB"},
  {"SQLServerVarbinary100", dkSQLServer, {"c", 128, 100, 100}, "VARBINARY", "BYTE", "VARBINARY(100)", "BLOB"},
  {"SQLServerVarbinaryMax", dkSQLServer, {"c", 128, 100, -1}, "VARBINARY", "BYTE", "IMAGE", "LONGBLOB"},
  {"SQLServerBinary16", dkSQLServer, {"c", 128, 116, 16}, "BINARY", "BYTE", "BINARY(16)", "BLOB"},
  {"MySQLLongtext", dkMySQL, {"c", 129, 232, -1}, "LONGTEXT", "TEXT", "TEXT", "LONGTEXT"},
  {"MySQLTinytext", dkMySQL, {"c", 129, 232, 255}, "TINYTEXT", "TEXT(255)", "TEXT", "TINYTEXT"},
  {"MySQLVarchar20000", dkMySQL, {"c", 129, 104, 20000}, "VARCHAR", "VARCHAR", "TEXT", "LONGTEXT"},
  {"MySQLBoolean", dkMySQL, {"c", 16, 120}, "BOOLEAN", "YESNO", "BIT", "BOOLEAN"},
  {"MySQLTinyint", dkMySQL, {"c", 16, 24}, "TINYINT", "INT", "SMALLINT", "TINYINT"},
  {"MySQLSmallint", dkMySQL, {"c", 2}, "SMALLINT", "INT", "SMALLINT", "SMALLINT"},
  {"MySQLTimestamp", dkMySQL, {"c", 135, 24}, "TIMESTAMP", "DATETIME", "DATETIME", "TIMESTAMP"},
  {"MySQLDate", dkMySQL, {"c", 133}, "DATE", "DATETIME", "DATETIME", "DATE"},
  {"MySQLDecimal", dkMySQL, {"c", 131, 0, 0, 65, 30}, "DECIMAL", "FLOAT", "DECIMAL(65,30)", "DECIMAL(65,30)"},
  {"MySQLBlob", dkMySQL, {"c", 128, 232, 65535}, "BLOB", "OLEOBJECT", "IMAGE", "BLOB"},
  {"MySQLOtherBinary", dkMySQL, {"c", 128, 120, 16}, "BLOB", "OLEOBJECT", "IMAGE", "BLOB"},
  {"NoDialect", dkNone, {"c", 130, 106, 50}, "", "", "", ""},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Cases, TypeMapping, ::testing::ValuesIn(kTypeCases),
                         [](const auto& info) { return std::string(info.param.what); });

TEST(TypeMapping, DestinationWithoutDialectGivesEmptyText) {
  TCorvaneField f;
  f.DBKind = dkAccess;
  f.DataType = 130;
  f.CharMaxLength = 50;
  EXPECT_EQ(DestTypeName(f, dkNone), "");
  EXPECT_EQ(ColumnTypeText(f, dkNone), "");
}

TEST(TypeMapping, FractionalSecondsKeepTheirDigitsInAMySQLDestination) {
  const struct {
    TDatabaseKind kind;
    int dataType, flags, fraction;
    const char* toMySQL;
    const char* toSQLServer;
  } cases[] = {
      {dkMySQL, 135, 104, 6, "DATETIME(6)", "DATETIME"},
      {dkMySQL, 135, 104, 0, "DATETIME", "DATETIME"},
      {dkMySQL, 135, 24, 3, "TIMESTAMP(3)", "DATETIME"},
      {dkMySQL, 134, 0, 6, "TIME(6)", "DATETIME"},
      {dkSQLServer, 135, 0, 3, "DATETIME(3)", "DATETIME"},
      {dkSQLServer, 135, 0, 7, "DATETIME(6)", "DATETIME"},  // MySQL stops at microseconds
      {dkMySQL, 133, 0, 0, "DATE", "DATETIME"},
  };
  for (const auto& c : cases) {
    TCorvaneField f;
    f.DBKind = c.kind;
    f.DataType = c.dataType;
    f.ColumnFlags = c.flags;
    f.DateTimePrecision = c.fraction;
    EXPECT_EQ(ColumnTypeText(f, dkMySQL), c.toMySQL) << c.dataType << "/" << c.fraction;
    EXPECT_EQ(ColumnTypeText(f, dkSQLServer), c.toSQLServer) << c.dataType << "/" << c.fraction;
  }
}

TEST(TypeClasses, DecidedOnTheNameWithoutLength) {
  TCorvaneField text;
  text.DBKind = dkAccess;
  text.DataType = 130;
  text.ColumnFlags = 106;
  text.CharMaxLength = 50;
  EXPECT_TRUE(IsQuotedType(text, dkMySQL));  // VARCHAR(50)
  EXPECT_FALSE(IsBinaryType(text, dkMySQL));

  for (const char* name : {"TINYTEXT", "MEDIUMTEXT", "LONGTEXT", "TIMESTAMP", " varchar "})
    EXPECT_TRUE(IsQuotedTypeName(name)) << name;
  for (const char* name : {"DECIMAL", "BIT", "YESNO", "MONEY", "INT"})
    EXPECT_FALSE(IsQuotedTypeName(name)) << name;
  for (const char* name : {"IMAGE", "BLOB", "TINYBLOB", "MEDIUMBLOB", "LONGBLOB", "OLEOBJECT", "OLEDBOBJECT"})
    EXPECT_TRUE(IsBinaryTypeName(name)) << name;
}

}  // namespace
