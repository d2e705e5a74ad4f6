// Small catalogue objects and source rows for the statement tests.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "catalog/corvane.h"
#include "sqlgen/source_row.h"

struct FieldSpec {
  std::string name;
  int dataType;
  int flags = 0;
  int length = 0;
  int precision = 0;
  int scale = 0;
  const char* columnType = "";  // the provider's own declaration ("varbinary(300)")
};

inline TCorvaneField& AddField(TCorvaneObject& o, const FieldSpec& s) {
  auto f = std::make_unique<TCorvaneField>();
  f->FieldName = s.name;
  f->DataType = s.dataType;
  f->ColumnFlags = s.flags;
  f->CharMaxLength = s.length;
  f->NumericPrecision = s.precision;
  f->NumericScale = s.scale;
  f->ColumnType = s.columnType;
  f->DBKind = o.DBKind;
  f->Selected = o.Selected;
  return o.Fields.Add(std::move(f));
}

inline TCorvaneIndex& AddIndex(TCorvaneObject& o, const std::string& name,
                               std::vector<std::string> columns, bool primary, bool unique) {
  auto i = std::make_unique<TCorvaneIndex>();
  i->IndexName = name;
  i->Columns = std::move(columns);
  i->IsPrimaryKey = primary;
  i->IsUnique = unique;
  i->DBKind = o.DBKind;
  i->Selected = o.Selected;
  return o.Indexes.Add(std::move(i));
}

inline std::unique_ptr<TCorvaneObject> MakeObject(const std::string& name, TDatabaseKind kind,
                                                  std::uint8_t objectKind = 0) {
  auto o = std::make_unique<TCorvaneObject>();
  o->ObjectName = name;
  o->DBKind = kind;
  o->ObjectKind = objectKind;
  o->TableType = objectKind == 0 ? "TABLE" : "VIEW";
  o->Selected = true;
  return o;
}

class MapRow : public TSourceRow {
 public:
  MapRow(std::initializer_list<std::pair<const std::string, ado::Variant>> values)
      : values_(values) {}
  const ado::Variant& FieldValue(std::string_view name) const override {
    auto it = values_.find(std::string(name));
    return it == values_.end() ? null_ : it->second;
  }

 private:
  std::map<std::string, ado::Variant> values_;
  ado::Variant null_;
};

inline TProjectSettings Settings(TDatabaseKind source, TDatabaseKind dest,
                                 std::string replaceChar = "") {
  TProjectSettings s;
  s.SourceKind = source;
  s.DestKind = dest;
  s.ReplaceChar = std::move(replaceChar);
  return s;
}
