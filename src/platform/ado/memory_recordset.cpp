#include "platform/ado/memory_recordset.h"

#include "platform/text/text.h"

namespace ado {

namespace {

const Variant kNull;

}  // namespace

RowFilter RowFilter::Parse(std::string_view text) {
  const std::string bad = "Filter cannot be applied: " + std::string(text);
  std::size_t eq = text.find('=');
  if (eq == std::string_view::npos) throw DatabaseError(bad);
  RowFilter f;
  f.column = std::string(text::TrimBlanks(text.substr(0, eq)));
  std::string_view rest = text::TrimBlanks(text.substr(eq + 1));
  if (f.column.empty() || rest.size() < 2 || rest.front() != '\'' || rest.back() != '\'')
    throw DatabaseError(bad);
  rest = rest.substr(1, rest.size() - 2);
  for (std::size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == '\'') {
      if (i + 1 < rest.size() && rest[i + 1] == '\'') {
        ++i;
      } else {
        throw DatabaseError(bad);  // a lone quote would end the value early
      }
    }
    f.value += rest[i];
  }
  return f;
}

BoundFilter BindFilter(const Recordset& rs, const std::string& text) {
  BoundFilter bound;
  if (text::TrimBlanks(text).empty()) return bound;
  RowFilter f = RowFilter::Parse(text);
  bound.column = rs.fieldIndex(f.column);
  if (bound.column < 0)
    throw DatabaseError("Filter cannot be applied: no column named " + f.column);
  bound.value = std::move(f.value);
  return bound;
}

MemoryRecordset::MemoryRecordset(std::vector<std::string> columns) : columns_(std::move(columns)) {}

void MemoryRecordset::addRow(std::vector<Variant> row) {
  row.resize(columns_.size());
  rows_.push_back(std::move(row));
}

bool MemoryRecordset::passes(std::size_t row) const {
  return filter_.passes(rows_[row]);
}

void MemoryRecordset::skipFiltered() {
  while (pos_ < rows_.size() && !passes(pos_)) ++pos_;
}

void MemoryRecordset::first() {
  pos_ = 0;
  skipFiltered();
}

bool MemoryRecordset::eof() const {
  return pos_ >= rows_.size();
}

void MemoryRecordset::next() {
  if (pos_ < rows_.size()) ++pos_;
  skipFiltered();
}

const std::string& MemoryRecordset::fieldName(int index) const {
  return columns_.at(static_cast<std::size_t>(index));
}

const Variant& MemoryRecordset::value(int index) const {
  if (index < 0 || index >= fieldCount())
    throw DatabaseError("Item cannot be found: column " + std::to_string(index));
  if (pos_ >= rows_.size()) return kNull;
  return rows_[pos_][static_cast<std::size_t>(index)];
}

long long MemoryRecordset::recordCount() const {
  if (filter_.column < 0) return static_cast<long long>(rows_.size());
  long long n = 0;
  for (std::size_t i = 0; i < rows_.size(); ++i) n += passes(i);
  return n;
}

void MemoryRecordset::setFilter(const std::string& filter) {
  filter_ = BindFilter(*this, filter);
  first();
}

void MemoryRecordset::close() {
  rows_.clear();
  pos_ = 0;
}

}  // namespace ado
