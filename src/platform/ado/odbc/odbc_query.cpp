#include "platform/ado/odbc/odbc_query.h"

#include <charconv>
#include <cstring>

namespace ado::odbc {

namespace {

constexpr std::size_t kChunk = 64 * 1024;
// SQL Server types the ODBC headers of unixODBC do not name.
constexpr SQLSMALLINT kSsTime2 = -154;

}  // namespace

ReadAs ReadAsFor(SQLSMALLINT sqlType, bool isUnsigned) {
  switch (sqlType) {
    case SQL_BIT: return ReadAs::Bool;
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER: return ReadAs::Int;
    case SQL_BIGINT: return isUnsigned ? ReadAs::UInt : ReadAs::Int;
    case SQL_REAL: return ReadAs::Float;
    case SQL_FLOAT:
    case SQL_DOUBLE: return ReadAs::Double;
    case SQL_DECIMAL:
    case SQL_NUMERIC: return ReadAs::Decimal;
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY: return ReadAs::Bytes;
    case SQL_TYPE_DATE:
    case SQL_DATE: return ReadAs::Date;
    case SQL_TYPE_TIME:
    case SQL_TIME:
    case kSsTime2: return ReadAs::Time;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP: return ReadAs::DateTime;
    default:
      // Character types, GUIDs, intervals and driver-specific types read as text.
      return ReadAs::Text;
  }
}

bool ParseTimeText(std::string_view s, Time& out) {
  Time t;
  std::size_t i = 0;
  if (i < s.size() && s[i] == '-') {
    t.negative = true;
    ++i;
  }
  auto number = [&](int& v, std::size_t minDigits, std::size_t maxDigits) {
    std::size_t start = i;
    v = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9' && i - start < maxDigits)
      v = v * 10 + (s[i++] - '0');
    return i - start >= minDigits;
  };
  if (!number(t.hour, 1, 4) || i >= s.size() || s[i++] != ':') return false;
  if (!number(t.minute, 2, 2) || i >= s.size() || s[i++] != ':') return false;
  if (!number(t.second, 2, 2)) return false;
  if (i < s.size() && s[i] == '.') {
    ++i;
    std::uint32_t ns = 0;
    int digits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
      if (digits < 9) {
        ns = ns * 10 + static_cast<std::uint32_t>(s[i] - '0');
        ++digits;
      }
      ++i;
    }
    for (; digits < 9; ++digits) ns *= 10;
    t.nanosecond = ns;
  }
  if (i != s.size()) return false;
  out = t;
  return true;
}

bool ParseDateText(std::string_view s, DateTime& out, bool& hasTime) {
  auto digits = [&](std::size_t at, std::size_t n, int& v) {
    if (at + n > s.size()) return false;
    v = 0;
    for (std::size_t i = at; i < at + n; ++i) {
      if (s[i] < '0' || s[i] > '9') return false;
      v = v * 10 + (s[i] - '0');
    }
    return true;
  };
  DateTime dt;
  if (!digits(0, 4, dt.date.year) || s.size() < 10 || s[4] != '-' || s[7] != '-' ||
      !digits(5, 2, dt.date.month) || !digits(8, 2, dt.date.day))
    return false;
  hasTime = s.size() > 10;
  if (hasTime && (s[10] != ' ' || !ParseTimeText(s.substr(11), dt.time) || dt.time.negative ||
                  dt.time.hour > 23))
    return false;
  out = dt;
  return true;
}

Variant MySQLDateValue(std::string_view text, bool withTime) {
  DateTime dt;
  bool hasTime = false;
  if (!ParseDateText(text, dt, hasTime) || dt.date.month == 0 || dt.date.day == 0)
    return Variant(text);
  if (withTime) return Variant(dt);
  return Variant(dt.date);
}

