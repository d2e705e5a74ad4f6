#include "sqlgen/quoting.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "platform/text/text.h"
#include "sqlgen/source_row.h"
#include "sqlgen/type_mapping.h"

namespace {

constexpr std::string_view kPlaceholderHead = "*_*Value";
constexpr std::string_view kPlaceholderTail = "T_T";

std::string UpperTrim(std::string_view s) {
  return text::UpperCase(text::TrimBlanks(s));
}

bool InList(std::string_view name, std::initializer_list<std::string_view> list) {
  const std::string n = UpperTrim(name);
  return std::find(list.begin(), list.end(), n) != list.end();
}

// A bare text value is written bare only when it reads as a plain number.
bool IsPlainNumber(std::string_view s) {
  std::size_t i = 0;
  auto digits = [&] {
    std::size_t start = i;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i;
    return i > start;
  };
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
  bool intPart = digits();
  bool fracPart = false;
  if (i < s.size() && s[i] == '.') {
    ++i;
    fracPart = digits();
  }
  if (!intPart && !fracPart) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
    if (!digits()) return false;
  }
  return i == s.size();
}

std::string HexLiteral(const std::string& bytes, TDatabaseKind destKind) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out = IsMySQLDialect(destKind) ? "X'" : "0x";
  out.reserve(bytes.size() * 2 + 3);
  for (unsigned char c : bytes) {
    out += kHex[c >> 4];
    out += kHex[c & 15];
  }
  if (IsMySQLDialect(destKind)) out += '\'';
  return out;
}

// SQL Server reads these forms the same under every language and DATEFORMAT setting:
// 'YYYYMMDD', 'YYYY-MM-DDTHH:MM:SS[.mmm]' and 'HH:MM:SS[.mmm]'. DATETIME holds
// milliseconds and refuses more digits, so the fraction is rounded to the nearest one.
std::string SQLServerClock(int hour, int minute, int second, int millisecond) {
  char buf[32];
  int n = std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", hour, minute, second);
  if (millisecond) n += std::snprintf(buf + n, sizeof buf - n, ".%03d", millisecond);
  return std::string(buf, static_cast<std::size_t>(n));
}

std::string SQLServerDate(const ado::Date& d) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d", d.year, d.month, d.day);
  return buf;
}

// Milliseconds of a fraction, rounded; 1000 when it rounds up to the next second.
int RoundedMilliseconds(std::uint32_t nanosecond) {
  return static_cast<int>((nanosecond + 500000u) / 1000000u);
}

// DATETIME's last value of a day is 23:59:59.997 (it rounds .998 and .999 up into the
// next day): a time of day stays within its day, and 9999-12-31 has no next day.
constexpr long kLastSecondOfDay = 86399;
constexpr int kLastMillisecond = 997;

std::string SQLServerTime(const ado::Time& t) {
  int ms = RoundedMilliseconds(t.nanosecond);
  long seconds = (t.hour * 60L + t.minute) * 60L + t.second;
  if (!t.negative && seconds == kLastSecondOfDay) ms = std::min(ms, kLastMillisecond);
  if (ms == 1000) {
    ms = 0;
    ++seconds;
  }
  return std::string(t.negative ? "-" : "") + SQLServerClock(static_cast<int>(seconds / 3600),
                                                             static_cast<int>(seconds / 60 % 60),
                                                             static_cast<int>(seconds % 60), ms);
}

std::string SQLServerDateTime(const ado::DateTime& dt) {
  using namespace std::chrono;
  int ms = RoundedMilliseconds(dt.time.nanosecond);
  ado::Date date = dt.date;
  long seconds = (dt.time.hour * 60L + dt.time.minute) * 60L + dt.time.second;
  if (date.year == 9999 && date.month == 12 && date.day == 31 && seconds == kLastSecondOfDay)
    ms = std::min(ms, kLastMillisecond);
  if (ms == 1000) {
    ms = 0;
    if (++seconds == 86400) {
      // Rounding carried into the next day.
      seconds = 0;
      const year_month_day next{sys_days{year{date.year} / date.month / date.day} + days{1}};
      date = {static_cast<int>(next.year()), static_cast<int>(static_cast<unsigned>(next.month())),
              static_cast<int>(static_cast<unsigned>(next.day()))};
    }
  }
  return ado::FormatDate(date) + "T" +
         SQLServerClock(static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                        static_cast<int>(seconds % 60), ms);
}

