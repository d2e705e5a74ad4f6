// Loading the catalogue through the provider's schema rowsets TABLES, COLUMNS,
// INDEXES and VIEWS.
#include "catalog/loader.h"

#include <exception>
#include <vector>

#include "catalog/corvane.h"
#include "platform/ado/connection.h"
#include "platform/ado/schema_rowsets.h"
#include "platform/text/text.h"
#include "platform/ui/messages.h"

namespace {

const char* const kCrLf = "\r\n";

std::string TextOf(const ado::Variant& v) {
  return v.isNull() ? std::string() : ado::VariantToText(v);
}

bool IsServerKind(TDatabaseKind kind) {
  return IsSQLServerDialect(kind) || IsMySQLDialect(kind);
}

// A schema rowset's restrictions: how many there are and where the object's name goes.
struct TRestrictionPositions {
  std::size_t count;
  std::size_t nameAt;
};
constexpr TRestrictionPositions kColumnsOfTable{ado::kColumnsRestrictions, ado::CR_TABLE};
constexpr TRestrictionPositions kIndexesOfTable{ado::kIndexesRestrictions, ado::IR_TABLE};
constexpr TRestrictionPositions kViewByName{ado::kViewsRestrictions, ado::VR_NAME};

// The object's schema when it has one (so tables of one name in two schemas stay
// apart) and its name.
std::vector<ado::Variant> ObjectRestrictions(const TCorvaneObject& o, TRestrictionPositions at) {
  std::vector<ado::Variant> r(at.count);
  if (!o.SchemaName.empty()) r[ado::kSchemaRestriction] = o.SchemaName;
  r[at.nameAt] = o.ObjectName;
  return r;
}

}  // namespace

std::string StripDatabaseQualifier(std::string_view s, std::string_view database) {
  std::string out;
  out.reserve(s.size());
  std::size_t i = 0;
  char previous = 0;  // the last character written outside blanks
  while (i < s.size()) {
    const char c = s[i];
    if (c == '\'' || c == '"') {
      // A string literal: copied whole, with its doubled quotes and escapes.
      std::size_t j = i + 1;
      while (j < s.size()) {
        if (s[j] == '\\' && j + 1 < s.size()) {
          j += 2;
          continue;
        }
        if (s[j] == c) {
          if (j + 1 < s.size() && s[j + 1] == c) {
            j += 2;
            continue;
          }
          ++j;
          break;
        }
        ++j;
      }
      out.append(s.substr(i, j - i));
      previous = c;
      i = j;
      continue;
    }
    if (c == '`') {
      std::size_t j = i + 1;
      std::string name;
      while (j < s.size()) {
        if (s[j] == '`') {
          if (j + 1 < s.size() && s[j + 1] == '`') {
            name += '`';
            j += 2;
            continue;
          }
          ++j;
          break;
        }
        name += s[j++];
      }
      // `database`. at the start of a qualified name (not itself after a ".").
      if (name == database && previous != '.' && j < s.size() && s[j] == '.' && j + 1 < s.size() &&
          s[j + 1] == '`') {
        i = j + 1;
        previous = '.';  // what follows is the rest of this name, never a qualifier
        continue;
      }
      out.append(s.substr(i, j - i));
      previous = '`';
      i = j;
      continue;
    }
    out += c;
    if (c != ' ' && c != '\t' && c != '\n' && c != '\r') previous = c;
    ++i;
  }
  return out;
}