OdbcQuery::OdbcQuery(SQLHDBC dbc, std::string sql, std::vector<std::string> params,
                     bool datesAsText, unsigned timeoutSeconds)
    : sql_(std::move(sql)), params_(std::move(params)), chunk_(kChunk), datesAsText_(datesAsText) {
  stmt_ = std::make_unique<Statement>(dbc);
  stmt_->setQueryTimeout(timeoutSeconds);
  paramLengths_.resize(params_.size());
  for (std::size_t i = 0; i < params_.size(); ++i) {
    paramLengths_[i] = static_cast<SQLLEN>(params_[i].size());
    stmt_->check(SQLBindParameter(stmt_->get(), static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT,
                                  SQL_C_CHAR, SQL_VARCHAR, std::max<SQLULEN>(params_[i].size(), 1),
                                  0, params_[i].data(), paramLengths_[i], &paramLengths_[i]),
                 "SQLBindParameter");
  }
  run();
  SQLSMALLINT count = 0;
  stmt_->check(SQLNumResultCols(stmt_->get(), &count), "SQLNumResultCols");
  std::vector<std::string> names(static_cast<std::size_t>(count));
  readAs_.resize(names.size());
  for (SQLUSMALLINT i = 1; i <= count; ++i) {
    SQLCHAR name[512];
    SQLSMALLINT nameLen = 0, type = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    stmt_->check(SQLDescribeCol(stmt_->get(), i, name, sizeof name, &nameLen, &type, &size, &digits,
                                &nullable),
                 "SQLDescribeCol");
    SQLLEN isUnsigned = SQL_FALSE;
    SQLColAttribute(stmt_->get(), i, SQL_DESC_UNSIGNED, nullptr, 0, nullptr, &isUnsigned);
    names[i - 1].assign(reinterpret_cast<char*>(name),
                        static_cast<std::size_t>(std::min<SQLSMALLINT>(nameLen, sizeof name - 1)));
    readAs_[i - 1] = ReadAsFor(type, isUnsigned == SQL_TRUE);
  }
  setColumns(std::move(names));
  // A statement without a result (an UPDATE given as a query) reads as no rows.
  if (readAs_.empty()) return;
  start();
}

OdbcQuery::~OdbcQuery() = default;

void OdbcQuery::run() {
  SQLRETURN rc = SQLExecDirect(stmt_->get(), reinterpret_cast<SQLCHAR*>(sql_.data()),
                               static_cast<SQLINTEGER>(sql_.size()));
  if (rc != SQL_NO_DATA) stmt_->check(rc, "SQLExecDirect");
}

void OdbcQuery::rerun() {
  if (!stmt_) throw DatabaseError("Operation is not allowed when the object is closed.");
  SQLFreeStmt(stmt_->get(), SQL_CLOSE);
  run();
}

void OdbcQuery::readLong(int column, SQLSMALLINT cType, std::string& out, Variant& v) {
  const SQLUSMALLINT col = static_cast<SQLUSMALLINT>(column + 1);
  const std::size_t room = cType == SQL_C_CHAR ? kChunk - 1 : kChunk;  // text chunks end in NUL
  out.clear();
  for (bool firstCall = true;; firstCall = false) {
    SQLLEN ind = 0;
    SQLRETURN rc = SQLGetData(stmt_->get(), col, cType, chunk_.data(),
                              static_cast<SQLLEN>(chunk_.size()), &ind);
    if (rc == SQL_NO_DATA) return;  // every chunk has been read
    stmt_->check(rc, "SQLGetData");
    if (ind == SQL_NULL_DATA) {
      v.setNull();
      return;
    }
    std::size_t got;
    if (ind == SQL_NO_TOTAL || static_cast<std::size_t>(ind) > room) {
      got = room;
      if (firstCall && ind != SQL_NO_TOTAL) out.reserve(static_cast<std::size_t>(ind));
    } else {
      got = static_cast<std::size_t>(ind);
    }
    out.append(chunk_.data(), got);
    if (got < room || rc == SQL_SUCCESS) return;
  }
}