std::string DateTimeText(const ado::Variant& value, TDatabaseKind destKind) {
  if (IsSQLServerDialect(destKind)) {
    switch (value.kind()) {
      case ado::VariantKind::Date: return SQLServerDate(value.asDate());
      case ado::VariantKind::Time: return SQLServerTime(value.asTime());
      default: return SQLServerDateTime(value.asDateTime());
    }
  }
  return ado::VariantToText(value);
}

// SQL Server's rowversion: bytes the server writes; no statement may set it.
bool IsRowVersion(std::string_view destTypeName, TDatabaseKind destKind) {
  return IsSQLServerDialect(destKind) && UpperTrim(destTypeName) == "TIMESTAMP";
}

}  // namespace

void GetQuoteChars(TDatabaseKind kind, std::string& identifierQuote, std::string& textQuote) {
  if (IsAccessDialect(kind) || IsMySQLDialect(kind)) {
    identifierQuote = "`";
    textQuote = "'";
  } else if (IsSQLServerDialect(kind)) {
    identifierQuote = "\"";
    textQuote = "'";
  }
}

std::string Enclose(std::string_view text, std::string_view quote) {
  return EncloseExact(text::TrimBlanks(text), quote);
}

std::string EncloseExact(std::string_view t, std::string_view quote) {
  if (t.empty()) return {};
  return text::QuoteName(t, quote);
}

std::string AdjustObjectName(std::string_view name, const TProjectSettings& settings) {
  std::string_view t = text::TrimBlanks(name);
  if (!IsMySQLDialect(settings.DestKind)) return std::string(t);
  std::string out;
  out.reserve(t.size());
  for (char c : t) {
    if (c == ' ')
      out += settings.ReplaceChar;
    else
      out += c;
  }
  return out;
}

bool IsQuotedTypeName(std::string_view destTypeName) {
  return InList(destTypeName,
                {"CHAR", "NCHAR", "VARCHAR", "NVARCHAR", "TEXT", "NTEXT", "MEMO", "DATE", "TIME",
                 "DATETIME", "TINYTEXT", "MEDIUMTEXT", "LONGTEXT", "TIMESTAMP"});
}

bool IsBinaryTypeName(std::string_view destTypeName) {
  return InList(destTypeName, {"IMAGE", "BLOB", "TINYBLOB", "LONGBLOB", "OLEDBOBJECT",
                               "OLEOBJECT", "MEDIUMBLOB"});
}

bool IsQuotedType(const TCorvaneField& field, TDatabaseKind destKind) {
  const std::string name = DestTypeName(field, destKind);
  return IsQuotedTypeName(name) && !IsRowVersion(name, destKind);
}

bool IsBinaryType(const TCorvaneField& field, TDatabaseKind destKind) {
  const std::string name = DestTypeName(field, destKind);
  // Jet SQL has no binary literal, so an Access BINARY(n) is as a blob here.
  return IsBinaryTypeName(name) || IsRowVersion(name, destKind) ||
         (IsAccessDialect(destKind) && name == "BINARY");
}

bool IsWrittenByDestination(const TCorvaneField& field, TDatabaseKind destKind) {
  return KeepsGeneration(field, destKind) || IsRowVersion(DestTypeName(field, destKind), destKind);
}

std::string ValuePlaceholder(const TCorvaneField& field) {
  std::string out(kPlaceholderHead);
  out += UpperTrim(field.FieldName);
  out += kPlaceholderTail;
  return out;
}

