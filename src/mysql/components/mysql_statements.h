// The statement side of the MySQL datasets, apart from the dataset class: the default
// statement lists, the macro language that fills them (scan, expansion by name, key
// conditions, parameter values), the merge of the filter into a SELECT, SQL value
// literals, the transaction statements by server version and the table-creation script.
//
// Everything here is text work; nothing touches a server. What a macro needs of a
// dataset (its columns, values, names, master and parameters) it asks through
// TMySQLMacroContext, which the datasets implement. Nothing throws except on exhaustion
// of memory and where a function says so.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "mysql/sqltext/string_list.h"
#include "platform/dataset/db.h"

namespace mysql {
class TBasicParser;
}

// ---- macro delimiters and the default statement lists -----------------------------------

struct TMacroDelimiters {
  std::string Open = "[";
  std::string Close = "]";
};
// "O,C" as MacroDel holds it; a text without "," (or with an empty part) keeps the
// default for the missing side, so a mistyped MacroDel never leaves macros unclosable.
TMacroDelimiters ParseMacroDel(std::string_view macroDel);

// select [$FIELDS] from [$TABLENAME] [JOIN] [WHERE] [GROUPBY] [ORDER] [LIMIT], one piece
// a line, with the given delimiters.
mysql::TSBStringList DefaultSelectSQL(const TMacroDelimiters& d);
mysql::TSBStringList DefaultUpdateSQL(const TMacroDelimiters& d);
mysql::TSBStringList DefaultInsertSQL(const TMacroDelimiters& d);
mysql::TSBStringList DefaultDeleteSQL(const TMacroDelimiters& d);

// ---- macro tokens and the scan ----------------------------------------------------------

// The tokenizer as macros are read: the statement operators, hexadecimal "0x", comments,
// the delimiters as macro opener and closer and ":" as parameter prefix. Line breaks are
// white space.
void ConfigureForMacros(mysql::TBasicParser& parser, const TMacroDelimiters& d);

struct TMacroRef {
  std::string Name;
  bool Parameter = false;  // a ":" macro
};
// The name of a macro token: its first word when cut at the delimiters, ":", blank, CR
// and LF ("" for a closer on its own).
std::string MacroName(std::string_view token, const TMacroDelimiters& d);
// The macros of a text in order (repeats included, unnamed ones left out).
std::vector<TMacroRef> FindMacros(std::string_view text, const TMacroDelimiters& d);

// Rebuilds `macros` from the texts, in order: the values are kept aside; with `check`
// the list is emptied first; every name not yet in the list is added (a ":" macro as an
// input parameter); the kept values are put back by name.
void RescanMacros(TParams& macros, const std::vector<std::string>& texts,
                  const TMacroDelimiters& d, bool check);

// ---- expansion ---------------------------------------------------------------------------

// The statement rebuilt token by token: each token copied, a macro token replaced by
// `expand(name)` (a token without a name is copied), and a blank after each piece that
// was followed by white space in the source.
std::string ExpandMacros(std::string_view statement, const TMacroDelimiters& d,
                         const std::function<std::string(const std::string& name)>& expand);

// Its first word is SELECT, without regard to case.
bool IsSelectStatement(std::string_view statement);

// `filterText` (already expanded) put into a SELECT at the first top-level WHERE,
// GROUP, HAVING, ORDER, LIMIT or PROCEDURE, or at the end or the first ";": " where " +
// the filter, then " and (" + the old condition + ")" after a WHERE, else a blank and
// the word found. Words inside strings, names, comments and parentheses do not count.
// The old condition keeps its parentheses so that an OR in it cannot escape the filter.
std::string MergeFilter(std::string_view select, std::string_view filterText);

// MasterFields "detail=master;..." as pairs; a pair without "=" links the same name.
std::vector<std::pair<std::string, std::string>> ParseMasterFields(std::string_view text);
// A name list separated by "," or ";", trimmed, empty names left out.
std::vector<std::string> SplitNames(std::string_view text);

// The filter text of a SELECT: for each master link "(" + detail + "=" + literal +
// ") AND " (the literal "NULL" when the master gives none: that matches nothing, which
// is meant for a closed or empty master), then "(" + filter + ")" when filtered and the
// filter is not empty, or else the last " AND " removed. `quote` quotes a detail name.
struct TMasterValue {
  std::string Detail;
  std::optional<std::string> Literal;  // none: the master is closed, empty or the value null
};
std::string FilterText(bool filtered, std::string_view filter,
                       const std::vector<TMasterValue>& master,
                       const std::function<std::string(const std::string&)>& quote);

// ---- value literals ----------------------------------------------------------------------

using TEscapeFunction = std::function<std::string(const std::string&)>;

// "0x" and two upper-case hexadecimal digits per byte; '' for no bytes.
std::string HexLiteral(std::string_view bytes);

// The literal of a column's value, the one routine for every value a statement carries:
// none gives NULL; a blob type (ftMemo too) "0x..." of its bytes, '' when it has none;
// ftSmallint, ftInteger, ftWord, ftAutoInc, ftLargeint and a BIT column (type code 16)
// their decimal text bare; every other type "'" + escape(text) + "'". A bare value that
// is not a decimal number is quoted instead, so no text can stand in a statement as SQL.
std::string ValueLiteral(TFieldType type, int typeCode, const std::optional<std::string>& value,
                         const TEscapeFunction& escape);

