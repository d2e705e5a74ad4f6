#include "platform/ado/odbc/odbc_params.h"

#include <algorithm>

namespace ado::odbc {

namespace {

// Above these, SQL Server wants the long parameter types.
constexpr std::size_t kLongText = 4000;
constexpr std::size_t kLongBinary = 8000;

}  // namespace

void BindParameter(const Statement& stmt, SQLUSMALLINT number, const Variant& v, ParamSlot& p,
                   bool sqlServer) {
  SQLSMALLINT cType = SQL_C_CHAR, sqlType = SQL_VARCHAR, digits = 0;
  SQLULEN size = 1;
  SQLPOINTER data = nullptr;
  SQLLEN length = 0;
  auto textual = [&](const std::string& s, bool binary) {
    cType = binary ? SQL_C_BINARY : SQL_C_CHAR;
    if (binary)
      sqlType = s.size() > kLongBinary ? SQL_LONGVARBINARY : SQL_VARBINARY;
    else if (sqlServer)
      sqlType = s.size() > kLongText ? SQL_WLONGVARCHAR : SQL_WVARCHAR;
    else
      sqlType = s.size() > kLongText ? SQL_LONGVARCHAR : SQL_VARCHAR;
    size = std::max<SQLULEN>(s.size(), 1);
    data = const_cast<char*>(s.data());
    length = static_cast<SQLLEN>(s.size());
  };
  auto fixed = [&](void* at, SQLSMALLINT c, SQLSMALLINT sql, SQLULEN columnSize) {
    data = at;
    cType = c;
    sqlType = sql;
    size = columnSize;
  };
  switch (v.kind()) {
    case VariantKind::Null:
      length = SQL_NULL_DATA;
      data = &p.scratch;
      break;
    case VariantKind::Bool:
      p.scratch.b = v.asBool() ? 1 : 0;
      fixed(&p.scratch.b, SQL_C_BIT, SQL_BIT, 1);
      break;
    case VariantKind::Int:
      p.scratch.i = v.asInt();
      fixed(&p.scratch.i, SQL_C_SBIGINT, SQL_BIGINT, 19);
      break;
    case VariantKind::UInt:
      p.scratch.u = v.asUInt();
      fixed(&p.scratch.u, SQL_C_UBIGINT, SQL_BIGINT, 20);
      break;
    case VariantKind::Double:
      p.scratch.d = v.asDouble();
      fixed(&p.scratch.d, SQL_C_DOUBLE, SQL_DOUBLE, 15);
      break;
    case VariantKind::Decimal:
      // As text, which the server reads exactly; a bound numeric would be rounded
      // to the driver's idea of precision and scale.
      textual(v.asDecimal().text, false);
      sqlType = SQL_VARCHAR;
      break;
    case VariantKind::Text: textual(v.asText(), false); break;
    case VariantKind::Bytes: textual(v.asBytes().data, true); break;
    case VariantKind::Date: {
      const Date& d = v.asDate();
      p.scratch.date =
          SQL_DATE_STRUCT{static_cast<SQLSMALLINT>(d.year), static_cast<SQLUSMALLINT>(d.month),
                          static_cast<SQLUSMALLINT>(d.day)};
      fixed(&p.scratch.date, SQL_C_TYPE_DATE, SQL_TYPE_DATE, 10);
      break;
    }
    case VariantKind::Time:
      // As text: a MySQL time may lie beyond 24 hours or below zero.
      p.text = FormatTime(v.asTime());
      textual(p.text, false);
      sqlType = SQL_VARCHAR;
      break;
    case VariantKind::DateTime: {
      const DateTime& dt = v.asDateTime();
      auto& ts = p.scratch.ts;
      ts.year = static_cast<SQLSMALLINT>(dt.date.year);
      ts.month = static_cast<SQLUSMALLINT>(dt.date.month);
      ts.day = static_cast<SQLUSMALLINT>(dt.date.day);
      ts.hour = static_cast<SQLUSMALLINT>(dt.time.hour);
      ts.minute = static_cast<SQLUSMALLINT>(dt.time.minute);
      ts.second = static_cast<SQLUSMALLINT>(dt.time.second);
      ts.fraction = dt.time.nanosecond;
      const std::uint32_t ns = dt.time.nanosecond;
      digits = ns == 0 ? 0 : ns % 1000000 == 0 ? 3 : ns % 1000 == 0 ? 6 : 9;
      if (sqlServer && digits > 3) digits = 3;  // datetime
      fixed(&p.scratch.ts, SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP,
            static_cast<SQLULEN>(19 + (digits ? digits + 1 : 0)));
      break;
    }
  }
  p.ind = length;
  if (cType != SQL_C_CHAR && cType != SQL_C_BINARY && length != SQL_NULL_DATA) p.ind = 0;
  stmt.check(SQLBindParameter(stmt.get(), number, SQL_PARAM_INPUT, cType, sqlType, size, digits,
                              data, length > 0 ? length : 0, &p.ind),
             "SQLBindParameter");
}

}  // namespace ado::odbc
