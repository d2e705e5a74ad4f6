#include "sqlgen/statements.h"

#include <algorithm>
#include <vector>

#include "platform/text/text.h"
#include "sqlgen/quoting.h"
#include "sqlgen/source_row.h"
#include "sqlgen/type_mapping.h"

namespace {

struct Quotes {
  std::string id;
  std::string text;
};

Quotes DestQuotes(const TProjectSettings& settings) {
  Quotes q;
  GetQuoteChars(settings.DestKind, q.id, q.text);
  return q;
}

std::string QuotedPlaceholder(const TCorvaneField& f, const Quotes& q) {
  return q.text + ValuePlaceholder(f) + q.text;
}

std::string Placeholder(const TCorvaneField& f, const Quotes& q, TDatabaseKind kind) {
  return IsQuotedType(f, kind) ? QuotedPlaceholder(f, q) : ValuePlaceholder(f);
}

std::vector<const TCorvaneField*> AllFields(const TCorvaneObject& object) {
  std::vector<const TCorvaneField*> out;
  out.reserve(object.Fields.size());
  for (const auto& f : object.Fields) out.push_back(&f);
  return out;
}

// The columns of the primary-key indexes, in index and column order.
std::vector<std::string> KeyColumns(const TCorvaneObject& object) {
  std::vector<std::string> out;
  for (const auto& i : object.Indexes)
    if (i.IsPrimaryKey)
      for (const auto& c : i.Columns) out.push_back(c);
  return out;
}

// The destination's single-precision type for a column that arrives as one; nullptr
// for every other column.
const char* SinglePrecisionCast(const TCorvaneField& f, TDatabaseKind dest) {
  const std::string type = DestTypeName(f, dest);
  if (IsMySQLDialect(dest) && text::EqualsNoCase(type, "FLOAT")) return "FLOAT";
  if (IsSQLServerDialect(dest) && text::EqualsNoCase(type, "REAL")) return "REAL";
  return nullptr;
}

bool Contains(const std::vector<std::string>& names, const std::string& name) {
  return std::any_of(names.begin(), names.end(),
                     [&](const std::string& n) { return text::EqualsNoCase(n, name); });
}

}  // namespace

std::string DestTableName(const TCorvaneObject& object, const TProjectSettings& settings) {
  // Adjusted first, so a quote in the name or in ReplaceChar is doubled by Enclose.
  return Enclose(AdjustObjectName(object.ObjectName, settings), DestQuotes(settings).id);
}

std::string DestDatasetName(const TCorvaneObject& object, const TProjectSettings& settings) {
  const std::string name = AdjustObjectName(object.ObjectName, settings);
  return IsMySQLDialect(settings.DestKind) ? Enclose(name, DestQuotes(settings).id) : name;
}

std::string SourceSelect(const TCorvaneObject& object, const TProjectSettings& settings) {
  std::string idQuote, textQuote;
  GetQuoteChars(settings.SourceKind, idQuote, textQuote);
  // Exactly as the catalogue holds it: a trimmed " x" would read the table x.
  std::string name = EncloseExact(object.ObjectName, idQuote);
  if (IsSQLServerDialect(settings.SourceKind))
    name = EncloseExact(object.SchemaName, idQuote) + "." + name;
  return "SELECT " + SourceColumnList(object, settings) + " FROM " + name + ";";
}

std::string SourceColumnList(const TCorvaneObject& object, const TProjectSettings& settings) {
  bool hidden = false;
  for (const auto& f : object.Fields) hidden = hidden || f.Invisible;
  if (!hidden) return "*";
  std::string idQuote, textQuote;
  GetQuoteChars(settings.SourceKind, idQuote, textQuote);
  std::string out;
  for (const auto& f : object.Fields) {
    if (!out.empty()) out += ", ";
    out += EncloseExact(f.FieldName, idQuote);  // as the catalogue holds it
  }
  return out;
}

bool WritesBinaryAsNull(const TCorvaneObject& object, const TProjectSettings& settings) {
  if (!IsAccessDialect(settings.DestKind)) return false;
  for (const auto& f : object.Fields)
    if (IsBinaryType(f, settings.DestKind)) return true;
  return false;
}

