#include "sqlgen/type_mapping.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <string_view>

namespace {

// MySQL rejects a VARCHAR longer than this in a utf8mb4 table.
constexpr int kMySQLMaxVarchar = 16383;
constexpr int kMySQLMaxChar = 255;
constexpr int kMySQLMaxBlob = 65535;
constexpr int kSQLServerMaxVarchar = 8000;
constexpr int kSQLServerMaxNVarchar = 4000;

std::string AccessSourceName(const TCorvaneField& f) {
  switch (f.DataType) {
    case 2: return "INTEGER";
    case 3: return "INT";
    case 4: return "SINGLE";
    case 5: return "DOUBLE";
    case 6: return "CURRENCY";
    case 7: return "DATETIME";
    case 11: return "YESNO";
    case 17: return "BYTE";
    case 128: return "OLEOBJECT";
    case 130: return f.ColumnFlags == 234 ? "MEMO" : "TEXT";
    case 131: return "FLOAT";
    default: return f.CharMaxLength >= 65535 ? "MEMO" : "TEXT";
  }
}

std::string SQLServerSourceName(const TCorvaneField& f) {
  switch (f.DataType) {
    case 2: return "SMALLINT";
    case 3: return "INT";
    case 4: return "REAL";
    case 5: return "FLOAT";
    case 6: return f.ColumnFlags == 116 ? "MONEY" : "SMALLMONEY";
    case 11: return "BIT";
    case 12: return "SQL_VARIANT";
    case 17: return "TINYINT";
    case 20: return "BIGINT";
    case 128:
      switch (f.ColumnFlags) {
        case 100: return "VARBINARY";
        case 230: return "IMAGE";
        case 624: return "TIMESTAMP";
        default: return "BINARY";
      }
    case 129:
      switch (f.ColumnFlags) {
        case 116: return "CHAR";
        case 230: return "TEXT";
        default: return "VARCHAR";
      }
    case 130:
      switch (f.ColumnFlags) {
        case 116: return "NCHAR";
        case 230: return "NTEXT";
        default: return "NVARCHAR";
      }
    case 131: return "DECIMAL";
    case 135: return "DATETIME";
    default: return "VARCHAR";
  }
}

std::string MySQLSourceName(const TCorvaneField& f) {
  switch (f.DataType) {
    case 2: return "SMALLINT";
    case 3: return "INTEGER";
    case 4: return "FLOAT";
    case 5: return "DOUBLE";
    case 16: return f.ColumnFlags == 120 ? "BOOLEAN" : "TINYINT";
    case 20: return "BIGINT";
    case 128:
      if (f.ColumnFlags == 104) return "TINYBLOB";
      if (f.ColumnFlags == 232) {
        if (f.CharMaxLength == -1) return "LONGBLOB";
        if (f.CharMaxLength == 16777215) return "MEDIUMBLOB";
        return "BLOB";
      }
      // Other binary columns: the smallest blob that holds every value.
      return f.CharMaxLength > 0 && f.CharMaxLength <= kMySQLMaxBlob ? "BLOB" : "LONGBLOB";
    case 129:
      if (f.ColumnFlags == 120) return "CHAR";
      if (f.ColumnFlags == 232) {
        if (f.CharMaxLength == -1) return "LONGTEXT";
        if (f.CharMaxLength == 255) return "TINYTEXT";
        if (f.CharMaxLength == 16777215) return "MEDIUMTEXT";
        return "TEXT";
      }
      return "VARCHAR";
    case 131: return "DECIMAL";
    case 133: return "DATE";
    case 134: return "TIME";
    case 135: return f.ColumnFlags == 24 ? "TIMESTAMP" : "DATETIME";
    default: return "VARCHAR";
  }
}

using PairTable = std::map<std::string_view, std::string_view>;

struct Pair {
  PairTable names;
  std::string_view fallback;
};

// Access source, SQL Server destination.
const Pair kAccessToSQLServer{{{"YESNO", "BIT"},
                               {"BYTE", "TINYINT"},
                               {"CURRENCY", "MONEY"},
                               {"DATETIME", "DATETIME"},
                               {"DOUBLE", "FLOAT"},
                               {"FLOAT", "DECIMAL"},
                               {"INT", "INT"},
                               {"INTEGER", "INT"},
                               {"MEMO", "TEXT"},
                               {"OLEOBJECT", "IMAGE"},
                               {"SINGLE", "FLOAT"},
                               {"TEXT", "VARCHAR"}},
                              "VARCHAR"};

const Pair kAccessToMySQL{{{"YESNO", "BOOLEAN"},
                           {"BYTE", "TINYINT UNSIGNED"},
                           {"CURRENCY", "DECIMAL"},
                           {"DATETIME", "DATETIME"},
                           {"DOUBLE", "DOUBLE"},
                           {"FLOAT", "DECIMAL"},
                           {"INT", "INT"},
                           {"INTEGER", "INT"},
                           {"MEMO", "LONGTEXT"},
                           {"OLEOBJECT", "LONGBLOB"},
                           {"SINGLE", "DOUBLE"},
                           {"TEXT", "VARCHAR"}},
                          "LONGTEXT"};

const Pair kSQLServerToAccess{{{"BIGINT", "INT"},
                               {"BINARY", "BYTE"},
                               {"BIT", "YESNO"},
                               {"CHAR", "CHAR"},
                               {"DATETIME", "DATETIME"},
                               {"DECIMAL", "DOUBLE"},
                               {"FLOAT", "FLOAT"},
                               {"IMAGE", "OLEOBJECT"},
                               {"INT", "INT"},
                               {"MONEY", "CURRENCY"},
                               {"NCHAR", "TEXT"},
                               {"NTEXT", "TEXT"},
                               {"NVARCHAR", "VARCHAR"},
                               {"REAL", "DOUBLE"},
                               {"SMALLINT", "INT"},
                               {"SMALLMONEY", "FLOAT"},
                               {"SQL_VARIANT", "VARCHAR"},
                               {"TEXT", "TEXT"},
                               {"TIMESTAMP", "OLEOBJECT"},
                               {"TINYINT", "INT"},
                               {"VARBINARY", "BYTE"},
                               {"VARCHAR", "VARCHAR"}},
                              "VARCHAR"};

// BINARY and VARBINARY are settled by length below.
const Pair kSQLServerToMySQL{{{"BIGINT", "BIGINT"},
                              {"BIT", "BOOLEAN"},
                              {"CHAR", "CHAR"},
                              {"DATETIME", "DATETIME"},
                              {"DECIMAL", "DECIMAL"},
                              // SQL Server FLOAT is double precision; MySQL FLOAT is single.
                              {"FLOAT", "DOUBLE"},
                              {"IMAGE", "LONGBLOB"},
                              {"INT", "INT"},
                              {"MONEY", "DECIMAL"},
                              {"NCHAR", "TEXT"},
                              {"NTEXT", "LONGTEXT"},
                              {"NVARCHAR", "VARCHAR"},
                              {"REAL", "DOUBLE"},
                              {"SMALLINT", "INT"},
                              {"SMALLMONEY", "DECIMAL"},
                              {"SQL_VARIANT", "VARCHAR"},
                              {"TEXT", "LONGTEXT"},
                              {"TIMESTAMP", "BLOB"},
                              {"TINYINT", "INT"},
                              {"VARCHAR", "VARCHAR"}},
                             "VARCHAR"};

const Pair kMySQLToAccess{{{"BIGINT", "INT"},
                           {"BLOB", "OLEOBJECT"},
                           {"BOOLEAN", "YESNO"},
                           {"CHAR", "CHAR"},
                           {"DATE", "DATETIME"},
                           {"DATETIME", "DATETIME"},
                           {"DECIMAL", "FLOAT"},
                           {"DOUBLE", "DOUBLE"},
                           {"FLOAT", "FLOAT"},
                           {"INTEGER", "INT"},
                           {"LONGBLOB", "OLEOBJECT"},
                           {"LONGTEXT", "TEXT"},
                           {"MEDIUMBLOB", "OLEOBJECT"},
                           {"MEDIUMTEXT", "TEXT"},
                           {"SMALLINT", "INT"},
                           {"TEXT", "TEXT"},
                           {"TIME", "DATETIME"},
                           {"TIMESTAMP", "DATETIME"},
                           {"TINYBLOB", "OLEOBJECT"},
                           {"TINYINT", "INT"},
                           {"TINYTEXT", "TEXT"},
                           {"VARCHAR", "VARCHAR"}},
                          "VARCHAR"};

const Pair kMySQLToSQLServer{{{"BIGINT", "BIGINT"},
                              {"BLOB", "IMAGE"},
                              {"BOOLEAN", "BIT"},
                              {"CHAR", "CHAR"},
                              {"DATE", "DATETIME"},
                              {"DATETIME", "DATETIME"},
                              {"DECIMAL", "DECIMAL"},
                              {"DOUBLE", "FLOAT"},
                              {"FLOAT", "FLOAT"},
                              {"INTEGER", "INT"},
                              {"LONGBLOB", "IMAGE"},
                              {"LONGTEXT", "TEXT"},
                              {"MEDIUMBLOB", "IMAGE"},
                              {"MEDIUMTEXT", "TEXT"},
                              {"SMALLINT", "SMALLINT"},
                              {"TEXT", "TEXT"},
                              {"TIME", "DATETIME"},
                              {"TIMESTAMP", "DATETIME"},
                              {"TINYBLOB", "IMAGE"},
                              {"TINYINT", "SMALLINT"},
                              {"TINYTEXT", "TEXT"},
                              {"VARCHAR", "VARCHAR"}},
                             "VARCHAR"};

const Pair* PairFor(TDatabaseKind source, TDatabaseKind dest) {
  if (IsAccessDialect(source)) return IsSQLServerDialect(dest) ? &kAccessToSQLServer : &kAccessToMySQL;
  if (IsSQLServerDialect(source)) return IsAccessDialect(dest) ? &kSQLServerToAccess : &kSQLServerToMySQL;
  return IsAccessDialect(dest) ? &kMySQLToAccess : &kMySQLToSQLServer;
}

std::string Trimmed(std::string s) {
  auto notSpace = [](unsigned char c) { return !std::isspace(c); };
  s.erase(s.begin(), std::find_if(s.begin(), s.end(), notSpace));
  s.erase(std::find_if(s.rbegin(), s.rend(), notSpace).base(), s.end());
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

bool IsCharacterName(const std::string& n) {
  return n == "CHAR" || n == "NCHAR" || n == "VARCHAR" || n == "NVARCHAR";
}

// Long values that a destination's bounded types cannot hold go to its long types.
std::string BoundByDestination(std::string name, const TCorvaneField& f, TDatabaseKind kind) {
  const int len = f.CharMaxLength;
  if (IsMySQLDialect(kind)) {
    if (IsCharacterName(name)) {
      if (len == -1) return "LONGTEXT";
      if (len == 0) return "VARCHAR";  // length unknown: VARCHAR(255)
      if (len > kMySQLMaxVarchar) return "LONGTEXT";
      if ((name == "CHAR" || name == "NCHAR") && len > kMySQLMaxChar) return "VARCHAR";
    }
    if (name == "BINARY" || name == "VARBINARY")
      return len > 0 && len <= kMySQLMaxBlob ? "BLOB" : "LONGBLOB";
  } else if (IsSQLServerDialect(kind)) {
    if (IsCharacterName(name)) {
      const bool wide = name == "NCHAR" || name == "NVARCHAR";
      if (len == -1) return wide ? "NTEXT" : "TEXT";
      if (len == 0) return "VARCHAR";
      if (len > (wide ? kSQLServerMaxNVarchar : kSQLServerMaxVarchar)) return wide ? "NTEXT" : "TEXT";
    }
    if ((name == "VARBINARY" || name == "BINARY") && (len == -1 || len > kSQLServerMaxVarchar))
      return "IMAGE";
  }
  return name;
}

}  // namespace

std::string SourceTypeName(const TCorvaneField& field) {
  if (IsAccessDialect(field.DBKind)) return AccessSourceName(field);
  if (IsSQLServerDialect(field.DBKind)) return SQLServerSourceName(field);
  if (IsMySQLDialect(field.DBKind)) return MySQLSourceName(field);
  return {};
}

std::string DestTypeName(const TCorvaneField& field, TDatabaseKind kind) {
  if (!HasDialect(kind) || !HasDialect(field.DBKind)) return {};
  std::string name = SourceTypeName(field);
  if (!SameDialect(field.DBKind, kind)) {
    const Pair& pair = *PairFor(field.DBKind, kind);
    auto it = pair.names.find(name);
    if (it != pair.names.end())
      name = std::string(it->second);
    else if (!(IsSQLServerDialect(field.DBKind) && IsMySQLDialect(kind) &&
               (name == "BINARY" || name == "VARBINARY")))
      name = std::string(pair.fallback);
    if (IsAccessDialect(kind) && name == "TEXT" && field.CharMaxLength >= 65535) name = "MEMO";
  }
  return Trimmed(BoundByDestination(std::move(name), field, kind));
}

std::string ColumnTypeText(const TCorvaneField& field, TDatabaseKind kind) {
  std::string name = DestTypeName(field, kind);
  if (IsAccessDialect(kind)) {
    if (name == "TEXT" && field.CharMaxLength > 0)
      name += "(" + std::to_string(field.CharMaxLength) + ")";
    return name;
  }
  if (!IsSQLServerDialect(kind) && !IsMySQLDialect(kind)) return name;
  if (IsCharacterName(name)) {
    int len = field.CharMaxLength > 0 ? field.CharMaxLength : 255;
    name += "(" + std::to_string(len) + ")";
  } else if (IsSQLServerDialect(kind) && (name == "BINARY" || name == "VARBINARY") &&
             field.CharMaxLength > 0) {
    // Without a length SQL Server reads BINARY(1) and cuts every value.
    name += "(" + std::to_string(field.CharMaxLength) + ")";
  } else if (name == "DECIMAL") {
    // Money keeps the range and the four places of the source type.
    const std::string source = SourceTypeName(field);
    int precision = field.NumericPrecision;
    int scale = field.NumericScale;
    if (source == "CURRENCY" || source == "MONEY") {
      precision = 19;
      scale = 4;
    } else if (source == "SMALLMONEY") {
      precision = 10;
      scale = 4;
    }
    if (precision > 0) name += "(" + std::to_string(precision) + "," + std::to_string(scale) + ")";
  } else if (IsMySQLDialect(kind) && field.DateTimePrecision > 0 &&
             (name == "DATETIME" || name == "TIME" || name == "TIMESTAMP")) {
    // Without it MySQL keeps whole seconds and cuts the fraction off every value.
    name += "(" + std::to_string(std::min(field.DateTimePrecision, 6)) + ")";
  }
  return name;
}