void OdbcQuery::readDateText(SQLUSMALLINT column, bool withTime, Variant& v) {
  char buf[64] = {};
  if (!readFixed(column, SQL_C_CHAR, buf, v)) return;
  v = MySQLDateValue(std::string_view(buf, strnlen(buf, sizeof buf)), withTime);
}

// Reads a fixed-size value; false when it is null (the value is then set null).
template <typename T>
bool OdbcQuery::readFixed(SQLUSMALLINT column, SQLSMALLINT cType, T& out, Variant& v) {
  SQLLEN ind = 0;
  stmt_->check(SQLGetData(stmt_->get(), column, cType, &out, sizeof out, &ind), "SQLGetData");
  if (ind != SQL_NULL_DATA) return true;
  v.setNull();
  return false;
}

bool OdbcQuery::readRow(std::vector<Variant>& values) {
  SQLRETURN rc = SQLFetch(stmt_->get());
  if (rc == SQL_NO_DATA) return false;
  stmt_->check(rc, "SQLFetch");
  for (std::size_t i = 0; i < readAs_.size(); ++i) {
    Variant& v = values[i];
    const SQLUSMALLINT col = static_cast<SQLUSMALLINT>(i + 1);
    switch (readAs_[i]) {
      case ReadAs::Bool: {
        unsigned char b = 0;
        if (readFixed(col, SQL_C_BIT, b, v)) v = Variant(b != 0);
        break;
      }
      case ReadAs::Int: {
        SQLBIGINT n = 0;
        if (readFixed(col, SQL_C_SBIGINT, n, v)) v = Variant(static_cast<long long>(n));
        break;
      }
      case ReadAs::UInt: {
        SQLUBIGINT n = 0;
        if (readFixed(col, SQL_C_UBIGINT, n, v)) v = Variant(static_cast<unsigned long long>(n));
        break;
      }
      case ReadAs::Float: {
        // Through the float's shortest text, so 1.2f arrives as 1.2 and not as
        // 1.2000000476837158; the value stored back into a float column is the same.
        float f = 0;
        if (readFixed(col, SQL_C_FLOAT, f, v)) v = Variant(FloatValue(f));
        break;
      }
      case ReadAs::Double: {
        double d = 0;
        if (readFixed(col, SQL_C_DOUBLE, d, v)) v = Variant(d);
        break;
      }
      case ReadAs::Decimal: readLong(static_cast<int>(i), SQL_C_CHAR, v.mutableDecimal(), v); break;
      case ReadAs::Text: readLong(static_cast<int>(i), SQL_C_CHAR, v.mutableText(), v); break;
      case ReadAs::Bytes: readLong(static_cast<int>(i), SQL_C_BINARY, v.mutableBytes(), v); break;
      case ReadAs::Date: {
        if (datesAsText_) {
          readDateText(col, false, v);
          break;
        }
        SQL_DATE_STRUCT d{};
        if (readFixed(col, SQL_C_TYPE_DATE, d, v)) v = Variant(Date{d.year, d.month, d.day});
        break;
      }
      case ReadAs::Time: {
        // As text: MySQL times run past 24 hours and below zero, with fractions.
        char buf[64] = {};
        if (readFixed(col, SQL_C_CHAR, buf, v)) {
          std::string_view text(buf, strnlen(buf, sizeof buf));
          Time t;
          if (ParseTimeText(text, t))
            v = Variant(t);
          else
            v = Variant(text);
        }
        break;
      }
      case ReadAs::DateTime: {
        if (datesAsText_) {
          readDateText(col, true, v);
          break;
        }
        SQL_TIMESTAMP_STRUCT ts{};
        if (readFixed(col, SQL_C_TYPE_TIMESTAMP, ts, v))
          v = Variant(DateTime{Date{ts.year, ts.month, ts.day},
                               Time{false, ts.hour, ts.minute, ts.second, ts.fraction}});
        break;
      }
    }
  }
  return true;
}

void OdbcQuery::close() {
  stmt_.reset();
  markEnd();
}

}  // namespace ado::odbc
