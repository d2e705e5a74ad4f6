#include "mysql/components/mysql_statements.h"

#include <algorithm>
#include <array>

#include "mysql/sqltext/parser.h"
#include "mysql/sqltext/text_conv.h"

namespace {

constexpr std::string_view kOperators = "+,-,*,/,=,||,&&,&,<>,<<,>>,>,|,<,~,!,%";

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
  return s;
}
std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
  return s;
}
std::string_view Trim(std::string_view s) { return TrimLeft(TrimRight(s)); }

std::string Join(const std::vector<std::string>& parts, std::string_view separator) {
  std::string out;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i) out += separator;
    out += parts[i];
  }
  return out;
}

// The tokenizer for text that holds no macros any more (the filter merge).
void ConfigurePlain(mysql::TBasicParser& p) {
  p.SetOperators(kOperators);
  p.HexPrefix = "0x";
  p.LineComments = {"-- ", "#"};
  p.BlockCommentOpeners = {"/*"};
  p.BlockCommentClosers = {"*/"};
}

bool IsDecimalNumber(std::string_view s) {
  if (!s.empty() && (s.front() == '-' || s.front() == '+')) s.remove_prefix(1);
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string Quoted(const std::string& text, const TEscapeFunction& escape) {
  return "'" + escape(text) + "'";
}

}  // namespace

// ---- delimiters and defaults

TMacroDelimiters ParseMacroDel(std::string_view macroDel) {
  TMacroDelimiters d;
  const std::size_t comma = macroDel.find(',');
  const std::string_view open = macroDel.substr(0, comma);
  const std::string_view close = comma == std::string_view::npos ? std::string_view() : macroDel.substr(comma + 1);
  if (!open.empty()) d.Open = open;
  if (!close.empty()) d.Close = close;
  return d;
}

namespace {
std::string M(const TMacroDelimiters& d, std::string_view name) { return d.Open + std::string(name) + d.Close; }
mysql::TSBStringList Lines(std::initializer_list<std::string> lines) {
  mysql::TSBStringList l;
  for (const auto& s : lines) l.Add(s);
  return l;
}
}  // namespace

mysql::TSBStringList DefaultSelectSQL(const TMacroDelimiters& d) {
  return Lines({"select " + M(d, "$FIELDS") + " from " + M(d, "$TABLENAME"), " " + M(d, "JOIN"),
                " " + M(d, "WHERE"), " " + M(d, "GROUPBY"), " " + M(d, "ORDER"), " " + M(d, "LIMIT")});
}
mysql::TSBStringList DefaultUpdateSQL(const TMacroDelimiters& d) {
  return Lines({"update " + M(d, "$TABLENAME") + " set " + M(d, "$MODIFIED$FIELDS&VALUES") + " where " +
                M(d, "$PRIMARYFIELDS&VALUES")});
}
mysql::TSBStringList DefaultInsertSQL(const TMacroDelimiters& d) {
  return Lines({"insert into " + M(d, "$TABLENAME") + " set " + M(d, "$MODIFIED$FIELDS&VALUES")});
}
mysql::TSBStringList DefaultDeleteSQL(const TMacroDelimiters& d) {
  return Lines({"delete from " + M(d, "$TABLENAME") + " where " + M(d, "$PRIMARYFIELDS&VALUES")});
}

// ---- macro tokens

void ConfigureForMacros(mysql::TBasicParser& parser, const TMacroDelimiters& d) {
  ConfigurePlain(parser);
  parser.MacroOpeners = {d.Open};
  parser.MacroClosers = {d.Close};
  parser.ParameterPrefixes = {":"};
}

std::string MacroName(std::string_view token, const TMacroDelimiters& d) {
  std::string cuts = d.Open + d.Close + ": \r\n";
  return mysql::ExtractWord(1, token, cuts);
}

std::vector<TMacroRef> FindMacros(std::string_view text, const TMacroDelimiters& d) {
  std::vector<TMacroRef> out;
  mysql::TBasicParser p(text);
  ConfigureForMacros(p, d);
  for (uint8_t kind; (kind = p.NextToken(true)) != mysql::tkEnd;) {
    if (kind != mysql::tkMacro && kind != mysql::tkParameter) continue;
    std::string name = MacroName(p.TokenText(), d);
    if (!name.empty()) out.push_back({std::move(name), kind == mysql::tkParameter});
  }
  return out;
}

