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
  f.ColumnType = c.spec.columnType;
  EXPECT_EQ(SourceTypeName(f), c.source);
  EXPECT_EQ(ColumnTypeText(f, dkAccess), c.toAccess);
  EXPECT_EQ(ColumnTypeText(f, dkSQLServer), c.toSQLServer);
  EXPECT_EQ(ColumnTypeText(f, dkMySQL), c.toMySQL);
}

// clang-format off
const TypeCase kTypeCases[] = {
  {"AccessText50", dkAccess, {"c", 130, 106, 50}, "TEXT", "TEXT(50)", "NVARCHAR(50)", "VARCHAR(50)"},
  {"AccessText255", dkAccess, {"c", 130, 106, 255}, "TEXT", "TEXT(255)", "NVARCHAR(255)", "VARCHAR(255)"},
  {"AccessMemo", dkAccess, {"c", 130, 234, 0}, "MEMO", "MEMO", "NTEXT", "LONGTEXT"},
  {"AccessByteIsANumber", dkAccess, {"c", 17}, "BYTE", "BYTE", "TINYINT", "TINYINT UNSIGNED"},
  {"AccessCurrency", dkAccess, {"c", 6, 0, 0, 19, 4}, "CURRENCY", "CURRENCY", "MONEY", "DECIMAL(19,4)"},
  {"AccessDecimalKeepsScale", dkAccess, {"c", 131, 0, 0, 18, 4}, "FLOAT", "DECIMAL(18,4)", "DECIMAL(18,4)", "DECIMAL(18,4)"},
  {"AccessDecimal28", dkAccess, {"c", 131, 0, 0, 28, 10}, "FLOAT", "DECIMAL(28,10)", "DECIMAL(28,10)", "DECIMAL(28,10)"},
  {"AccessOleObject", dkAccess, {"c", 128, 0, 0}, "OLEOBJECT", "OLEOBJECT", "IMAGE", "LONGBLOB"},
  {"AccessYesNo", dkAccess, {"c", 11}, "YESNO", "YESNO", "BIT", "BOOLEAN"},
  {"AccessSingle", dkAccess, {"c", 4}, "SINGLE", "SINGLE", "FLOAT", "DOUBLE"},
  {"AccessReplicationId", dkAccess, {"c", 72}, "TEXT", "TEXT(255)", "NVARCHAR(255)", "VARCHAR(255)"},
  {"SQLServerVarchar255", dkSQLServer, {"c", 129, 100, 255}, "VARCHAR", "VARCHAR", "VARCHAR(255)", "VARCHAR(255)"},
  {"SQLServerVarchar256", dkSQLServer, {"c", 129, 100, 256}, "VARCHAR", "MEMO", "VARCHAR(256)", "VARCHAR(256)"},
  {"SQLServerVarchar1000", dkSQLServer, {"c", 129, 100, 1000}, "VARCHAR", "MEMO", "VARCHAR(1000)", "VARCHAR(1000)"},
  {"SQLServerNtext", dkSQLServer, {"c", 130, 230, 1073741823}, "NTEXT", "MEMO", "NTEXT", "LONGTEXT"},
  {"SQLServerNtextNoLength", dkSQLServer, {"c", 130, 230, 0}, "NTEXT", "MEMO", "NTEXT", "LONGTEXT"},
  {"SQLServerText", dkSQLServer, {"c", 129, 230, 2147483647}, "TEXT", "MEMO", "TEXT", "LONGTEXT"},
  {"SQLServerNchar10", dkSQLServer, {"c", 130, 116, 10}, "NCHAR", "TEXT(10)", "NCHAR(10)", "TEXT"},
  {"SQLServerChar300", dkSQLServer, {"c", 129, 116, 300}, "CHAR", "MEMO", "CHAR(300)", "VARCHAR(300)"},
  {"SQLServerNvarcharMax", dkSQLServer, {"c", 130, 100, -1}, "NVARCHAR", "MEMO", "NTEXT", "LONGTEXT"},
  {"SQLServerNvarcharNoLength", dkSQLServer, {"c", 130, 100, 0}, "NVARCHAR", "VARCHAR", "NVARCHAR(255)", "VARCHAR(255)"},
  {"SQLServerNvarchar4000", dkSQLServer, {"c", 130, 100, 4000}, "NVARCHAR", "MEMO", "NVARCHAR(4000)", "VARCHAR(4000)"},
  {"SQLServerDecimal", dkSQLServer, {"c", 131, 0, 0, 10, 2}, "DECIMAL", "DECIMAL(10,2)", "DECIMAL(10,2)", "DECIMAL(10,2)"},
  {"SQLServerDecimal28", dkSQLServer, {"c", 131, 0, 0, 28, 0}, "DECIMAL", "DECIMAL(28,0)", "DECIMAL(28,0)", "DECIMAL(28,0)"},
  {"SQLServerDecimal38", dkSQLServer, {"c", 131, 0, 0, 38, 10}, "DECIMAL", "TEXT(40)", "DECIMAL(38,10)", "DECIMAL(38,10)"},
  // Every digit after the point: the text also holds the "0." before them.
  {"SQLServerDecimal38AllScale", dkSQLServer, {"c", 131, 0, 0, 38, 38}, "DECIMAL", "TEXT(41)", "DECIMAL(38,38)", "DECIMAL(38,38)"},
  {"SQLServerDecimalNoPrecision", dkSQLServer, {"c", 131}, "DECIMAL", "DECIMAL", "DECIMAL", "DECIMAL"},
  {"SQLServerMoney", dkSQLServer, {"c", 6, 116}, "MONEY", "CURRENCY", "MONEY", "DECIMAL(19,4)"},
  {"SQLServerSmallMoney", dkSQLServer, {"c", 6, 20}, "SMALLMONEY", "CURRENCY", "SMALLMONEY", "DECIMAL(10,4)"},
  {"SQLServerBigint", dkSQLServer, {"c", 20}, "BIGINT", "DECIMAL(19,0)", "BIGINT", "BIGINT"},
  {"SQLServerFloatIsDouble", dkSQLServer, {"c", 5}, "FLOAT", "FLOAT", "FLOAT", "DOUBLE"},
  {"SQLServerUniqueidentifier", dkSQLServer, {"c", 72}, "VARCHAR", "VARCHAR", "VARCHAR(255)", "VARCHAR(255)"},
  {"SQLServerRowVersion", dkSQLServer, {"c", 128, 624, 8}, "TIMESTAMP", "OLEOBJECT", "TIMESTAMP", "BLOB"},
  {"SQLServerImage", dkSQLServer, {"c", 128, 230, 2147483647}, "IMAGE", "OLEOBJECT", "IMAGE", "LONGBLOB"},
  {"SQLServerVarbinary100", dkSQLServer, {"c", 128, 100, 100}, "VARBINARY", "BINARY(100)", "VARBINARY(100)", "BLOB"},
  {"SQLServerVarbinary511", dkSQLServer, {"c", 128, 100, 511}, "VARBINARY", "OLEOBJECT", "VARBINARY(511)", "BLOB"},
  {"SQLServerVarbinaryMax", dkSQLServer, {"c", 128, 100, -1}, "VARBINARY", "OLEOBJECT", "IMAGE", "LONGBLOB"},
  {"SQLServerBinary16", dkSQLServer, {"c", 128, 116, 16}, "BINARY", "BINARY(16)", "BINARY(16)", "BLOB"},
  {"SQLServerBinary510", dkSQLServer, {"c", 128, 116, 510}, "BINARY", "BINARY(510)", "BINARY(510)", "BLOB"},
  {"MySQLChar10", dkMySQL, {"c", 129, 120, 10}, "CHAR", "CHAR", "NCHAR(10)", "CHAR(10)"},
  {"MySQLVarchar4000", dkMySQL, {"c", 129, 104, 4000}, "VARCHAR", "MEMO", "NVARCHAR(4000)", "VARCHAR(4000)"},
  {"MySQLVarchar4001", dkMySQL, {"c", 129, 104, 4001}, "VARCHAR", "MEMO", "NTEXT", "VARCHAR(4001)"},
  {"MySQLVarcharNoLength", dkMySQL, {"c", 129, 104, 0}, "VARCHAR", "VARCHAR", "NVARCHAR(255)", "VARCHAR(255)"},
  {"MySQLLongtext", dkMySQL, {"c", 129, 232, -1}, "LONGTEXT", "MEMO", "NTEXT", "LONGTEXT"},
  {"MySQLMediumtext", dkMySQL, {"c", 129, 232, 16777215}, "MEDIUMTEXT", "MEMO", "NTEXT", "MEDIUMTEXT"},
  {"MySQLText", dkMySQL, {"c", 129, 232, 65535}, "TEXT", "MEMO", "NTEXT", "TEXT"},
  {"MySQLTinytext", dkMySQL, {"c", 129, 232, 255}, "TINYTEXT", "TEXT(255)", "NTEXT", "TINYTEXT"},
  {"MySQLVarchar20000", dkMySQL, {"c", 129, 104, 20000}, "VARCHAR", "MEMO", "NTEXT", "LONGTEXT"},
  {"MySQLBoolean", dkMySQL, {"c", 16, 120}, "BOOLEAN", "YESNO", "BIT", "BOOLEAN"},
  {"MySQLTinyint", dkMySQL, {"c", 16, 24}, "TINYINT", "INT", "SMALLINT", "TINYINT"},
  {"MySQLSmallint", dkMySQL, {"c", 2}, "SMALLINT", "INT", "SMALLINT", "SMALLINT"},
  {"MySQLBigint", dkMySQL, {"c", 20}, "BIGINT", "DECIMAL(19,0)", "BIGINT", "BIGINT"},
  // An unsigned bigint arrives as decimal(20,0).
  {"MySQLBigintUnsigned", dkMySQL, {"c", 131, 120, 0, 20, 0}, "DECIMAL", "DECIMAL(20,0)", "DECIMAL(20,0)", "DECIMAL(20,0)"},
  {"MySQLTimestamp", dkMySQL, {"c", 135, 24}, "TIMESTAMP", "DATETIME", "DATETIME", "TIMESTAMP"},
  {"MySQLDate", dkMySQL, {"c", 133}, "DATE", "DATETIME", "DATETIME", "DATE"},
  {"MySQLDecimal38", dkMySQL, {"c", 131, 0, 0, 38, 0}, "DECIMAL", "TEXT(40)", "DECIMAL(38,0)", "DECIMAL(38,0)"},
  {"MySQLDecimal39", dkMySQL, {"c", 131, 0, 0, 39, 2}, "DECIMAL", "TEXT(41)", "VARCHAR(41)", "DECIMAL(39,2)"},
  {"MySQLDecimal30AllScale", dkMySQL, {"c", 131, 0, 0, 30, 30}, "DECIMAL", "TEXT(33)", "DECIMAL(30,30)", "DECIMAL(30,30)"},
  {"MySQLDecimal", dkMySQL, {"c", 131, 0, 0, 65, 30}, "DECIMAL", "TEXT(67)", "VARCHAR(67)", "DECIMAL(65,30)"},
  {"MySQLBlob", dkMySQL, {"c", 128, 232, 65535}, "BLOB", "OLEOBJECT", "IMAGE", "BLOB"},
  {"MySQLOtherBinary", dkMySQL, {"c", 128, 120, 16}, "BLOB", "OLEOBJECT", "IMAGE", "BLOB"},
  // Binary strings and bit fields carry a blob's signature and their own declaration.
  {"MySQLBinary16", dkMySQL, {"c", 128, 104, 255, 0, 0, "binary(16)"}, "BINARY", "BINARY(16)", "BINARY(16)", "BINARY(16)"},
  {"MySQLVarbinary300", dkMySQL, {"c", 128, 232, 65535, 0, 0, "varbinary(300)"}, "VARBINARY", "BINARY(300)", "VARBINARY(300)", "VARBINARY(300)"},
  {"MySQLVarbinary600", dkMySQL, {"c", 128, 232, 65535, 0, 0, "varbinary(600)"}, "VARBINARY", "OLEOBJECT", "VARBINARY(600)", "VARBINARY(600)"},
  {"MySQLVarbinary9000", dkMySQL, {"c", 128, 232, 65535, 0, 0, "varbinary(9000)"}, "VARBINARY", "OLEOBJECT", "IMAGE", "VARBINARY(9000)"},
  {"MySQLBit12", dkMySQL, {"c", 128, 104, 255, 12, 0, "bit(12)"}, "BIT", "BINARY(2)", "BINARY(2)", "BIT(12)"},
  {"MySQLBit64", dkMySQL, {"c", 128, 104, 255, 64, 0, "bit(64)"}, "BIT", "BINARY(8)", "BINARY(8)", "BIT(64)"},
  {"MySQLTinyblobNotBinaryNamed", dkMySQL, {"c", 128, 104, 255, 0, 0, "tinyblob"}, "TINYBLOB", "OLEOBJECT", "IMAGE", "TINYBLOB"},
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

// The classes of a field in each destination dialect, where the dialect decides.
TEST(TypeClasses, PerDestinationDialect) {
  const struct {
    const char* what;
    TDatabaseKind kind;
    FieldSpec spec;
    TDatabaseKind dest;
    bool quoted, binary;
  } cases[] = {
      {"ntext is text", dkSQLServer, {"c", 130, 230, 1073741823}, dkSQLServer, true, false},
      {"rowversion is bytes", dkSQLServer, {"c", 128, 624, 8}, dkSQLServer, false, true},
      {"rowversion toward MySQL", dkSQLServer, {"c", 128, 624, 8}, dkMySQL, false, true},
      {"MySQL timestamp is a date", dkMySQL, {"c", 135, 24}, dkMySQL, true, false},
      {"binary(16) in Access has no literal",
       dkMySQL,
       {"c", 128, 104, 255, 0, 0, "binary(16)"},
       dkAccess,
       false,
       true},
      {"binary(16) in MySQL takes a hex literal",
       dkMySQL,
       {"c", 128, 104, 255, 0, 0, "binary(16)"},
       dkMySQL,
       false,
       false},
      {"binary(16) in SQL Server", dkSQLServer, {"c", 128, 116, 16}, dkSQLServer, false, false},
      {"decimal too wide becomes text", dkMySQL, {"c", 131, 0, 0, 40, 2}, dkSQLServer, true, false},
  };
  for (const auto& c : cases) {
    TCorvaneField f;
    f.DBKind = c.kind;
    f.DataType = c.spec.dataType;
    f.ColumnFlags = c.spec.flags;
    f.CharMaxLength = c.spec.length;
    f.NumericPrecision = c.spec.precision;
    f.NumericScale = c.spec.scale;
    f.ColumnType = c.spec.columnType;
    EXPECT_EQ(IsQuotedType(f, c.dest), c.quoted) << c.what;
    EXPECT_EQ(IsBinaryType(f, c.dest), c.binary) << c.what;
  }
}

// The column line after the name: MySQL to MySQL keeps what decides which values are
// distinct and how a column is filled; other destinations get the type alone.
TEST(ColumnDefinition, MySQLKeepsCharsetCollationAndGeneration) {
  struct Case {
    const char* what;
    TDatabaseKind kind;
    FieldSpec spec;
    const char* charset;
    const char* collation;
    const char* generation;
    bool stored;
    TDatabaseKind dest;
    const char* text;
  } cases[] = {
      {"case-sensitive key text",
       dkMySQL,
       {"c", 129, 104, 10},
       "utf8mb4",
       "utf8mb4_bin",
       "",
       false,
       dkMySQL,
       "VARCHAR(10) CHARACTER SET utf8mb4 COLLATE utf8mb4_bin"},
      {"latin1 keeps its width",
       dkMySQL,
       {"c", 129, 104, 20000},
       "latin1",
       "latin1_swedish_ci",
       "",
       false,
       dkMySQL,
       "VARCHAR(20000) CHARACTER SET latin1 COLLATE latin1_swedish_ci"},
      {"long text",
       dkMySQL,
       {"c", 129, 232, -1},
       "ascii",
       "ascii_bin",
       "",
       false,
       dkMySQL,
       "LONGTEXT CHARACTER SET ascii COLLATE ascii_bin"},
      {"toward SQL Server the type alone",
       dkMySQL,
       {"c", 129, 104, 10},
       "utf8mb4",
       "utf8mb4_bin",
       "",
       false,
       dkSQLServer,
       "NVARCHAR(10)"},
      {"virtual",
       dkMySQL,
       {"c", 3},
       "",
       "",
       "`a` + 1",
       false,
       dkMySQL,
       "INTEGER AS (`a` + 1) VIRTUAL"},
      {"stored text",
       dkMySQL,
       {"c", 129, 104, 20},
       "utf8mb4",
       "utf8mb4_general_ci",
       "concat(`a`,'x')",
       true,
       dkMySQL,
       "VARCHAR(20) CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci AS (concat(`a`,'x')) STORED"},
      {"generated toward SQL Server is plain",
       dkMySQL,
       {"c", 3},
       "",
       "",
       "`a` + 1",
       false,
       dkSQLServer,
       "INT"},
      {"timestamp", dkMySQL, {"c", 135, 24}, "", "", "", false, dkMySQL, "TIMESTAMP NULL"},
      {"generated timestamp",
       dkMySQL,
       {"c", 135, 24},
       "",
       "",
       "`t`",
       false,
       dkMySQL,
       "TIMESTAMP AS (`t`) VIRTUAL"},
      {"timestamp from SQL Server is a rowversion",
       dkSQLServer,
       {"c", 128, 624, 8},
       "",
       "",
       "",
       false,
       dkSQLServer,
       "TIMESTAMP"},
      {"datetime", dkSQLServer, {"c", 135}, "", "", "", false, dkMySQL, "DATETIME"},
  };
  for (const auto& c : cases) {
    TCorvaneField f;
    f.DBKind = c.kind;
    f.DataType = c.spec.dataType;
    f.ColumnFlags = c.spec.flags;
    f.CharMaxLength = c.spec.length;
    f.CharacterSet = c.charset;
    f.Collation = c.collation;
    f.GenerationExpression = c.generation;
    f.GenerationStored = c.stored;
    EXPECT_EQ(ColumnDefinition(f, c.dest), c.text) << c.what;
  }
}

}  // namespace
