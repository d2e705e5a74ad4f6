// The catalogue: the in-memory picture of the source database's tables and views,
// their columns and indexes, as the provider reports them. Owners free what they
// own; connections are never owned.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/project_settings.h"

namespace ado {
class Connection;
}

class TCorvaneBase {
 public:
  virtual ~TCorvaneBase() = default;
  ado::Connection* Connection = nullptr;
  // Fills the catalogue from Connection; true when it was loaded.
  virtual bool LoadDBInfo() = 0;
};

class TCorvaneField {
 public:
  std::int32_t CharMaxLength = 0;
  std::int32_t ColumnFlags = 0;
  std::int32_t DataType = 0;
  std::string FieldName;
  bool Selected = false;
  TDatabaseKind DBKind = dkAccess;
  // Of exact numerics; 0 when not reported.
  std::int32_t NumericPrecision = 0;
  std::int32_t NumericScale = 0;
  // Digits of fractional seconds of a date/time column; 0 when none or not reported.
  std::int32_t DateTimePrecision = 0;
  // The column's own declaration where the provider reports one (MySQL's
  // "varbinary(300)", "bit(12)"): the type signature above names the nearest common
  // type, this keeps what a copy into the same dialect needs.
  std::string ColumnType;
  // Of text columns, where reported.
  std::string CharacterSet;
  std::string Collation;
  // A generated column: its expression, and whether it is stored or computed on read.
  std::string GenerationExpression;
  bool GenerationStored = false;
  // Left out by SELECT * (a MySQL invisible column).
  bool Invisible = false;

  bool IsGenerated() const { return !GenerationExpression.empty(); }
};

class TCorvaneIndex {
 public:
  std::vector<std::string> Columns;
  // Key prefix length of each column of Columns (MySQL's `t`(10)); 0, or no entry, for
  // the whole column.
  std::vector<std::int32_t> ColumnPrefixes;
  bool IsUnique = false;
  bool IsClustered = false;
  bool IsPrimaryKey = false;
  std::string SchemaName;
  std::string IndexName;
  bool Selected = false;
  TDatabaseKind DBKind = dkAccess;
};

// An ordered list that owns its items and accepts equal keys; Find returns the
// first item of a name.
template <typename T>
class TOwnedList {
 public:
  T& Add(std::unique_ptr<T> item) {
    items_.push_back(std::move(item));
    return *items_.back();
  }
  std::size_t size() const { return items_.size(); }
  bool empty() const { return items_.empty(); }
  void clear() { items_.clear(); }
  T& operator[](std::size_t i) { return *items_[i]; }
  const T& operator[](std::size_t i) const { return *items_[i]; }

  template <typename Base>
  class Iter {
   public:
    Iter(Base it) : it_(it) {}
    auto& operator*() const { return **it_; }
    auto* operator->() const { return it_->get(); }
    Iter& operator++() {
      ++it_;
      return *this;
    }
    bool operator==(const Iter& o) const { return it_ == o.it_; }

   private:
    Base it_;
  };
  auto begin() { return Iter<typename Vec::iterator>(items_.begin()); }
  auto end() { return Iter<typename Vec::iterator>(items_.end()); }
  auto begin() const { return Iter<typename Vec::const_iterator>(items_.begin()); }
  auto end() const { return Iter<typename Vec::const_iterator>(items_.end()); }

 private:
  using Vec = std::vector<std::unique_ptr<T>>;
  Vec items_;
};

// What the loader makes of an object's reported table type. ObjectKind keeps the byte
// (stored and compared as a number elsewhere); these are its values.
enum TObjectKind : std::uint8_t {
  okTable = 0,   // table type exactly "TABLE"
  okView = 1,    // any other reported type
  okNoType = 3,  // none reported
};

class TCorvaneObject {
 public:
  std::uint8_t ObjectKind = okTable;
  TOwnedList<TCorvaneIndex> Indexes;
  TOwnedList<TCorvaneField> Fields;
  std::string SchemaName;
  std::string TableType;
  std::string ObjectName;
  ado::Connection* Connection = nullptr;
  bool Selected = false;
  TDatabaseKind DBKind = dkAccess;
  std::string ViewDefinition;

  void SetObjectKind(std::uint8_t v) { ObjectKind = v; }
  void SetSchemaName(const std::string& v) { SchemaName = v; }
  void SetTableType(const std::string& v) { TableType = v; }
  void SetObjectName(const std::string& v) { ObjectName = v; }
  void SetConnection(ado::Connection* v) { Connection = v; }
  void SetSelected(bool v) { Selected = v; }
  void SetDBKind(TDatabaseKind v) { DBKind = v; }
  void SetViewDefinition(const std::string& v) { ViewDefinition = v; }

  // Sets DBKind, then loads columns, indexes and the view definition.
  bool InitialObject(TDatabaseKind kind);
  bool InitialADODBObject(ado::Connection* connection);
  std::string GetViewDefinition();

  // Selects or unselects every field, every index and the object itself, in that
  // order; node is the tree node that asked, handed back unchanged.
  void* SelectAllChildObject(bool select, void* node = nullptr);

  bool HasPrimaryKey() const;
  // The first field of that name, ignoring case; nullptr when there is none.
  const TCorvaneField* FindField(std::string_view name) const;
};

class TCorvane : public TCorvaneBase {
 public:
  TDatabaseKind DBKind = dkNone;
  TOwnedList<TCorvaneObject> Objects;

  void SetDBKind(TDatabaseKind v) { DBKind = v; }
  void SetConnection(ado::Connection* v) { Connection = v; }

  void ClearDBInfo();
  bool LoadDBInfo() override;
  void SelectAllChildObject(bool select);
  int TableCount() const;
  int ViewCount() const;
};
