// Binding a Variant to a statement parameter: the one binding rule of the ODBC
// provider, shared by table posts and prepared commands.
#pragma once

#include <string>

#include "platform/ado/odbc/odbc_handles.h"
#include "platform/ado/variant.h"

namespace ado::odbc {

// What a bound parameter points at until the statement has run: scratch for values
// bound by address, the text of values bound as text, and the length indicator.
struct ParamSlot {
  union {
    SQLBIGINT i;
    SQLUBIGINT u;
    double d;
    unsigned char b;
    SQL_DATE_STRUCT date;
    SQL_TIMESTAMP_STRUCT ts;
  } scratch{};
  std::string text;
  SQLLEN ind = 0;
};

// Binds value to parameter number (from 1) of stmt. The value and the slot must stay
// unchanged until the statement has executed. sqlServer: text goes as wide text and
// date-times carry at most milliseconds. Throws the driver's message.
void BindParameter(const Statement& stmt, SQLUSMALLINT number, const Variant& value,
                   ParamSlot& slot, bool sqlServer);

}  // namespace ado::odbc