// The text a macro parameter gives: null gives NULL for an input parameter, else
// nothing; strings are escaped and quoted for an input parameter and otherwise put in as
// they are (text substitution); numbers, booleans, dates, times and bytes as literals.
std::string ParamLiteral(const TParam& param, const TEscapeFunction& escape);

// ---- key conditions ----------------------------------------------------------------------

struct TKeyTerm {
  std::string Origin;   // the quoted qualified column name
  TFieldType DataType;  // float, blob and memo columns are left out unless told otherwise
  std::string Literal;  // ValueLiteral of the value
  bool Exact = false;   // a DECIMAL column: a float field, but its text is its exact value
};
// What an empty condition becomes, so the server refuses the statement rather than
// changing every row.
extern const char* const kNoKeyCondition;
// "(" + origin + "=" + literal + ") AND " per term, the last " AND " removed; a NULL
// literal compares with " IS NULL", which matches the row (where "=NULL" matches none).
std::string KeyCondition(const std::vector<TKeyTerm>& terms, bool skipInexact = true);

// ---- the macro table ---------------------------------------------------------------------

// One result column as the macros see it.
struct TMacroColumn {
  std::string FieldName;  // the field of the column ("" when it has none)
  std::string Origin;     // quoted qualified name
  std::string Qualified;  // unquoted qualified name
  std::string Table;      // the column's table as the result names it
  TFieldType DataType = ftUnknown;
  bool Modified = false;
  bool Bound = true;      // a result column (custom columns are not)
  bool ReadOnly = false;  // its field is read-only (or it has none)
  bool Primary = false, Unique = false, Multiple = false;
  bool Exact = false;     // DECIMAL: kept in key conditions although its field is a float
};

// What macro expansion asks of a dataset.
class TMySQLMacroContext {
 public:
  virtual ~TMySQLMacroContext() = default;
  virtual std::string QuoteName(const std::string& name) const = 0;
  virtual std::string EscapeString(const std::string& text) const = 0;
  virtual std::string DatabaseName() const = 0;
  virtual std::string TableName() const = 0;
  // The quoted qualified name of the result's first table; "" when it has none.
  virtual std::string FirstResultTable() const = 0;
  virtual std::string FieldName() const = 0;  // the key field names
  // $FIELDS is "*" (a table, or the default fields).
  virtual bool AllFields() const = 0;
  virtual std::vector<std::string> DataFieldNames() const = 0;
  virtual std::vector<TMacroColumn> Columns() const = 0;
  // The literal of column i: from the edit copy when `old` and there is one, else from
  // the current record.
  virtual std::string ColumnLiteral(int column, bool old) const = 0;
  // The literal of the dataset's field of that name; none when there is no such field.
  virtual std::optional<std::string> FieldLiteral(const std::string& name, bool old) const = 0;
  // The master's field: none when the master has no such field; "NULL" when the master
  // is closed, empty or the value null.
  virtual std::optional<std::string> MasterFieldLiteral(const std::string& name) const = 0;
  // The filter text (FilterText), not yet expanded.
  virtual std::string FilterText() const = 0;
  virtual TParams& Macros() = 0;
  // OnMacro: true when the handler supplied `result`.
  virtual bool CustomMacro(const std::string& name, std::string& result) = 0;
};

// The table a statement is posted for, when a result spans several.
struct TStatementTarget {
  std::string Database;  // for $DATABASENAME; "" for the dataset's
  std::string Table;     // for $TABLENAME, as it is; "" for the dataset's
  std::string Part;      // the table name the column macros keep to; "" for every column
};

// The expansion of one macro by name (exact, with case), OnMacro first.
std::string ExpandMacro(TMySQLMacroContext& context, const std::string& name,
                        const TMacroDelimiters& d, const TStatementTarget& target = {});
// A statement with its macros expanded and, for a SELECT, the expanded filter merged.
std::string ExpandStatement(TMySQLMacroContext& context, std::string_view statement,
                            const TMacroDelimiters& d, const TStatementTarget& target = {},
                            bool mergeFilter = true);

// Every "?" outside strings, names and comments becomes a numbered macro: O + "1" + C,
// O + "2" + C, ... `count` receives how many there were.
std::string NumberParamMarks(std::string_view text, const TMacroDelimiters& d, int* count = nullptr);

// ---- transactions ------------------------------------------------------------------------

enum class TTransactionStep { Begin, Commit, Rollback };
// Transactions are used only with doTransactions on a server of 4.0.11 or later.
bool TransactionsApply(bool doTransactions, std::int32_t serverVersion);
// "start transaction;", "commit;" or "rollback;".
const char* TransactionStatement(TTransactionStep step);

// ---- the table-creation script -----------------------------------------------------------

struct TCreateTableRequest {
  std::string DatabaseName;  // the dataset's, else the server's; nothing is made when empty
  std::string TableName;     // nothing is made when empty
  bool DropIfExists = false;
  bool Temporary = false;
  const TFieldDefs* FieldDefs = nullptr;
  const TIndexDefs* IndexDefs = nullptr;
};
// The lines of the script (use, drop, create with one line for each name and each type,
// the indexes, ");"); empty when there is no table or no database.
mysql::TSBStringList TableCreationScript(const TCreateTableRequest& request,
                                         const std::function<std::string(const std::string&)>& quote);
// The type line of one field definition (" int not null," and the like).
std::string ColumnTypeLine(const TFieldDef& def);