void RescanMacros(TParams& macros, const std::vector<std::string>& texts, const TMacroDelimiters& d,
                  bool check) {
  const TParams kept = macros;
  if (check) macros.Clear();
  for (const std::string& text : texts)
    for (const TMacroRef& ref : FindMacros(text, d))
      if (!macros.FindParam(ref.Name)) macros.Add(ref.Name, ftUnknown, ref.Parameter ? ptInput : ptUnknown);
  for (int i = 0; i < kept.Count(); ++i)
    if (TParam* p = macros.FindParam(kept[i].Name)) *p = kept[i];
}

// ---- expansion

std::string ExpandMacros(std::string_view statement, const TMacroDelimiters& d,
                         const std::function<std::string(const std::string&)>& expand) {
  std::string out;
  mysql::TBasicParser p(statement);
  ConfigureForMacros(p, d);
  const std::string& text = p.Text();
  for (uint8_t kind; (kind = p.NextToken(true)) != mysql::tkEnd;) {
    std::string name;
    if (kind == mysql::tkMacro || kind == mysql::tkParameter) name = MacroName(p.TokenText(), d);
    out += name.empty() ? p.TokenText() : expand(name);
    if (p.Position() < text.size() && IsSpace(text[p.Position()])) out += ' ';
  }
  return out;
}

bool IsSelectStatement(std::string_view statement) {
  mysql::TBasicParser p(statement);
  ConfigurePlain(p);
  uint8_t kind;
  do kind = p.NextToken(true);
  while (kind == mysql::tkLineComment || kind == mysql::tkBlockComment);
  return kind == mysql::tkIdentifier && mysql::SameText(p.TokenText(), "SELECT");
}

namespace {

// Where a clause word or the end of a statement stands at the top level.
struct TClausePlace {
  std::size_t start;   // of the word, or of ";" / the end
  std::size_t end;     // after the word
  std::string word;    // upper case; "" at ";" or the end
};

TClausePlace FindClause(mysql::TBasicParser& p, std::initializer_list<std::string_view> words) {
  int depth = 0;
  for (;;) {
    const uint8_t kind = p.NextToken(true);
    const auto start = static_cast<std::size_t>(p.Token().Position);
    if (kind == mysql::tkEnd) return {p.Text().size(), p.Text().size(), {}};
    if (kind == mysql::tkTerminator) return {start, start, {}};
    if (kind == '(') ++depth;
    if (kind == ')' && depth > 0) --depth;
    if (kind != mysql::tkIdentifier || depth != 0) continue;
    const std::string upper = mysql::UpperCase(p.TokenText());
    if (std::find(words.begin(), words.end(), upper) != words.end()) return {start, p.Position(), upper};
  }
}

}  // namespace

std::string MergeFilter(std::string_view select, std::string_view filterText) {
  if (filterText.empty()) return std::string(select);
  mysql::TBasicParser p(select);
  ConfigurePlain(p);
  const std::string& text = p.Text();
  const TClausePlace at = FindClause(p, {"WHERE", "GROUP", "HAVING", "ORDER", "LIMIT", "PROCEDURE"});
  std::string out(TrimRight(std::string_view(text).substr(0, at.start)));
  out += " where ";
  out += filterText;
  if (at.word == "WHERE") {
    const TClausePlace next = FindClause(p, {"GROUP", "HAVING", "ORDER", "LIMIT", "PROCEDURE"});
    out += " and (";
    out += Trim(std::string_view(text).substr(at.end, next.start - at.end));
    out += ")";
    const std::string_view rest = TrimLeft(std::string_view(text).substr(next.start));
    if (!rest.empty() && rest.front() != ';') out += ' ';
    out += rest;
  } else {
    const std::string_view rest = std::string_view(text).substr(at.start);
    if (!rest.empty() && rest.front() != ';') out += ' ';
    out += rest;
  }
  return out;
}

