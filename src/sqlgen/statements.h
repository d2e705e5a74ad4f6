// The text of every statement a job writes: DROP, CREATE TABLE/VIEW, and the INSERT
// and UPDATE row statements built from a per-object template and filled per row.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "catalog/corvane.h"
#include "core/project_settings.h"
#include "sqlgen/quoting.h"

class TSourceRow;

// An object created as a view in the destination: a view copied within one dialect.
// It gets no row passes (its rows come from its tables) and is dropped as a view.
bool CreatedAsView(const TCorvaneObject& object, const TProjectSettings& settings);

// "DROP TABLE " (or "DROP VIEW " for an object created as a view) + destination
// table name + ";".
std::string DropStatement(const TCorvaneObject& object, const TProjectSettings& settings);

// {false, ""} for an object that is not selected; otherwise true and the text, which
// is empty when the object can be created neither as a table nor as a view.
std::pair<bool, std::string> CreateStatement(const TCorvaneObject& object,
                                             const TProjectSettings& settings);

std::string InsertTemplate(const TCorvaneObject& object, const TProjectSettings& settings);
std::string InsertStatement(const TCorvaneObject& object, const std::string& insertTemplate,
                            const TSourceRow& row, const TProjectSettings& settings);

// Why an object gets no update template.
enum class TUpdateGap {
  None,
  NoPrimaryKey,
  UnknownKeyColumn,  // a key column is not among the fields, so no WHERE could name the row
  NothingToSet,      // every column belongs to the primary key
};
TUpdateGap CheckUpdateTemplate(const TCorvaneObject& object, const TProjectSettings& settings);

// Empty when CheckUpdateTemplate finds a gap. SET holds every column outside the
// primary key; WHERE names the key's columns.
std::string UpdateTemplate(const TCorvaneObject& object, const TProjectSettings& settings);

// The UPDATE that is executed: the template's text with a "?" for every value, and
// the field of each "?" in order. Empty when CheckUpdateTemplate finds a gap.
struct TUpdateCommand {
  std::string text;
  std::vector<const TCorvaneField*> parameters;
};
TUpdateCommand UpdateCommand(const TCorvaneObject& object, const TProjectSettings& settings);
std::string UpdateStatement(const TCorvaneObject& object, const std::string& updateTemplate,
                            const TSourceRow& row, const TProjectSettings& settings);

// The row statements of one object and template for a whole pass: the same text as
// InsertStatement or UpdateStatement, with the placeholders worked out once instead of
// for every row. The object must outlive it.
class TRowStatements {
 public:
  TRowStatements(const TCorvaneObject& object, std::string rowTemplate,
                 const TProjectSettings& settings);
  std::string operator()(const TSourceRow& row) const { return placeholders_.Fill(template_, row); }

 private:
  std::string template_;
  TPlaceholderSet placeholders_;
};

// The destination table name: the object name adjusted for the destination, enclosed.
std::string DestTableName(const TCorvaneObject& object, const TProjectSettings& settings);

// The name the destination table is opened by to append rows: the adjusted name,
// enclosed toward MySQL and bare otherwise (the provider quotes a bare name itself).
std::string DestDatasetName(const TCorvaneObject& object, const TProjectSettings& settings);

// "SELECT " + the columns (* unless SELECT * would leave some out) + " FROM " + the
// name as the catalogue holds it, blanks included, between the source's quotes (with
// its schema for SQL Server) + ";".
std::string SourceSelect(const TCorvaneObject& object, const TProjectSettings& settings);

// What the source query selects: "*", or every column by name when the object has
// columns that SELECT * leaves out (MySQL invisible columns).
std::string SourceColumnList(const TCorvaneObject& object, const TProjectSettings& settings);

// The object's INSERT statements show NULL for its binary values (an Access destination:
// Jet SQL has no binary literal); the script then carries BinaryNullNote once.
bool WritesBinaryAsNull(const TCorvaneObject& object, const TProjectSettings& settings);
const std::string& BinaryNullNote();
