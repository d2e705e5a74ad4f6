#include "platform/ado/odbc/type_signature.h"

#include <sql.h>
#include <sqlext.h>

#include <string>

#include "platform/text/text.h"

namespace ado::odbc {

namespace {

// OLE DB type indicators.
constexpr int kSmallInt = 2, kInt = 3, kSingle = 4, kDouble = 5, kCurrency = 6, kBool = 11,
              kVariant = 12, kTinyInt = 16, kUTinyInt = 17, kBigInt = 20, kGuid = 72, kBytes = 128,
              kStr = 129, kWStr = 130, kNumeric = 131, kDate = 133, kTime = 134, kTimestamp = 135;

// Flag words of fixed-length columns without a flag of their own in the table.
constexpr int kMySQLFixed = 120;
constexpr int kSQLServerFixed = 116;

constexpr std::int64_t kMaxLength = 2147483647;

std::int64_t Clamp(std::int64_t n) {
  return n > kMaxLength ? -1 : n;
}

bool Is(std::string_view a, std::string_view b) {
  return text::EqualsNoCase(a, b);
}

TypeSignature Fixed(int type, int flags) {
  return TypeSignature{type, flags, 0, {}, {}};
}

TypeSignature Exact(int type, int flags, std::optional<int> p, std::optional<int> s) {
  return TypeSignature{type, flags, 0, p, s};
}

}  // namespace

TypeSignature MySQLSignature(std::string_view dataType, std::string_view columnType,
                             std::optional<std::int64_t> charLength, std::optional<int> precision,
                             std::optional<int> scale) {
  const bool isUnsigned = std::string(columnType).find("unsigned") != std::string::npos;
  const std::string_view t = dataType;
  const std::int64_t n = charLength.value_or(0);
  if (Is(t, "tinyint")) {
    // An unsigned tinyint runs to 255: the smallint row holds it.
    if (isUnsigned) return Exact(kSmallInt, kMySQLFixed, 5, 0);
    bool boolean = columnType.substr(0, 10) == "tinyint(1)";
    return Exact(kTinyInt, boolean ? 120 : 24, 3, 0);
  }
  if (Is(t, "bool") || Is(t, "boolean")) return Exact(kTinyInt, 120, 3, 0);
  if (Is(t, "smallint"))
    return isUnsigned ? Exact(kInt, kMySQLFixed, 10, 0) : Exact(kSmallInt, kMySQLFixed, 5, 0);
  if (Is(t, "year")) return Exact(kSmallInt, kMySQLFixed, 5, 0);
  if (Is(t, "mediumint")) return Exact(kInt, kMySQLFixed, 10, 0);  // unsigned too: 24 bits
  if (Is(t, "int") || Is(t, "integer"))
    return isUnsigned ? Exact(kBigInt, kMySQLFixed, 19, 0) : Exact(kInt, kMySQLFixed, 10, 0);
  if (Is(t, "bigint"))
    // An unsigned bigint overflows every integer row: decimal(20,0) holds it.
    return isUnsigned ? Exact(kNumeric, kMySQLFixed, 20, 0) : Exact(kBigInt, kMySQLFixed, 19, 0);
  if (Is(t, "float")) return Fixed(kSingle, kMySQLFixed);
  if (Is(t, "double") || Is(t, "real")) return Fixed(kDouble, kMySQLFixed);
  if (Is(t, "decimal") || Is(t, "numeric") || Is(t, "dec") || Is(t, "fixed"))
    return Exact(kNumeric, kMySQLFixed, precision, scale);
  if (Is(t, "date")) return Fixed(kDate, kMySQLFixed);
  if (Is(t, "time")) return Fixed(kTime, kMySQLFixed);
  if (Is(t, "timestamp")) return Fixed(kTimestamp, 24);
  if (Is(t, "datetime")) return Fixed(kTimestamp, 104);
  if (Is(t, "char")) return TypeSignature{kStr, 120, n, {}, {}};
  if (Is(t, "varchar")) return TypeSignature{kStr, 104, n, {}, {}};
  if (Is(t, "tinytext")) return TypeSignature{kStr, 232, 255, {}, {}};
  if (Is(t, "text")) return TypeSignature{kStr, 232, 65535, {}, {}};
  if (Is(t, "mediumtext")) return TypeSignature{kStr, 232, 16777215, {}, {}};
  if (Is(t, "longtext") || Is(t, "json")) return TypeSignature{kStr, 232, -1, {}, {}};
  // enum and set values are short texts: the varchar row of their longest value.
  if (Is(t, "enum") || Is(t, "set")) return TypeSignature{kStr, 104, n, {}, {}};
  // MariaDB's uuid and inet types read and write as their text form.
  if (Is(t, "uuid")) return TypeSignature{kStr, 120, 36, {}, {}};
  if (Is(t, "inet6")) return TypeSignature{kStr, 104, 39, {}, {}};
  if (Is(t, "inet4")) return TypeSignature{kStr, 104, 15, {}, {}};
  if (Is(t, "tinyblob")) return TypeSignature{kBytes, 104, 255, {}, {}};
  if (Is(t, "blob")) return TypeSignature{kBytes, 232, 65535, {}, {}};
  if (Is(t, "mediumblob")) return TypeSignature{kBytes, 232, 16777215, {}, {}};
  if (Is(t, "longblob")) return TypeSignature{kBytes, 232, -1, {}, {}};
  // binary(n), varbinary(n) and bit(n) arrive as bytes: the smallest blob row that
  // holds n bytes, so no value is cut.
  if (Is(t, "binary") || Is(t, "varbinary") || Is(t, "bit")) {
    std::int64_t bytes = n;
    if (Is(t, "bit")) {
      if (precision.value_or(1) <= 1) return Exact(kTinyInt, 120, 3, 0);  // bit(1): 0 or 1
      bytes = (precision.value_or(64) + 7) / 8;
    }
    if (bytes <= 255) return TypeSignature{kBytes, 104, 255, {}, {}};
    if (bytes <= 65535) return TypeSignature{kBytes, 232, 65535, {}, {}};
    return TypeSignature{kBytes, 232, 16777215, {}, {}};
  }
  // Spatial values arrive as their binary form; nothing shorter than longblob holds
  // every one.
  return TypeSignature{kBytes, 232, -1, {}, {}};
}

TypeSignature SQLServerSignature(std::string_view typeName, std::int64_t columnSize,
                                 std::optional<int> decimalDigits) {
  std::string_view t = typeName;
  if (auto blank = t.find(' '); blank != std::string_view::npos)
    t = t.substr(0, blank);  // "int identity"
  // (max) columns report a size of 0 or above 2^31-1 and hold what text/ntext/image hold.
  const bool max = columnSize <= 0 || columnSize > 1073741823;
  if (Is(t, "varchar"))
    return max ? TypeSignature{kStr, 230, kMaxLength, {}, {}}
               : TypeSignature{kStr, 100, columnSize, {}, {}};
  if (Is(t, "char")) return TypeSignature{kStr, 116, columnSize, {}, {}};
  if (Is(t, "text")) return TypeSignature{kStr, 230, kMaxLength, {}, {}};
  if (Is(t, "nvarchar") || Is(t, "sysname"))
    return max ? TypeSignature{kWStr, 230, 1073741823, {}, {}}
               : TypeSignature{kWStr, 100, columnSize, {}, {}};
  if (Is(t, "nchar")) return TypeSignature{kWStr, 116, columnSize, {}, {}};
  if (Is(t, "ntext") || Is(t, "xml")) return TypeSignature{kWStr, 230, 1073741823, {}, {}};
  if (Is(t, "varbinary"))
    return max ? TypeSignature{kBytes, 230, kMaxLength, {}, {}}
               : TypeSignature{kBytes, 100, columnSize, {}, {}};
  if (Is(t, "binary")) return TypeSignature{kBytes, 116, columnSize, {}, {}};
  if (Is(t, "image")) return TypeSignature{kBytes, 230, kMaxLength, {}, {}};
  if (Is(t, "timestamp") || Is(t, "rowversion")) return TypeSignature{kBytes, 624, 8, {}, {}};
  if (Is(t, "money")) return Exact(kCurrency, 116, 19, 4);
  if (Is(t, "smallmoney")) return Exact(kCurrency, 20, 10, 4);
  if (Is(t, "smallint")) return Exact(kSmallInt, kSQLServerFixed, 5, 0);
  if (Is(t, "int")) return Exact(kInt, kSQLServerFixed, 10, 0);
  if (Is(t, "real")) return Fixed(kSingle, kSQLServerFixed);
  if (Is(t, "float")) return Fixed(kDouble, kSQLServerFixed);
  if (Is(t, "bit")) return Fixed(kBool, kSQLServerFixed);
  if (Is(t, "sql_variant")) return Fixed(kVariant, kSQLServerFixed);
  if (Is(t, "tinyint")) return Exact(kUTinyInt, kSQLServerFixed, 3, 0);
  if (Is(t, "bigint")) return Exact(kBigInt, kSQLServerFixed, 19, 0);
  if (Is(t, "decimal") || Is(t, "numeric"))
    return Exact(kNumeric, kSQLServerFixed, static_cast<int>(columnSize),
                 decimalDigits.value_or(0));
  if (Is(t, "datetime") || Is(t, "smalldatetime")) return Fixed(kTimestamp, kSQLServerFixed);
  if (Is(t, "uniqueidentifier")) return Fixed(kGuid, kSQLServerFixed);
  // date, time, datetime2 and datetimeoffset run beyond what datetime holds (years
  // before 1753, 100 ns, offsets): their text form in nvarchar holds every value.
  if (Is(t, "date") || Is(t, "time") || Is(t, "datetime2") || Is(t, "datetimeoffset"))
    return TypeSignature{kWStr, 100, columnSize > 0 ? columnSize : 34, {}, {}};
  // hierarchyid, geometry, geography and user types over them arrive as bytes.
  return TypeSignature{kBytes, 230, kMaxLength, {}, {}};
}

TypeSignature OdbcTypeSignature(int sqlType, std::int64_t columnSize,
                                std::optional<int> decimalDigits) {
  const std::int64_t n = Clamp(columnSize);
  switch (sqlType) {
    case SQL_CHAR: return TypeSignature{kStr, 116, n, {}, {}};
    case SQL_VARCHAR: return TypeSignature{kStr, 100, n, {}, {}};
    case SQL_LONGVARCHAR: return TypeSignature{kStr, 230, n, {}, {}};
    case SQL_WCHAR: return TypeSignature{kWStr, 116, n, {}, {}};
    case SQL_WVARCHAR: return TypeSignature{kWStr, 100, n, {}, {}};
    case SQL_WLONGVARCHAR: return TypeSignature{kWStr, 230, n, {}, {}};
    case SQL_BINARY: return TypeSignature{kBytes, 116, n, {}, {}};
    case SQL_VARBINARY: return TypeSignature{kBytes, 100, n, {}, {}};
    case SQL_LONGVARBINARY: return TypeSignature{kBytes, 230, n, {}, {}};
    case SQL_BIT: return Fixed(kBool, kSQLServerFixed);
    case SQL_TINYINT: return Exact(kTinyInt, kSQLServerFixed, 3, 0);
    case SQL_SMALLINT: return Exact(kSmallInt, kSQLServerFixed, 5, 0);
    case SQL_INTEGER: return Exact(kInt, kSQLServerFixed, 10, 0);
    case SQL_BIGINT: return Exact(kBigInt, kSQLServerFixed, 19, 0);
    case SQL_REAL: return Fixed(kSingle, kSQLServerFixed);
    case SQL_FLOAT:
    case SQL_DOUBLE: return Fixed(kDouble, kSQLServerFixed);
    case SQL_DECIMAL:
    case SQL_NUMERIC:
      return Exact(kNumeric, kSQLServerFixed, static_cast<int>(columnSize),
                   decimalDigits.value_or(0));
    case SQL_TYPE_DATE: return Fixed(kDate, kSQLServerFixed);
    case SQL_TYPE_TIME: return Fixed(kTime, kSQLServerFixed);
    case SQL_TYPE_TIMESTAMP: return Fixed(kTimestamp, kSQLServerFixed);
    case SQL_GUID: return Fixed(kGuid, kSQLServerFixed);
    default: return TypeSignature{kWStr, 230, -1, {}, {}};
  }
}

}  // namespace ado::odbc