std::vector<std::pair<std::string, std::string>> ParseMasterFields(std::string_view text) {
  std::vector<std::pair<std::string, std::string>> out;
  std::size_t i = 0;
  while (i <= text.size()) {
    std::size_t end = text.find(';', i);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view pair = Trim(text.substr(i, end - i));
    if (!pair.empty()) {
      const std::size_t eq = pair.find('=');
      const std::string detail(Trim(pair.substr(0, eq)));
      const std::string master(eq == std::string_view::npos ? detail : std::string(Trim(pair.substr(eq + 1))));
      out.emplace_back(detail, master);
    }
    i = end + 1;
  }
  return out;
}

std::vector<std::string> SplitNames(std::string_view text) {
  std::vector<std::string> out;
  std::size_t i = 0;
  while (i <= text.size()) {
    std::size_t end = text.find_first_of(",;", i);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view name = Trim(text.substr(i, end - i));
    if (!name.empty()) out.emplace_back(name);
    i = end + 1;
  }
  return out;
}

std::string FilterText(bool filtered, std::string_view filter, const std::vector<TMasterValue>& master,
                       const std::function<std::string(const std::string&)>& quote) {
  std::string out;
  for (const TMasterValue& m : master)
    out += "(" + quote(m.Detail) + "=" + (m.Literal ? *m.Literal : std::string("NULL")) + ") AND ";
  if (filtered && !filter.empty()) {
    out += "(";
    out += filter;
    out += ")";
  } else if (!out.empty()) {
    out.resize(out.size() - 5);  // " AND "
  }
  return out;
}

// ---- value literals

std::string HexLiteral(std::string_view bytes) {
  if (bytes.empty()) return "''";
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out = "0x";
  out.reserve(2 + 2 * bytes.size());
  for (unsigned char c : bytes) {
    out += kHex[c >> 4];
    out += kHex[c & 15];
  }
  return out;
}

std::string ValueLiteral(TFieldType type, int typeCode, const std::optional<std::string>& value,
                         const TEscapeFunction& escape) {
  if (!value) return "NULL";
  if (IsBlobType(type)) return HexLiteral(*value);
  switch (type) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
    case ftLargeint:
      if (IsDecimalNumber(*value)) return *value;
      break;
    default:
      // A BIT column's text is its number; quoted, the server would take the digits'
      // bytes as the bits.
      if (typeCode == 16 && IsDecimalNumber(*value)) return *value;
      break;
  }
  return Quoted(*value, escape);
}

std::string ParamLiteral(const TParam& param, const TEscapeFunction& escape) {
  const bool input = param.ParamType == ptInput;
  if (param.IsNull()) return input ? "NULL" : "";
  const TFieldType type = param.DataType;
  switch (type) {
    case ftString:
    case ftFixedChar:
    case ftWideString:
      return input ? Quoted(param.AsString(), escape) : param.AsString();
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftLargeint:
    case ftAutoInc:
    case ftFloat: {
      const std::string text = param.AsString();
      // A number read back from its own text; anything else stays a quoted text.
      return mysql::TextToFloat(text) ? text : Quoted(text, escape);
    }
    case ftBoolean:
      if (const bool* b = std::get_if<bool>(&param.Value)) return *b ? "1" : "0";
      return Quoted(param.AsString(), escape);
    case ftDate:
    case ftTime:
    case ftDateTime:
    case ftMemo:
      return Quoted(param.AsString(), escape);
    default:
      if (IsBlobType(type)) return HexLiteral(param.AsString());
      return Quoted(param.AsString(), escape);
  }
}

// ---- key conditions

const char* const kNoKeyCondition =
    "PleaseMakeSureYourTableHasAPrimaryKeyWhichIsPartOfTheSelectORSpecifyTheFieldNamePropertyForTheDataset";

std::string KeyCondition(const std::vector<TKeyTerm>& terms, bool skipInexact) {
  std::string out;
  for (const TKeyTerm& t : terms) {
    if (skipInexact && !t.Exact && (t.DataType == ftFloat || IsBlobType(t.DataType))) continue;
    if (t.Literal == "NULL")
      out += "(" + t.Origin + " IS NULL) AND ";
    else
      out += "(" + t.Origin + "=" + t.Literal + ") AND ";
  }
  if (out.empty()) return kNoKeyCondition;
  out.resize(out.size() - 5);
  return out;
}

