// The OLE DB type signature of a column (DATA_TYPE, COLUMN_FLAGS, length, precision,
// scale): what the Windows provider of each database reports for a nullable column
// of that type. Types without a row of their own take the nearest row that holds
// every value of the type; each choice is noted beside it in the .cpp.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace ado::odbc {

struct TypeSignature {
  int dataType = 0;
  int flags = 0;
  std::int64_t length = 0;  // CHARACTER_MAXIMUM_LENGTH; -1 above 2^31-1
  std::optional<int> precision;
  std::optional<int> scale;
  friend bool operator==(const TypeSignature&, const TypeSignature&) = default;
};

// From information_schema.COLUMNS: DATA_TYPE ("int"), COLUMN_TYPE ("int(10) unsigned"),
// CHARACTER_MAXIMUM_LENGTH, NUMERIC_PRECISION and NUMERIC_SCALE (absent when null).
TypeSignature MySQLSignature(std::string_view dataType, std::string_view columnType,
                             std::optional<std::int64_t> charLength, std::optional<int> precision,
                             std::optional<int> scale);

// From SQLColumns on SQL Server: TYPE_NAME ("nvarchar", "int identity"), COLUMN_SIZE
// and DECIMAL_DIGITS.
TypeSignature SQLServerSignature(std::string_view typeName, std::int64_t columnSize,
                                 std::optional<int> decimalDigits);

// Any other ODBC database, from the ODBC SQL type of SQLColumns.
TypeSignature OdbcTypeSignature(int sqlType, std::int64_t columnSize,
                                std::optional<int> decimalDigits);

}  // namespace ado::odbc
