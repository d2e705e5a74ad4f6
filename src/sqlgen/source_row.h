// The current source row as the statement builders see it: a value by column name.
#pragma once

#include <string_view>

#include "platform/ado/variant.h"

class TSourceRow {
 public:
  virtual ~TSourceRow() = default;
  // The column's value in the current row; a null Variant for null, and also when
  // the row has no such column.
  virtual const ado::Variant& FieldValue(std::string_view fieldName) const = 0;
};