// ---- the macro table

namespace {

bool IsTemplateMacro(const std::string& name) {
  return name == "JOIN" || name == "WHERE" || name == "GROUPBY" || name == "ORDER" || name == "LIMIT";
}

class TMacroExpansion {
 public:
  TMacroExpansion(TMySQLMacroContext& c, const TMacroDelimiters& d, const TStatementTarget& t)
      : c_(c), d_(d), t_(t), columns_(c.Columns()) {}

  std::string Expand(const std::string& name) {
    std::string custom;
    if (c_.CustomMacro(name, custom)) return custom;
    if (name == "$DATABASENAME") return c_.QuoteName(t_.Database.empty() ? c_.DatabaseName() : t_.Database);
    if (name == "$TABLENAME") return TableName();
    if (name == "$FIELDNAME") {
      const auto names = SplitNames(c_.FieldName());
      return names.empty() ? std::string() : c_.QuoteName(names.front());
    }
    if (name == "$FIELDS") return Fields();
    if (name == "$WHERE") {
      const std::string filter = ExpandedFilter();
      return filter.empty() ? std::string() : "where " + filter;
    }
    if (name == "$MODIFIED$FIELDS&VALUES") return Assignments(Modified(true));
    if (name == "$UNMODIFIED$FIELDS&VALUES") return Assignments(Modified(false));
    if (name == "$MODIFIED$FIELD$NAMES") return Names(Modified(true));
    if (name == "$UNMODIFIED$FIELD$NAMES") return Names(Modified(false));
    if (name == "$MODIFIED$FIELD$VALUES") return Values(Modified(true));
    if (name == "$UNMODIFIED$FIELD$VALUES") return Values(Modified(false));
    if (name == "$PRIMARYFIELDS&VALUES") {
      std::vector<int> key = Where([](const TMacroColumn& col) { return col.Primary; });
      if (key.empty()) key = Named();
      if (key.empty()) key = Where([](const TMacroColumn&) { return true; });
      return Condition(key, true);
    }
    if (name == "$FIELDNAMES&VALUES") return Condition(Named(), true);
    if (name == "$UNIQUEFIELDS&VALUES") return Condition(Where([](const TMacroColumn& col) { return col.Unique; }), true);
    if (name == "$MULTIFIELDS&VALUES") return Condition(Where([](const TMacroColumn& col) { return col.Multiple; }), true);
    if (name == "$OLD$FIELDS&VALUES") return Condition(Where([](const TMacroColumn&) { return true; }), false);
    if (name == "$FIELDNAMES&VALUES$COMMA") return Assignments(Named());
    if (name == "$FIELDNAME$VALUE") {
      const auto names = SplitNames(c_.FieldName());
      if (names.empty()) return {};
      return c_.FieldLiteral(mysql::UpperCase(names.front()), false).value_or(std::string());
    }
    if (name.starts_with("$OLD$")) return c_.FieldLiteral(name.substr(5), true).value_or(std::string());
    // The read template's own macros are the user's parameters only: a column named
    // "order" or "limit" must not put its value into the SELECT.
    if (IsTemplateMacro(name)) return Param(name);
    if (auto literal = c_.FieldLiteral(name, false)) return *literal;
    if (auto literal = c_.MasterFieldLiteral(name)) return *literal;
    return Param(name);
  }

  std::string Param(const std::string& name) {
    if (const TParam* p = c_.Macros().FindParam(name))
      return ParamLiteral(*p, [this](const std::string& s) { return c_.EscapeString(s); });
    return {};
  }

  std::string ExpandedFilter() {
    const std::string filter = c_.FilterText();
    if (filter.empty()) return {};
    return ExpandMacros(filter, d_, [this](const std::string& n) { return Expand(n); });
  }

 private:
  std::string TableName() const {
    if (!t_.Table.empty()) return t_.Table;
    if (!c_.TableName().empty()) return c_.QuoteName(c_.TableName());
    const std::string first = c_.FirstResultTable();
    return first.empty() ? std::string("PleaseSpecifyATableNameProperty") : first;
  }

