#include "platform/ado/jet/jet_values.h"

#include <cmath>
#include <cstring>

#include "platform/ado/jet/mdb.h"

namespace ado::jet {

std::int64_t LittleEndian(const unsigned char* p, int bytes) {
  std::uint64_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
  if (bytes < 8 && (v >> (bytes * 8 - 1)) & 1) v |= ~std::uint64_t{0} << (bytes * 8);  // sign
  return static_cast<std::int64_t>(v);
}

double DoubleAt(const unsigned char* p) {
  std::uint64_t bits = static_cast<std::uint64_t>(LittleEndian(p, 8));
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

float FloatAt(const unsigned char* p) {
  std::uint32_t bits = static_cast<std::uint32_t>(LittleEndian(p, 4));
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

Decimal CurrencyValue(std::int64_t n) {
  std::uint64_t mag = n < 0 ? 0 - static_cast<std::uint64_t>(n) : static_cast<std::uint64_t>(n);
  std::string frac = std::to_string(mag % 10000);
  frac.insert(0, 4 - frac.size(), '0');
  return Decimal{(n < 0 ? "-" : "") + std::to_string(mag / 10000) + "." + frac};
}

DateTime JetDateTime(double value) {
  double whole = std::trunc(value);
  long long ms = std::llround(std::fabs(value - whole) * 86400000.0);
  if (ms >= 86400000) {  // rounding carried into the next day
    ms -= 86400000;
    whole += value < 0 ? -1 : 1;
  }
  // Civil date from a day count (days from 1970-01-01), after Howard Hinnant.
  long long z = static_cast<long long>(whole) - 25569 + 719468;  // 1899-12-30 is day -25569
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const long long doe = z - era * 146097;
  const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long long mp = (5 * doy + 2) / 153;
  const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  const int year = static_cast<int>(yoe + era * 400 + (month <= 2));
  Time t;
  t.hour = static_cast<int>(ms / 3600000);
  t.minute = static_cast<int>(ms / 60000 % 60);
  t.second = static_cast<int>(ms / 1000 % 60);
  t.nanosecond = static_cast<std::uint32_t>(ms % 1000) * 1000000u;
  return DateTime{Date{year, month, day}, t};
}

std::string Take(char* s) {
  if (!s) return {};
  std::string out(s);
  g_free(s);
  return out;
}

}  // namespace ado::jet