const std::string& BinaryNullNote() {
  static const std::string note =
      "-- Jet SQL has no binary literal: the values of binary columns are written as NULL "
      "in this script.";
  return note;
}

bool CreatedAsView(const TCorvaneObject& object, const TProjectSettings& settings) {
  return object.ObjectKind == okView && SameDialect(settings.SourceKind, settings.DestKind);
}

std::string DropStatement(const TCorvaneObject& object, const TProjectSettings& settings) {
  // DROP TABLE cannot drop a view, so a second run could never replace one.
  return (CreatedAsView(object, settings) ? "DROP VIEW " : "DROP TABLE ") +
         DestTableName(object, settings) + ";";
}

std::pair<bool, std::string> CreateStatement(const TCorvaneObject& object,
                                             const TProjectSettings& settings) {
  if (!object.Selected) return {false, {}};
  const Quotes q = DestQuotes(settings);
  const TDatabaseKind dest = settings.DestKind;
  if (CreatedAsView(object, settings)) {
    if (dest != object.DBKind) return {true, {}};
    if (IsSQLServerDialect(dest)) return {true, object.ViewDefinition};
    return {true, "CREATE VIEW " + DestTableName(object, settings) + " AS " + object.ViewDefinition};
  }

  std::string text = "CREATE TABLE " + DestTableName(object, settings) + " (";
  bool firstColumn = true;
  for (const auto& f : object.Fields) {
    if (!f.Selected) continue;
    if (!firstColumn) text += ", ";
    firstColumn = false;
    bool inPrimaryKey = false;
    for (const auto& index : object.Indexes)
      if (index.Selected && index.IsPrimaryKey)
        inPrimaryKey |= Contains(index.Columns, f.FieldName);
    text += Enclose(f.FieldName, q.id) + " " + ColumnDefinition(f, dest, inPrimaryKey);
  }

  std::string constraints;
  int uniqueNumber = 0;
  for (const auto& index : object.Indexes) {
    if (!index.Selected || !(index.IsPrimaryKey || index.IsUnique)) continue;
    std::string clause;
    if (IsSQLServerDialect(dest)) {
      std::string name = index.IsPrimaryKey ? object.ObjectName + "_PK0"
                                            : object.ObjectName + "_UQ" + std::to_string(uniqueNumber++);
      clause = " CONSTRAINT " + Enclose(name, q.id) + (index.IsPrimaryKey ? " PRIMARY KEY" : " UNIQUE");
    } else if (IsMySQLDialect(dest)) {
      clause = (index.IsPrimaryKey ? " PRIMARY KEY " : " UNIQUE KEY ") + Enclose(index.IndexName, q.id);
    } else {
      clause = " CONSTRAINT " + Enclose(index.IndexName, q.id) +
               (index.IsPrimaryKey ? " PRIMARY KEY" : " UNIQUE");
    }
    clause += "(";
    for (std::size_t c = 0; c < index.Columns.size(); ++c) {
      if (c) clause += ", ";
      clause += Enclose(index.Columns[c], q.id);
      // Without its prefix a key on a text or blob column cannot be created.
      if (IsMySQLDialect(dest) && IsMySQLDialect(object.DBKind) &&
          c < index.ColumnPrefixes.size() && index.ColumnPrefixes[c] > 0)
        clause += "(" + std::to_string(index.ColumnPrefixes[c]) + ")";
    }
    clause += ")";
    if (constraints.empty()) {
      constraints = clause;
    } else {
      constraints += ", " + clause.substr(1);
    }
  }
  if (!constraints.empty()) text += ", " + constraints;
  text += ");";
  return {true, text};
}

std::string InsertTemplate(const TCorvaneObject& object, const TProjectSettings& settings) {
  const Quotes q = DestQuotes(settings);
  std::string columns, values;
  for (const auto& f : object.Fields) {
    if (IsWrittenByDestination(f, settings.DestKind)) continue;
    if (!columns.empty()) {
      columns += ", ";
      values += ", ";
    }
    columns += Enclose(f.FieldName, q.id);
    // The script says what the job stores: bytes as a hex literal where the dialect has
    // one (Jet SQL has none).
    const bool noLiteral = IsAccessDialect(settings.DestKind) && IsBinaryType(f, settings.DestKind);
    values += noLiteral ? "NULL" : Placeholder(f, q, settings.DestKind);
  }
  return "INSERT INTO " + DestTableName(object, settings) + "(" + columns + ") VALUES(" + values + ");";
}