bool TCorvane::LoadDBInfo() {
  try {
    if (!Connection) throw ado::DatabaseError("No connection has been set.");
    if (!Connection->isOpen()) Connection->open();
  } catch (const std::exception& e) {
    ui::ShowMessage(ui::MessageKind::Error,
                    std::string("Cannot connect to database.") + kCrLf + e.what());
    return false;
  }
  try {
    auto tables = Connection->openSchema(ado::SchemaRowset::Tables);
    const int schemaAt = tables->fieldIndex("TABLE_SCHEMA");
    const int nameAt = tables->fieldIndex("TABLE_NAME");
    const int typeAt = tables->fieldIndex("TABLE_TYPE");
    for (tables->first(); !tables->eof(); tables->next()) {
      auto object = std::make_unique<TCorvaneObject>();
      object->SchemaName = schemaAt < 0 ? std::string() : TextOf(tables->value(schemaAt));
      object->ObjectName = nameAt < 0 ? std::string() : TextOf(tables->value(nameAt));
      const ado::Variant none;
      const ado::Variant& type = typeAt < 0 ? none : tables->value(typeAt);
      if (!type.isNull()) {
        object->TableType = ado::VariantToText(type);
        object->ObjectKind = object->TableType == "TABLE" ? okTable : okView;
      } else {
        object->TableType.clear();
        object->ObjectKind = okNoType;
      }
      object->Connection = Connection;
      // An object whose columns fail to load is still listed with what was read.
      object->InitialObject(DBKind);
      Objects.Add(std::move(object));
    }
    return true;
  } catch (const std::exception& e) {
    ui::ShowMessage(ui::MessageKind::Error,
                    std::string("Cannot get information from your database") + kCrLf + e.what());
    return false;
  }
}

bool TCorvaneObject::InitialObject(TDatabaseKind kind) {
  DBKind = kind;
  return InitialADODBObject(Connection);
}

