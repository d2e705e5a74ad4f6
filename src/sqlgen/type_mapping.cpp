#include "sqlgen/type_mapping.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <string_view>

#include "platform/text/text.h"

namespace {

// MySQL rejects a VARCHAR longer than this in a utf8mb4 table.
constexpr int kMySQLMaxVarchar = 16383;
constexpr int kMySQLMaxChar = 255;
constexpr int kMySQLMaxBlob = 65535;
constexpr int kSQLServerMaxVarchar = 8000;
constexpr int kSQLServerMaxNVarchar = 4000;
constexpr int kSQLServerMaxBinary = 8000;
// Jet: a TEXT column holds up to 255 characters, a BINARY one up to 510 bytes.
constexpr int kAccessMaxText = 255;
constexpr int kAccessMaxBinary = 510;
// Digits an exact numeric can hold.
constexpr int kAccessMaxPrecision = 28;
constexpr int kSQLServerMaxPrecision = 38;
constexpr int kMySQLMaxPrecision = 65;

// The field's own declaration is `type(...)`, as MySQL writes it ("varbinary(300)").
bool DeclaredAs(const TCorvaneField& f, std::string_view type) {
  return text::StartsWithNoCase(f.ColumnType, type) && f.ColumnType.size() > type.size() &&
         f.ColumnType[type.size()] == '(';
}

// The number in the parentheses of the field's own declaration; 0 when there is none.
int DeclaredLength(const TCorvaneField& f) {
  const std::size_t open = f.ColumnType.find('(');
  if (open == std::string::npos) return 0;
  long n = 0;
  for (std::size_t i = open + 1;
       i < f.ColumnType.size() && std::isdigit(static_cast<unsigned char>(f.ColumnType[i])); ++i) {
    n = n * 10 + (f.ColumnType[i] - '0');
    if (n > 1L << 30) return 0;
  }
  return static_cast<int>(n);
}

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
      // Binary strings and bit fields carry the nearest blob's signature; their own
      // declaration tells them apart.
      if (DeclaredAs(f, "binary")) return "BINARY";
      if (DeclaredAs(f, "varbinary")) return "VARBINARY";
      if (DeclaredAs(f, "bit")) return "BIT";
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
// Access text is Unicode: it goes to the N types.
const Pair kAccessToSQLServer{{{"YESNO", "BIT"},
                               {"BYTE", "TINYINT"},
                               {"CURRENCY", "MONEY"},
                               {"DATETIME", "DATETIME"},
                               {"DOUBLE", "FLOAT"},
                               {"FLOAT", "DECIMAL"},
                               {"INT", "INT"},
                               {"INTEGER", "INT"},
                               {"MEMO", "NTEXT"},
                               {"OLEOBJECT", "IMAGE"},
                               {"SINGLE", "FLOAT"},
                               {"TEXT", "NVARCHAR"}},
                              "NVARCHAR"};

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

// Jet 4 has no 64-bit integer; DECIMAL(19,0) holds every BIGINT.
const Pair kSQLServerToAccess{{{"BIGINT", "DECIMAL"},
                               {"BINARY", "BINARY"},
                               {"BIT", "YESNO"},
                               {"CHAR", "CHAR"},
                               {"DATETIME", "DATETIME"},
                               {"DECIMAL", "DECIMAL"},
                               {"FLOAT", "FLOAT"},
                               {"IMAGE", "OLEOBJECT"},
                               {"INT", "INT"},
                               {"MONEY", "CURRENCY"},
                               {"NCHAR", "TEXT"},
                               {"NTEXT", "TEXT"},
                               {"NVARCHAR", "VARCHAR"},
                               {"REAL", "DOUBLE"},
                               {"SMALLINT", "INT"},
                               {"SMALLMONEY", "CURRENCY"},
                               {"SQL_VARIANT", "VARCHAR"},
                               {"TEXT", "TEXT"},
                               {"TIMESTAMP", "OLEOBJECT"},
                               {"TINYINT", "INT"},
                               {"VARBINARY", "BINARY"},
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

const Pair kMySQLToAccess{{{"BIGINT", "DECIMAL"},
                           {"BINARY", "BINARY"},
                           {"BIT", "BINARY"},
                           {"BLOB", "OLEOBJECT"},
                           {"BOOLEAN", "YESNO"},
                           {"CHAR", "CHAR"},
                           {"DATE", "DATETIME"},
                           {"DATETIME", "DATETIME"},
                           {"DECIMAL", "DECIMAL"},
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
                           {"VARBINARY", "BINARY"},
                           {"VARCHAR", "VARCHAR"}},
                          "VARCHAR"};

// MySQL text may hold any character: it goes to the N types. BIT(n) arrives as its bytes.
const Pair kMySQLToSQLServer{{{"BIGINT", "BIGINT"},
                              {"BINARY", "BINARY"},
                              {"BIT", "BINARY"},
                              {"BLOB", "IMAGE"},
                              {"BOOLEAN", "BIT"},
                              {"CHAR", "NCHAR"},
                              {"DATE", "DATETIME"},
                              {"DATETIME", "DATETIME"},
                              {"DECIMAL", "DECIMAL"},
                              {"DOUBLE", "FLOAT"},
                              {"FLOAT", "FLOAT"},
                              {"INTEGER", "INT"},
                              {"LONGBLOB", "IMAGE"},
                              {"LONGTEXT", "NTEXT"},
                              {"MEDIUMBLOB", "IMAGE"},
                              {"MEDIUMTEXT", "NTEXT"},
                              {"SMALLINT", "SMALLINT"},
                              {"TEXT", "NTEXT"},
                              {"TIME", "DATETIME"},
                              {"TIMESTAMP", "DATETIME"},
                              {"TINYBLOB", "IMAGE"},
                              {"TINYINT", "SMALLINT"},
                              {"TINYTEXT", "NTEXT"},
                              {"VARBINARY", "VARBINARY"},
                              {"VARCHAR", "NVARCHAR"}},
                             "NVARCHAR"};

const Pair* PairFor(TDatabaseKind source, TDatabaseKind dest) {
  if (IsAccessDialect(source)) return IsSQLServerDialect(dest) ? &kAccessToSQLServer : &kAccessToMySQL;
  if (IsSQLServerDialect(source)) return IsAccessDialect(dest) ? &kSQLServerToAccess : &kSQLServerToMySQL;
  return IsAccessDialect(dest) ? &kMySQLToAccess : &kMySQLToSQLServer;
}

bool IsCharacterName(const std::string& n) {
  return n == "CHAR" || n == "NCHAR" || n == "VARCHAR" || n == "NVARCHAR";
}

bool IsMySQLTextName(const std::string& n) {
  return n == "CHAR" || n == "VARCHAR" || n == "TINYTEXT" || n == "TEXT" || n == "MEDIUMTEXT" ||
         n == "LONGTEXT";
}

std::string Parenthesised(int n) {
  return "(" + std::to_string(n) + ")";
}

// A destination type: its name (what the type classes look at) and what follows it in
// the column line ("(50)", "(18,4)").
struct DestType {
  std::string name;
  std::string args;
};

// Bytes a binary column holds: a MySQL bit field its bits in whole bytes, a MySQL
// binary string the length of its declaration, anything else its reported length.
int ByteLength(const TCorvaneField& f, const std::string& source) {
  if (IsMySQLDialect(f.DBKind)) {
    const int declared = DeclaredLength(f);
    if (source == "BIT") return declared > 0 ? (declared + 7) / 8 : 8;
    if ((source == "BINARY" || source == "VARBINARY") && declared > 0) return declared;
  }
  return f.CharMaxLength;
}

// An exact numeric: DECIMAL(p,s) where the destination holds p digits, otherwise a
// text wide enough for every value (sign and point included), so no digit is lost.
DestType ExactNumeric(const TCorvaneField& f, const std::string& source, TDatabaseKind kind) {
  int precision = f.NumericPrecision;
  int scale = f.NumericScale;
  // Money keeps the range and the four places of the source type.
  if (source == "CURRENCY" || source == "MONEY") {
    precision = 19;
    scale = 4;
  } else if (source == "SMALLMONEY") {
    precision = 10;
    scale = 4;
  } else if (source == "BIGINT") {
    precision = 19;
    scale = 0;
  }
  const int limit = IsAccessDialect(kind)      ? kAccessMaxPrecision
                    : IsSQLServerDialect(kind) ? kSQLServerMaxPrecision
                                               : kMySQLMaxPrecision;
  if (precision > limit) {
    // Sign and point; and the zero before the point when every digit is after it.
    const int width = precision + 2 + (scale >= precision ? 1 : 0);
    return {IsAccessDialect(kind) ? "TEXT" : "VARCHAR", Parenthesised(width)};
  }
  if (precision <= 0) return {"DECIMAL", {}};
  return {"DECIMAL", "(" + std::to_string(precision) + "," + std::to_string(scale) + ")"};
}

DestType ToAccess(std::string name, const std::string& source, const TCorvaneField& f) {
  const int len = f.CharMaxLength;
  // Every exact numeric, Access Decimal included, keeps its digits.
  if (f.DataType == 131 || name == "DECIMAL") return ExactNumeric(f, source, dkAccess);
  if (name == "TEXT" || name == "VARCHAR" || name == "CHAR" || name == "MEMO") {
    const bool longSource = !IsAccessDialect(f.DBKind) &&
                            (source == "TEXT" || source == "NTEXT" || source == "LONGTEXT" ||
                             source == "MEDIUMTEXT");
    if (name == "MEMO" || longSource || len == -1 || len > kAccessMaxText) return {"MEMO", {}};
    if (name == "TEXT") return {name, Parenthesised(len > 0 ? len : kAccessMaxText)};
    return {name, {}};
  }
  if (name == "BINARY") {
    const int bytes = ByteLength(f, source);
    if (bytes > 0 && bytes <= kAccessMaxBinary) return {name, Parenthesised(bytes)};
    return {"OLEOBJECT", {}};
  }
  return {name, {}};
}

DestType ToSQLServer(std::string name, const std::string& source, const TCorvaneField& f) {
  const int len = f.CharMaxLength;
  if (name == "DECIMAL") return ExactNumeric(f, source, dkSQLServer);
  if (IsCharacterName(name)) {
    const bool wide = name == "NCHAR" || name == "NVARCHAR";
    if (len == 0) return {wide ? "NVARCHAR" : "VARCHAR", Parenthesised(255)};
    if (len == -1 || len > (wide ? kSQLServerMaxNVarchar : kSQLServerMaxVarchar))
      return {wide ? "NTEXT" : "TEXT", {}};
    return {name, Parenthesised(len)};
  }
  if (name == "BINARY" || name == "VARBINARY") {
    // Without a length SQL Server reads BINARY(1) and cuts every value.
    const int bytes = ByteLength(f, source);
    if (bytes > 0 && bytes <= kSQLServerMaxBinary) return {name, Parenthesised(bytes)};
    return {"IMAGE", {}};
  }
  return {name, {}};
}

DestType ToMySQL(std::string name, const std::string& source, const TCorvaneField& f) {
  const int len = f.CharMaxLength;
  const bool fromMySQL = IsMySQLDialect(f.DBKind);
  if (name == "DECIMAL") return ExactNumeric(f, source, dkMySQL);
  if (IsCharacterName(name)) {
    if (len == -1) return {"LONGTEXT", {}};
    if (len == 0) return {"VARCHAR", Parenthesised(255)};
    // A MySQL column that keeps its character set fits as it did in its source.
    const bool keepsCharset = fromMySQL && !f.CharacterSet.empty();
    if (len > kMySQLMaxVarchar && !keepsCharset) return {"LONGTEXT", {}};
    if ((name == "CHAR" || name == "NCHAR") && len > kMySQLMaxChar) name = "VARCHAR";
    return {name, Parenthesised(len)};
  }
  if (name == "BINARY" || name == "VARBINARY") {
    const int bytes = ByteLength(f, source);
    // A binary string can be a key, which a blob cannot without a prefix.
    if (fromMySQL && bytes > 0 && bytes <= (name == "BINARY" ? kMySQLMaxChar : kMySQLMaxBlob))
      return {name, Parenthesised(bytes)};
    return {bytes > 0 && bytes <= kMySQLMaxBlob ? "BLOB" : "LONGBLOB", {}};
  }
  if (name == "BIT") {
    const int bits = DeclaredLength(f);
    return {name, Parenthesised(bits > 0 ? bits : 64)};
  }
  if (f.DateTimePrecision > 0 && (name == "DATETIME" || name == "TIME" || name == "TIMESTAMP"))
    // Without it MySQL keeps whole seconds and cuts the fraction off every value.
    return {name, Parenthesised(std::min(f.DateTimePrecision, 6))};
  return {name, {}};
}

DestType Resolve(const TCorvaneField& field, TDatabaseKind kind) {
  if (!HasDialect(kind) || !HasDialect(field.DBKind)) return {};
  const std::string source = SourceTypeName(field);
  std::string name = source;
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
  name = text::UpperCase(text::TrimBlanks(name));
  if (IsAccessDialect(kind)) return ToAccess(std::move(name), source, field);
  if (IsSQLServerDialect(kind)) return ToSQLServer(std::move(name), source, field);
  return ToMySQL(std::move(name), source, field);
}

}  // namespace

std::string SourceTypeName(const TCorvaneField& field) {
  if (IsAccessDialect(field.DBKind)) return AccessSourceName(field);
  if (IsSQLServerDialect(field.DBKind)) return SQLServerSourceName(field);
  if (IsMySQLDialect(field.DBKind)) return MySQLSourceName(field);
  return {};
}

std::string DestTypeName(const TCorvaneField& field, TDatabaseKind kind) {
  return Resolve(field, kind).name;
}

std::string ColumnTypeText(const TCorvaneField& field, TDatabaseKind kind) {
  DestType t = Resolve(field, kind);
  return t.name + t.args;
}

bool KeepsGeneration(const TCorvaneField& field, TDatabaseKind kind) {
  return field.IsGenerated() && IsMySQLDialect(field.DBKind) && IsMySQLDialect(kind);
}

std::string ColumnDefinition(const TCorvaneField& field, TDatabaseKind kind, bool inPrimaryKey) {
  const DestType t = Resolve(field, kind);
  std::string out = t.name + t.args;
  if (!IsMySQLDialect(kind)) return out;
  if (IsMySQLDialect(field.DBKind) && IsMySQLTextName(t.name)) {
    // Collation decides which values are distinct: 'a' and 'A' are two keys only
    // under a case-sensitive one.
    if (!field.CharacterSet.empty()) out += " CHARACTER SET " + field.CharacterSet;
    if (!field.Collation.empty()) out += " COLLATE " + field.Collation;
  }
  if (KeepsGeneration(field, kind)) {
    out += " AS (" + field.GenerationExpression + ")";
    out += field.GenerationStored ? " STORED" : " VIRTUAL";
  } else if (t.name == "TIMESTAMP") {
    // A bare TIMESTAMP may turn NULL into the current time and gain ON UPDATE. A key
    // column cannot be NULL (MySQL refuses the table): its explicit default keeps ON
    // UPDATE away, which would change the key when another column is updated.
    out += inPrimaryKey ? " NOT NULL DEFAULT CURRENT_TIMESTAMP" + t.args : " NULL";
  }
  return out;
}
