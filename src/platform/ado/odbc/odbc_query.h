// A query result read forward from an ODBC statement, one row at a time.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/ado/connection.h"
#include "platform/ado/forward_query.h"
#include "platform/ado/odbc/odbc_handles.h"

namespace ado::odbc {

// How a column's value is read: the Variant kind it arrives as.
enum class ReadAs { Bool, Int, UInt, Float, Double, Decimal, Text, Bytes, Date, Time, DateTime };

// The kind of an ODBC SQL type (SQLDescribeCol), unsigned when the driver says so.
ReadAs ReadAsFor(SQLSMALLINT sqlType, bool isUnsigned);

// Parses "[-]H+:MM:SS[.fraction]" as the drivers give TIME values; false otherwise.
bool ParseTimeText(std::string_view text, Time& out);

// Parses "YYYY-MM-DD" (date) or "YYYY-MM-DD HH:MM:SS[.fraction]" (date and time) as
// MySQL gives them; false otherwise. Month and day may be 0 (MySQL's zero dates).
bool ParseDateText(std::string_view text, DateTime& out, bool& hasTime);

// A MySQL date (withTime false) or date-and-time in its text form as a value: a Date or
// DateTime, or the text itself for a zero or partial-zero date, which only MySQL holds.
Variant MySQLDateValue(std::string_view text, bool withTime);

class OdbcQuery : public ForwardQuery {
 public:
  // Executes sql on a new statement of dbc, with each "?" bound to the text of
  // params in order; throws the driver's message. datesAsText: dates and date-times
  // are read as text, so MySQL's zero dates ('0000-00-00', '2021-00-00'), which the
  // driver gives as null when read as dates, arrive as that text; every other date
  // arrives as a Date or DateTime. timeoutSeconds above 0 bounds the statement's
  // run (the driver's query time-out).
  OdbcQuery(SQLHDBC dbc, std::string sql, std::vector<std::string> params = {},
            bool datesAsText = false, unsigned timeoutSeconds = 0);
  ~OdbcQuery() override;

  void close() override;

 protected:
  void rerun() override;
  bool readRow(std::vector<Variant>& values) override;

 private:
  void run();
  template <typename T>
  bool readFixed(SQLUSMALLINT column, SQLSMALLINT cType, T& out, Variant& v);
  void readLong(int column, SQLSMALLINT cType, std::string& out, Variant& v);
  void readDateText(SQLUSMALLINT column, bool withTime, Variant& v);

  std::string sql_;
  std::vector<std::string> params_;
  std::vector<SQLLEN> paramLengths_;
  std::unique_ptr<Statement> stmt_;
  std::vector<ReadAs> readAs_;  // per column
  std::vector<char> chunk_;
  bool datesAsText_ = false;
};

}  // namespace ado::odbc
