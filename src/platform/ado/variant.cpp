#include "platform/ado/variant.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <stdexcept>
#include <system_error>

namespace ado {

namespace {

template <typename T>
std::string NumberText(T v) {
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, res.ptr);
}

}  // namespace

double FloatValue(float f) {
  char buf[32];
  auto res = std::to_chars(buf, buf + sizeof buf, f);
  double d = f;
  std::from_chars(buf, res.ptr, d);
  if (std::fabs(d) > std::numeric_limits<float>::max()) return f;
  return d;
}

std::string FormatDate(const Date& d) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", d.year, d.month, d.day);
  return buf;
}

std::string FormatTime(const Time& t) {
  char buf[48];
  int n = std::snprintf(buf, sizeof buf, "%s%02d:%02d:%02d", t.negative ? "-" : "", t.hour,
                        t.minute, t.second);
  std::string out(buf, static_cast<std::size_t>(n));
  if (t.nanosecond != 0) {
    std::snprintf(buf, sizeof buf, "%09u", t.nanosecond);
    std::string frac(buf);
    while (!frac.empty() && frac.back() == '0') frac.pop_back();
    out += '.';
    out += frac;
  }
  return out;
}

std::string FormatDateTime(const DateTime& dt) {
  return FormatDate(dt.date) + ' ' + FormatTime(dt.time);
}

std::string VariantToText(const Variant& value) {
  switch (value.kind()) {
    case VariantKind::Null: return {};
    case VariantKind::Bool: return value.asBool() ? "True" : "False";
    case VariantKind::Int: return NumberText(value.asInt());
    case VariantKind::UInt: return NumberText(value.asUInt());
    case VariantKind::Double: return NumberText(value.asDouble());
    case VariantKind::Decimal: return value.asDecimal().text;
    case VariantKind::Text: return value.asText();
    case VariantKind::Bytes: return value.asBytes().data;
    case VariantKind::Date: return FormatDate(value.asDate());
    case VariantKind::Time: return FormatTime(value.asTime());
    case VariantKind::DateTime: return FormatDateTime(value.asDateTime());
  }
  return {};
}

std::int64_t Variant::toInt() const {
  switch (kind()) {
    case VariantKind::Bool: return asBool() ? 1 : 0;
    case VariantKind::Int: return asInt();
    case VariantKind::UInt: return static_cast<std::int64_t>(asUInt());
    case VariantKind::Double: return static_cast<std::int64_t>(asDouble());
    case VariantKind::Decimal:
    case VariantKind::Text: {
      const std::string& s = kind() == VariantKind::Text ? asText() : asDecimal().text;
      std::int64_t v = 0;
      auto res = std::from_chars(s.data(), s.data() + s.size(), v);
      if (res.ec != std::errc()) throw std::invalid_argument("not a whole number: " + s);
      return v;
    }
    default: throw std::invalid_argument("value has no whole-number reading");
  }
}

bool Variant::toBool() const {
  if (kind() == VariantKind::Text) {
    const std::string& s = asText();
    if (s == "True" || s == "true" || s == "TRUE") return true;
    if (s == "False" || s == "false" || s == "FALSE") return false;
  }
  return toInt() != 0;
}

}  // namespace ado