  std::string Fields() const {
    if (c_.AllFields()) return "*";
    std::vector<std::string> names;
    for (const std::string& n : c_.DataFieldNames()) names.push_back(c_.QuoteName(n));
    return names.empty() ? std::string("*") : Join(names, ",");
  }

  // Result columns of the table posted for (all of them when posting for the whole result).
  bool InPart(const TMacroColumn& col) const { return col.Bound && (t_.Part.empty() || col.Table == t_.Part); }

  template <typename Pred>
  std::vector<int> Where(Pred pred) const {
    std::vector<int> out;
    for (std::size_t i = 0; i < columns_.size(); ++i)
      if (InPart(columns_[i]) && pred(columns_[i])) out.push_back(static_cast<int>(i));
    return out;
  }
  std::vector<int> Modified(bool modified) const {
    return Where([modified](const TMacroColumn& col) { return col.Modified == modified && !col.ReadOnly; });
  }
  // The columns of the fields named in FieldName, in that order.
  std::vector<int> Named() const {
    std::vector<int> out;
    for (const std::string& n : SplitNames(c_.FieldName()))
      for (std::size_t i = 0; i < columns_.size(); ++i)
        if (InPart(columns_[i]) && mysql::SameText(columns_[i].FieldName, n)) {
          out.push_back(static_cast<int>(i));
          break;
        }
    return out;
  }

  std::string Assignments(const std::vector<int>& cols) const {
    std::vector<std::string> parts;
    for (int i : cols) parts.push_back(columns_[std::size_t(i)].Origin + "=" + c_.ColumnLiteral(i, false));
    return Join(parts, ",");
  }
  std::string Names(const std::vector<int>& cols) const {
    std::vector<std::string> parts;
    for (int i : cols) parts.push_back(columns_[std::size_t(i)].Origin);
    return Join(parts, ",");
  }
  std::string Values(const std::vector<int>& cols) const {
    std::vector<std::string> parts;
    for (int i : cols) parts.push_back(c_.ColumnLiteral(i, false));
    return Join(parts, ",");
  }
  std::string Condition(const std::vector<int>& cols, bool skipInexact) const {
    std::vector<TKeyTerm> terms;
    for (int i : cols) {
      const TMacroColumn& col = columns_[std::size_t(i)];
      terms.push_back({col.Origin, col.DataType, c_.ColumnLiteral(i, true), col.Exact});
    }
    return KeyCondition(terms, skipInexact);
  }

  TMySQLMacroContext& c_;
  const TMacroDelimiters& d_;
  const TStatementTarget& t_;
  std::vector<TMacroColumn> columns_;
};

}  // namespace

std::string ExpandMacro(TMySQLMacroContext& context, const std::string& name, const TMacroDelimiters& d,
                        const TStatementTarget& target) {
  return TMacroExpansion(context, d, target).Expand(name);
}

std::string ExpandStatement(TMySQLMacroContext& context, std::string_view statement, const TMacroDelimiters& d,
                            const TStatementTarget& target, bool mergeFilter) {
  TMacroExpansion expansion(context, d, target);
  std::string out = ExpandMacros(statement, d, [&](const std::string& n) { return expansion.Expand(n); });
  if (mergeFilter && IsSelectStatement(out)) out = MergeFilter(out, expansion.ExpandedFilter());
  return out;
}

std::string NumberParamMarks(std::string_view text, const TMacroDelimiters& d, int* count) {
  mysql::TBasicParser p(text);
  ConfigureForMacros(p, d);
  std::string out;
  std::size_t copied = 0;
  int n = 0;
  for (uint8_t kind; (kind = p.NextToken(true)) != mysql::tkEnd;) {
    if (kind != '?') continue;
    const auto at = static_cast<std::size_t>(p.Token().Position);
    out.append(text.substr(copied, at - copied));
    out += d.Open + std::to_string(++n) + d.Close;
    copied = p.Position();
  }
  out.append(text.substr(copied));
  if (count) *count = n;
  return out;
}

// ---- transactions

bool TransactionsApply(bool doTransactions, std::int32_t serverVersion) {
  return doTransactions && serverVersion >= 40011;
}

