// What every streamed query result does alike: one row held at a time, the end, the
// filter, and going back to the first row by running the statement again. A provider
// says how to run its statement and how to read the next row.
#pragma once

#include <string>
#include <vector>

#include "platform/ado/connection.h"
#include "platform/ado/memory_recordset.h"

namespace ado {

class ForwardQuery : public Recordset {
 public:
  // Goes back to the first row: runs again when the query has moved on (or a filter
  // was set).
  void first() override;
  bool eof() const override { return eof_; }
  void next() override;
  int fieldCount() const override { return static_cast<int>(names_.size()); }
  const std::string& fieldName(int index) const override;
  // Null past the end; throws DatabaseError for a column that does not exist.
  const Variant& value(int index) const override;
  using Recordset::value;
  long long recordCount() const override { return -1; }
  void setFilter(const std::string& filter) override;

 protected:
  // Runs the statement from its start; the rows are then read by readRow. Throws.
  virtual void rerun() = 0;
  // Reads the next row's values (one per column); false at the end. Throws.
  virtual bool readRow(std::vector<Variant>& values) = 0;

  // The columns, once the statement has described them.
  void setColumns(std::vector<std::string> names);
  // After running: the first row that passes the filter, or the end.
  void start();
  // No more rows: the end, with every value null.
  void markEnd();

 private:
  void fetch();

  std::vector<std::string> names_;
  std::vector<Variant> values_;
  bool eof_ = true;
  long long position_ = 0;  // rows moved past since the statement ran
  BoundFilter filter_;
};

}  // namespace ado