bool TCorvaneObject::InitialADODBObject(ado::Connection* connection) {
  if (!connection) return false;
  try {
    if (!connection->isOpen()) connection->open();
  } catch (const std::exception&) {
    return false;
  }
  try {
    ViewDefinition = ObjectKind == okView ? GetViewDefinition() : std::string();

    auto columns =
        connection->openSchema(ado::SchemaRowset::Columns, ObjectRestrictions(*this, kColumnsOfTable));
    const int nameAt = columns->fieldIndex("COLUMN_NAME");
    const int typeAt = columns->fieldIndex("DATA_TYPE");
    const int lengthAt = columns->fieldIndex("CHARACTER_MAXIMUM_LENGTH");
    const int flagsAt = columns->fieldIndex("COLUMN_FLAGS");
    const int precisionAt = columns->fieldIndex("NUMERIC_PRECISION");
    const int scaleAt = columns->fieldIndex("NUMERIC_SCALE");
    const int fractionAt = columns->fieldIndex("DATETIME_PRECISION");
    const int columnTypeAt = columns->fieldIndex("COLUMN_TYPE");
    const int charsetAt = columns->fieldIndex("CHARACTER_SET_NAME");
    const int collationAt = columns->fieldIndex("COLLATION_NAME");
    const int generationAt = columns->fieldIndex("GENERATION_EXPRESSION");
    const int storedAt = columns->fieldIndex("GENERATION_STORED");
    const int invisibleAt = columns->fieldIndex("IS_INVISIBLE");
    auto text = [&](int at, std::string& out) {
      if (at >= 0) out = TextOf(columns->value(at));
    };
    auto flag = [&](int at, bool& out) {
      if (at >= 0 && !columns->value(at).isNull()) out = columns->value(at).toBool();
    };
    auto integer = [&](int at, std::int32_t& out) {
      if (at < 0) return;
      const ado::Variant& v = columns->value(at);
      if (!v.isNull()) out = static_cast<std::int32_t>(v.toInt());
    };
    for (columns->first(); !columns->eof(); columns->next()) {
      auto field = std::make_unique<TCorvaneField>();
      if (nameAt >= 0 && !columns->value(nameAt).isNull())
        field->FieldName = ado::VariantToText(columns->value(nameAt));
      integer(typeAt, field->DataType);
      integer(lengthAt, field->CharMaxLength);
      integer(flagsAt, field->ColumnFlags);
      integer(precisionAt, field->NumericPrecision);
      integer(scaleAt, field->NumericScale);
      integer(fractionAt, field->DateTimePrecision);
      text(columnTypeAt, field->ColumnType);
      text(charsetAt, field->CharacterSet);
      text(collationAt, field->Collation);
      text(generationAt, field->GenerationExpression);
      flag(storedAt, field->GenerationStored);
      flag(invisibleAt, field->Invisible);
      field->DBKind = DBKind;
      Fields.Add(std::move(field));
    }

    auto indexes =
        connection->openSchema(ado::SchemaRowset::Indexes, ObjectRestrictions(*this, kIndexesOfTable));
    if (indexes->recordCount() > 0) {
      std::vector<std::string> names;
      for (indexes->first(); !indexes->eof(); indexes->next()) {
        std::string name = TextOf(indexes->value("INDEX_NAME"));
        bool seen = false;
        for (const auto& n : names) seen = seen || n == name;
        if (!seen) names.push_back(std::move(name));
      }
      for (const std::string& name : names) {
        indexes->setFilter("INDEX_NAME=" + text::SqlTextLiteral(name, false));
        indexes->first();
        auto index = std::make_unique<TCorvaneIndex>();
        if (!indexes->eof()) {
          const ado::Variant& schema = indexes->value("INDEX_SCHEMA");
          if (!schema.isNull()) index->SchemaName = ado::VariantToText(schema);
          const ado::Variant& indexName = indexes->value("INDEX_NAME");
          if (!indexName.isNull()) index->IndexName = ado::VariantToText(indexName);
          const ado::Variant& primary = indexes->value("PRIMARY_KEY");
          if (!primary.isNull()) index->IsPrimaryKey = primary.toBool();
          const ado::Variant& unique = indexes->value("UNIQUE");
          if (!unique.isNull()) index->IsUnique = unique.toBool();
          const ado::Variant& clustered = indexes->value("CLUSTERED");
          if (!clustered.isNull()) index->IsClustered = clustered.toBool();
        }
        const int prefixAt = indexes->fieldIndex("SUB_PART");
        for (; !indexes->eof(); indexes->next()) {
          const ado::Variant& column = indexes->value("COLUMN_NAME");
          if (column.isNull()) continue;
          index->Columns.push_back(ado::VariantToText(column));
          const ado::Variant none;
          const ado::Variant& prefix = prefixAt < 0 ? none : indexes->value(prefixAt);
          index->ColumnPrefixes.push_back(
              prefix.isNull() ? 0 : static_cast<std::int32_t>(prefix.toInt()));
        }
        index->DBKind = DBKind;
        Indexes.Add(std::move(index));
      }
      indexes->setFilter("");
    }
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

std::string TCorvaneObject::GetViewDefinition() {
  if (IsAccessDialect(DBKind)) {
    auto views = Connection->openSchema(ado::SchemaRowset::Views, ObjectRestrictions(*this, kViewByName));
    views->first();
    if (views->eof()) return {};
    return TextOf(views->value("VIEW_DEFINITION"));
  }
  if (!IsServerKind(DBKind)) return {};
  const bool mysql = IsMySQLDialect(DBKind);
  std::string sql = "SELECT * FROM INFORMATION_SCHEMA.VIEWS WHERE TABLE_NAME = " +
                    text::SqlTextLiteral(ObjectName, mysql);
  // Only this database's view (MySQL) or this schema's (SQL Server) may supply the
  // definition of a view of that name.
  if (mysql)
    sql += " AND TABLE_SCHEMA = DATABASE()";
  else if (!SchemaName.empty())
    sql += " AND TABLE_SCHEMA = " + text::SqlTextLiteral(SchemaName, false);
  try {
    auto rs = Connection->openQuery(sql);
    rs->first();
    if (rs->eof()) return {};
    const ado::Variant& definition = rs->value("VIEW_DEFINITION");
    if (definition.isNull()) return {};
    std::string text = ado::VariantToText(definition);
    if (mysql) text = StripDatabaseQualifier(text, TextOf(rs->value("TABLE_SCHEMA")));
    return text;
  } catch (const std::exception& e) {
    ui::ShowMessage(ui::MessageKind::Plain, e.what());
    return {};
  }
}