const char* TransactionStatement(TTransactionStep step) {
  switch (step) {
    case TTransactionStep::Commit: return "commit;";
    case TTransactionStep::Rollback: return "rollback;";
    case TTransactionStep::Begin: break;
  }
  return "start transaction;";
}

// ---- the table-creation script

namespace {

std::string Required(const TFieldDef& def) { return def.Attributes.Contains(faRequired) ? "not null" : ""; }

// The text types and the blob types share their size steps.
std::string SizedType(int size, const char* tiny, const char* normal, const char* medium, const char* large) {
  if (size < 256) return tiny;
  if (size < 65536) return normal;
  if (size < 16777216) return medium;
  return large;
}

}  // namespace

std::string ColumnTypeLine(const TFieldDef& def) {
  const std::string r = Required(def) + ",";
  switch (def.DataType) {
    case ftUnknown:
    case ftString:
    case ftMemo:
    case ftFmtMemo:
    case ftFixedChar:
    case ftWideString:
    case ftVariant:
      if (def.Size < 256) {
        const bool fixed = def.Attributes.Contains(faFixed) || def.DataType == ftFixedChar;
        return std::string(fixed ? " char(" : " varchar(") + std::to_string(def.Size) + ") " + r;
      }
      return SizedType(def.Size, "", " text ", " mediumtext ", " longtext ") + r;
    case ftSmallint: return " smallint " + r;
    case ftInteger:
    case ftWord: return " int " + r;
    case ftBoolean: return " tinyint(1) " + r;
    // A double: float is single precision and would lose a double value's digits.
    case ftFloat: return " double " + r;
    case ftCurrency: return " decimal(" + std::to_string(def.Precision) + "," + std::to_string(def.Size) + ") " + r;
    case ftDate: return " date " + r;
    case ftTime: return " time " + r;
    case ftDateTime: return " datetime " + r;
    case ftBytes:
    case ftVarBytes:
    case ftBlob:
    case ftGraphic: return SizedType(def.Size, " tinyblob ", " blob ", " mediumblob ", " longblob ") + r;
    case ftAutoInc: return " int not null auto_increment,";
    case ftLargeint: return " bigint " + r;
    case ftTimeStamp: return " timestamp " + r;
    default: return " varchar(255) " + r;
  }
}

mysql::TSBStringList TableCreationScript(const TCreateTableRequest& request,
                                         const std::function<std::string(const std::string&)>& quote) {
  mysql::TSBStringList s;
  if (request.TableName.empty() || request.DatabaseName.empty()) return s;
  const std::string table = quote(request.TableName);
  s.Add("use " + quote(request.DatabaseName) + ";");
  if (request.DropIfExists) s.Add("drop table if exists " + table + ";");
  s.Add(std::string("create ") + (request.Temporary ? "temporary " : " ") + "table if not exists " + table + " (");
  if (!request.FieldDefs || request.FieldDefs->Count() == 0) {
    // Ends in "," like every other item, so that cutting the last item's "," below
    // leaves the key's closing parenthesis in place.
    s.Add("ID int not null auto_increment,primary key (ID),");
  } else {
    for (int i = 0; i < request.FieldDefs->Count(); ++i) {
      const TFieldDef& def = (*request.FieldDefs)[i];
      s.Add(quote(def.Name));
      s.Add(ColumnTypeLine(def));
    }
  }
  if (request.IndexDefs) {
    for (int i = 0; i < request.IndexDefs->Count(); ++i) {
      const TIndexDef& index = (*request.IndexDefs)[i];
      if (index.Options.Contains(ixPrimary))
        s.Add(" primary key (");
      else if (index.Options.Contains(ixUnique))
        s.Add(" unique index " + quote(index.Name) + " (");
      else
        s.Add(" index " + quote(index.Name) + " (");
      std::vector<std::string> fields;
      for (const std::string& f : SplitNames(index.Fields)) fields.push_back(quote(f));
      s.Add(Join(fields, ",") + "),");
    }
  }
  std::string& last = s[s.Count() - 1];
  last.pop_back();
  s.Add(");");
  return s;
}
