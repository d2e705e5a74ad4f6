// Readable values in test failures.
#pragma once

#include <ostream>

#include "platform/ado/variant.h"

namespace ado {

inline void PrintTo(const Variant& v, std::ostream* os) {
  static const char* const kinds[] = {"Null", "Bool",  "Int",  "UInt", "Double",  "Decimal",
                                      "Text", "Bytes", "Date", "Time", "DateTime"};
  std::string text = VariantToText(v);
  if (text.size() > 60) text = text.substr(0, 60) + "...(" + std::to_string(text.size()) + ")";
  *os << kinds[static_cast<int>(v.kind())] << "(" << text << ")";
}

}  // namespace ado
