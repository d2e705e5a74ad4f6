// The rules every statement builder shares: quote characters per dialect, enclosing
// and adjusting names, the type classes, value placeholders and value literals.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "catalog/corvane.h"
#include "core/project_settings.h"
#include "platform/ado/variant.h"

class TSourceRow;

// Sets the identifier and text quote of a kind; leaves both unchanged for a kind
// without a dialect.
void GetQuoteChars(TDatabaseKind kind, std::string& identifierQuote, std::string& textQuote);

// The text without its surrounding blanks, as Enclose and AdjustObjectName trim it.
std::string_view TrimBlanks(std::string_view text);

// The trimmed text between two quotes; a quote inside it is doubled. Empty for
// blank text.
std::string Enclose(std::string_view text, std::string_view quote);
// The text between two quotes exactly as it stands, blanks included (a source name as
// the catalogue holds it); a quote inside it is doubled. Empty for empty text.
std::string EncloseExact(std::string_view text, std::string_view quote);

// Trims a name; for a MySQL destination every blank becomes the settings' ReplaceChar.
std::string AdjustObjectName(std::string_view name, const TProjectSettings& settings);

// Type classes of the destination type name.
bool IsQuotedTypeName(std::string_view destTypeName);
bool IsBinaryTypeName(std::string_view destTypeName);
bool IsQuotedType(const TCorvaneField& field, TDatabaseKind destKind);
// The classes of the field's destination type in that dialect: SQL Server's TIMESTAMP
// (rowversion) is binary, never a date; an Access BINARY(n) has no literal, like a blob.
bool IsBinaryType(const TCorvaneField& field, TDatabaseKind destKind);

// The destination fills the column itself (a generated column kept generated, SQL
// Server's rowversion): no INSERT, UPDATE or appended row names it.
bool IsWrittenByDestination(const TCorvaneField& field, TDatabaseKind destKind);

// "*_*Value" + trimmed, upper-cased field name + "T_T".
std::string ValuePlaceholder(const TCorvaneField& field);

// The literal of a value for a destination dialect, for a placeholder that stands
// between text quotes (quoted) or bare. For a quoted place the text goes between the
// template's quotes; for a bare place it is a whole literal. Dates, times and text in a
// bare place get their own quotes, and bytes become a hex literal, so no value can end
// its literal early or be read as SQL.
struct TValueLiteral {
  std::string text;
  // The literal replaces the template's surrounding quotes too (NULL, hex bytes).
  bool replacesQuotes = false;
};
TValueLiteral ValueLiteral(const ado::Variant& value, bool quoted, TDatabaseKind destKind);

// Replaces every placeholder of the field in a statement with the value's literal, or
// with NULL (taking the template's quotes with it when the place is quoted).
std::string FillPlaceholder(std::string_view statement, const TCorvaneField& field,
                            const ado::Variant& value, bool quoted, TDatabaseKind destKind);

// Fills the placeholders of all the given fields in one pass over the template, so a
// value that happens to contain a placeholder's text is never substituted again.
std::string FillPlaceholders(std::string_view statement,
                             const std::vector<const TCorvaneField*>& fields,
                             const TSourceRow& row, TDatabaseKind destKind);

// FillPlaceholders for many rows of the same fields: the placeholder texts and type
// classes are worked out once. The fields must outlive it; one instance is not for
// several threads at once.
class TPlaceholderSet {
 public:
  TPlaceholderSet(const std::vector<const TCorvaneField*>& fields, TDatabaseKind destKind);
  std::string Fill(std::string_view statement, const TSourceRow& row) const;

 private:
  struct Slot {
    std::string placeholder;
    bool quoted;
    std::size_t index;  // of the field, in the order values are read in
  };
  friend std::string FillPlaceholder(std::string_view, const TCorvaneField&, const ado::Variant&,
                                     bool, TDatabaseKind);
  explicit TPlaceholderSet(TDatabaseKind destKind) : destKind_(destKind) {}
  void Sort();
  std::string FillWith(std::string_view statement) const;

  std::vector<const TCorvaneField*> fields_;
  std::vector<Slot> slots_;  // longest placeholder first
  TDatabaseKind destKind_;
  mutable std::vector<const ado::Variant*> values_;
};
