// Values as a Jet page holds them, decoded. Each reads exactly the bytes it names;
// the caller checks that they are there.
#pragma once

#include <cstdint>
#include <string>

#include "platform/ado/variant.h"

namespace ado::jet {

// A little-endian integer of 1 to 8 bytes, sign-extended.
std::int64_t LittleEndian(const unsigned char* p, int bytes);
// IEEE doubles and singles, little-endian.
double DoubleAt(const unsigned char* p);
float FloatAt(const unsigned char* p);
// Currency, a count of ten-thousandths, as its exact decimal text ("-1.0500").
Decimal CurrencyValue(std::int64_t tenThousandths);
// Days since 1899-12-30 with the time as the fraction's absolute value, as Jet keeps
// it; rounded to the millisecond.
DateTime JetDateTime(double value);
// A string libmdb allocated, copied and freed; empty for nullptr.
std::string Take(char* s);

}  // namespace ado::jet