TValueLiteral ValueLiteral(const ado::Variant& value, bool quoted, TDatabaseKind destKind) {
  using ado::VariantKind;
  auto inQuotes = [&](std::string text) {
    return quoted ? TValueLiteral{std::move(text), false} : TValueLiteral{"'" + text + "'", false};
  };
  switch (value.kind()) {
    case VariantKind::Null:
      return {"NULL", true};
    case VariantKind::Bool:
      if (IsSQLServerDialect(destKind)) return {value.asBool() ? "1" : "0", false};
      return {value.asBool() ? "True" : "False", false};
    case VariantKind::Double:
      // No destination stores an infinity or a NaN.
      if (!std::isfinite(value.asDouble())) return {"NULL", true};
      return {ado::VariantToText(value), false};
    case VariantKind::Int:
    case VariantKind::UInt:
    case VariantKind::Decimal:
      return {ado::VariantToText(value), false};
    case VariantKind::Text: {
      const std::string& s = value.asText();
      if (!quoted && IsPlainNumber(s)) return {s, false};
      const std::string escaped = text::EscapeSqlText(s, IsMySQLDialect(destKind));
      // N'...' keeps the characters outside the server's code page.
      if (IsSQLServerDialect(destKind)) return {"N'" + escaped + "'", true};
      return inQuotes(escaped);
    }
    case VariantKind::Bytes:
      return {HexLiteral(value.asBytes().data, destKind), true};
    case VariantKind::Date:
    case VariantKind::Time:
    case VariantKind::DateTime: return inQuotes(DateTimeText(value, destKind));
  }
  return {"NULL", true};
}

TPlaceholderSet::TPlaceholderSet(const std::vector<const TCorvaneField*>& fields,
                                 TDatabaseKind destKind)
    : fields_(fields), destKind_(destKind) {
  slots_.reserve(fields.size());
  for (std::size_t i = 0; i < fields.size(); ++i)
    slots_.push_back({ValuePlaceholder(*fields[i]), IsQuotedType(*fields[i], destKind), i});
  Sort();
}

void TPlaceholderSet::Sort() {
  // Longer placeholders first, so a field name that is a prefix of another never
  // takes the other's place.
  std::stable_sort(slots_.begin(), slots_.end(), [](const Slot& a, const Slot& b) {
    return a.placeholder.size() > b.placeholder.size();
  });
}

std::string TPlaceholderSet::Fill(std::string_view statement, const TSourceRow& row) const {
  // Values are read in the fields' order, as a row reader serves them best.
  values_.resize(fields_.size());
  for (std::size_t i = 0; i < fields_.size(); ++i)
    values_[i] = &row.FieldValue(fields_[i]->FieldName);
  return FillWith(statement);
}

std::string TPlaceholderSet::FillWith(std::string_view statement) const {
  std::string out;
  out.reserve(statement.size() + 64);
  std::size_t pos = 0;
  while (pos < statement.size()) {
    std::size_t hit = statement.find(kPlaceholderHead, pos);
    if (hit == std::string_view::npos) {
      out.append(statement.substr(pos));
      break;
    }
    out.append(statement.substr(pos, hit - pos));
    const Slot* slot = nullptr;
    for (const Slot& s : slots_) {
      if (statement.compare(hit, s.placeholder.size(), s.placeholder) == 0) {
        slot = &s;
        break;
      }
    }
    if (!slot) {
      out.append(kPlaceholderHead);
      pos = hit + kPlaceholderHead.size();
      continue;
    }
    std::size_t after = hit + slot->placeholder.size();
    const bool betweenQuotes = slot->quoted && hit > 0 && statement[hit - 1] == '\'' &&
                               after < statement.size() && statement[after] == '\'';
    TValueLiteral literal = ValueLiteral(*values_[slot->index], betweenQuotes, destKind_);
    if (betweenQuotes && literal.replacesQuotes) {
      out.pop_back();  // the opening quote
      ++after;         // the closing quote
    }
    out.append(literal.text);
    pos = after;
  }
  return out;
}

std::string FillPlaceholder(std::string_view statement, const TCorvaneField& field,
                            const ado::Variant& value, bool quoted, TDatabaseKind destKind) {
  TPlaceholderSet set(destKind);
  set.fields_ = {&field};
  set.slots_ = {{ValuePlaceholder(field), quoted, 0}};
  set.values_ = {&value};
  return set.FillWith(statement);
}

std::string FillPlaceholders(std::string_view statement,
                             const std::vector<const TCorvaneField*>& fields, const TSourceRow& row,
                             TDatabaseKind destKind) {
  return TPlaceholderSet(fields, destKind).Fill(statement, row);
}
