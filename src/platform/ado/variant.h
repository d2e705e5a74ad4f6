// The value of one column in one row, as the data-access layer hands it over.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace ado {

struct Date {
  int year = 0;
  int month = 0;
  int day = 0;
  friend bool operator==(const Date&, const Date&) = default;
};

// A time of day, or a MySQL TIME interval (hours beyond 23, negative).
struct Time {
  bool negative = false;
  int hour = 0;
  int minute = 0;
  int second = 0;
  std::uint32_t nanosecond = 0;
  friend bool operator==(const Time&, const Time&) = default;
};

struct DateTime {
  Date date;
  Time time;
  friend bool operator==(const DateTime&, const DateTime&) = default;
};

// An exact numeric kept as its decimal text ("-12.3400"), so nothing is rounded.
struct Decimal {
  std::string text;
  friend bool operator==(const Decimal&, const Decimal&) = default;
};

// Raw bytes; zero bytes are part of the value.
struct Bytes {
  std::string data;
  friend bool operator==(const Bytes&, const Bytes&) = default;
};

enum class VariantKind {
  Null,
  Bool,
  Int,
  UInt,
  Double,
  Decimal,
  Text,
  Bytes,
  Date,
  Time,
  DateTime
};

class Variant {
 public:
  Variant() = default;
  Variant(bool v) : value_(v) {}
  Variant(int v) : value_(std::int64_t{v}) {}
  Variant(long v) : value_(std::int64_t{v}) {}
  Variant(long long v) : value_(std::int64_t{v}) {}
  Variant(unsigned v) : value_(std::uint64_t{v}) {}
  Variant(unsigned long v) : value_(std::uint64_t{v}) {}
  Variant(unsigned long long v) : value_(std::uint64_t{v}) {}
  Variant(double v) : value_(v) {}
  Variant(Decimal v) : value_(std::move(v)) {}
  Variant(std::string v) : value_(std::move(v)) {}
  Variant(std::string_view v) : value_(std::string(v)) {}
  Variant(const char* v) : value_(std::string(v)) {}
  Variant(Bytes v) : value_(std::move(v)) {}
  Variant(Date v) : value_(v) {}
  Variant(Time v) : value_(v) {}
  Variant(DateTime v) : value_(v) {}

  VariantKind kind() const { return static_cast<VariantKind>(value_.index()); }
  bool isNull() const { return kind() == VariantKind::Null; }

  bool asBool() const { return std::get<bool>(value_); }
  std::int64_t asInt() const { return std::get<std::int64_t>(value_); }
  std::uint64_t asUInt() const { return std::get<std::uint64_t>(value_); }
  double asDouble() const { return std::get<double>(value_); }
  const Decimal& asDecimal() const { return std::get<Decimal>(value_); }
  const std::string& asText() const { return std::get<std::string>(value_); }
  const Bytes& asBytes() const { return std::get<Bytes>(value_); }
  const Date& asDate() const { return std::get<Date>(value_); }
  const Time& asTime() const { return std::get<Time>(value_); }
  const DateTime& asDateTime() const { return std::get<DateTime>(value_); }

  // In-place writers for row readers: each makes the value that kind and hands back
  // its storage, reusing the buffer when the value already was of that kind, so
  // reading a row allocates nothing once the buffers have grown.
  std::string& mutableText() { return storage<std::string>(); }
  std::string& mutableBytes() { return storage<Bytes>().data; }
  std::string& mutableDecimal() { return storage<Decimal>().text; }
  void setNull() { value_.emplace<std::monostate>(); }

  // Lenient readers for catalogue columns that providers report with differing
  // integer widths or as text. Throw std::invalid_argument when there is no such reading.
  std::int64_t toInt() const;
  bool toBool() const;

  friend bool operator==(const Variant&, const Variant&) = default;

 private:
  template <typename T>
  T& storage() {
    if (T* p = std::get_if<T>(&value_)) return *p;
    return value_.emplace<T>();
  }

  std::variant<std::monostate, bool, std::int64_t, std::uint64_t, double, Decimal, std::string,
               Bytes, Date, Time, DateTime>
      value_;
};

// The one conversion of a value to text. Locale-independent: numbers with "." and no
// grouping (doubles in their shortest round-trip form), dates as YYYY-MM-DD, times as
// HH:MM:SS with fractions only when present, booleans as "True"/"False", text and bytes
// as they are, null as empty text.
std::string VariantToText(const Variant& value);

// The double a single-precision value travels as: the reading of the float's shortest
// text (1.2f as 1.2, not 1.2000000476837158), which stores back as the same float;
// the float's own value where that text lies beyond the float range (3.4028235e+38,
// which a float column refuses).
double FloatValue(float f);

std::string FormatDate(const Date& d);
std::string FormatTime(const Time& t);
std::string FormatDateTime(const DateTime& dt);

}  // namespace ado
