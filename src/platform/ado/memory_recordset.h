// A record set held in memory: schema rowsets, which are small and are walked and
// filtered several times by the catalogue loader.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ado/connection.h"

namespace ado {

// A parsed filter NAME='value'. Throws DatabaseError for any other form.
struct RowFilter {
  std::string column;
  std::string value;
  static RowFilter Parse(std::string_view text);
};

// A filter resolved against a record set's columns; inactive for empty filter text.
struct BoundFilter {
  int column = -1;
  std::string value;
  bool passes(const std::vector<Variant>& row) const {
    if (column < 0) return true;
    const Variant& v = row[static_cast<std::size_t>(column)];
    return !v.isNull() && VariantToText(v) == value;
  }
};
// Throws DatabaseError for a malformed filter or one naming no column of rs.
BoundFilter BindFilter(const Recordset& rs, const std::string& text);

class MemoryRecordset : public Recordset {
 public:
  explicit MemoryRecordset(std::vector<std::string> columns);

  // Adds a row of fieldCount() values (missing ones are null).
  void addRow(std::vector<Variant> row);
  std::vector<Variant>& lastRow() { return rows_.back(); }
  std::size_t rowCount() const { return rows_.size(); }

  void first() override;
  bool eof() const override;
  void next() override;
  int fieldCount() const override { return static_cast<int>(columns_.size()); }
  const std::string& fieldName(int index) const override;
  const Variant& value(int index) const override;
  using Recordset::value;
  // The number of rows that pass the filter.
  long long recordCount() const override;
  void setFilter(const std::string& filter) override;
  void close() override;

 private:
  bool passes(std::size_t row) const;
  void skipFiltered();

  std::vector<std::string> columns_;
  std::vector<std::vector<Variant>> rows_;
  std::size_t pos_ = 0;
  BoundFilter filter_;
};

}  // namespace ado