TRowStatements::TRowStatements(const TCorvaneObject& object, std::string rowTemplate,
                               const TProjectSettings& settings)
    : template_(std::move(rowTemplate)), placeholders_(AllFields(object), settings.DestKind) {}

std::string InsertStatement(const TCorvaneObject& object, const std::string& insertTemplate,
                            const TSourceRow& row, const TProjectSettings& settings) {
  return TRowStatements(object, insertTemplate, settings)(row);
}

TUpdateGap CheckUpdateTemplate(const TCorvaneObject& object, const TProjectSettings& settings) {
  if (!object.HasPrimaryKey()) return TUpdateGap::NoPrimaryKey;
  // Values are bound, so every column type can name its row; only a key column the
  // catalogue does not list cannot.
  for (const auto& c : KeyColumns(object))
    if (!object.FindField(c)) return TUpdateGap::UnknownKeyColumn;
  const std::vector<std::string> keys = KeyColumns(object);
  for (const auto& f : object.Fields)
    if (!Contains(keys, f.FieldName) && !IsWrittenByDestination(f, settings.DestKind))
      return TUpdateGap::None;
  return TUpdateGap::NothingToSet;
}

namespace {

// The UPDATE of an object with its value places written by value(field): the
// placeholders of the script's text, or "?" for the executed statement.
template <typename ValuePlace>
std::string BuildUpdate(const TCorvaneObject& object, const TProjectSettings& settings,
                        ValuePlace value) {
  const Quotes q = DestQuotes(settings);
  const TDatabaseKind dest = settings.DestKind;
  const std::vector<std::string> keys = KeyColumns(object);

  // Every column but the key's: a refreshed destination keeps no stale value.
  std::string set;
  for (const auto& f : object.Fields) {
    if (Contains(keys, f.FieldName) || IsWrittenByDestination(f, dest)) continue;
    if (!set.empty()) set += ", ";
    set += Enclose(f.FieldName, q.id) + " = " + value(f, false);
  }

  std::string where;
  for (const auto& c : keys) {
    where += where.empty() ? "(" : ") AND (";
    where += Enclose(c, q.id) + "=";
    const TCorvaneField* f = object.FindField(c);
    if (!f) continue;
    std::string place = value(*f, true);
    // A single-precision value compared as a double never equals the stored float.
    if (const char* type = SinglePrecisionCast(*f, dest))
      place = " CAST(" + place.substr(1) + " AS " + type + ")";
    where += place;
  }
  if (!where.empty()) where += ")";
  return "UPDATE " + DestTableName(object, settings) + " SET " + set + " WHERE " + where;
}

}  // namespace

std::string UpdateTemplate(const TCorvaneObject& object, const TProjectSettings& settings) {
  if (CheckUpdateTemplate(object, settings) != TUpdateGap::None) return {};
  const Quotes q = DestQuotes(settings);
  const TDatabaseKind dest = settings.DestKind;
  return BuildUpdate(object, settings, [&](const TCorvaneField& f, bool inWhere) {
    if (inWhere && IsQuotedType(f, dest)) return QuotedPlaceholder(f, q);
    return (inWhere ? " " : "") + Placeholder(f, q, dest);
  });
}

TUpdateCommand UpdateCommand(const TCorvaneObject& object, const TProjectSettings& settings) {
  TUpdateCommand out;
  if (CheckUpdateTemplate(object, settings) != TUpdateGap::None) return out;
  out.text = BuildUpdate(object, settings, [&](const TCorvaneField& f, bool inWhere) {
    out.parameters.push_back(&f);
    return std::string(inWhere ? " ?" : "?");
  });
  return out;
}

std::string UpdateStatement(const TCorvaneObject& object, const std::string& updateTemplate,
                            const TSourceRow& row, const TProjectSettings& settings) {
  return TRowStatements(object, updateTemplate, settings)(row);
}
