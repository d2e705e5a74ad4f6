// A table opened for appending rows through one prepared INSERT with bound parameters.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/ado/connection.h"
#include "platform/ado/odbc/odbc_handles.h"
#include "platform/ado/odbc/odbc_params.h"

namespace ado::odbc {

class OdbcSession;

class OdbcTable : public TableDataset {
 public:
  // Reads the table's columns; throws the driver's message when there is no such table.
  OdbcTable(OdbcSession& session, const std::string& name);
  ~OdbcTable() override;

  void append() override;
  void setField(std::string_view name, const Variant& value) override;
  void post() override;
  void close() override;
  // Multi-row INSERTs: toward SQL Server at most 1000 rows and 2000 parameters a
  // statement, toward MySQL as many rows as fit in max_allowed_packet (and 65535
  // parameters).
  void postRows(std::span<const std::string> fields, std::span<const Variant* const> values,
                std::size_t rows) override;

  // Toward MySQL, whether the table's engine has transactions (asked once); toward
  // SQL Server always.
  bool rollsBack() override;

  const std::string& quotedName() const { return name_; }

 private:
  int find(std::string_view name);
  void prepare();
  void bind(std::size_t column, SQLUSMALLINT number);

  OdbcSession& session_;
  std::string name_;
  std::vector<std::string> columns_;
  std::vector<std::string> quotedColumns_;
  std::unordered_map<std::string, int> byName_;  // lower-cased name -> column
  std::string key_;                              // scratch for lookups
  int hint_ = 0;                                 // where the next field is likely to be
  std::vector<Variant> row_;
  std::vector<std::uint8_t> set_;       // set_[i]: the row gives column i a value
  std::vector<std::uint8_t> prepared_;  // the columns of the prepared INSERT
  std::vector<ParamSlot> params_;
  std::unique_ptr<Statement> insert_;
  // The multi-row INSERT last prepared, for groupColumns_ and groupRows_ rows.
  std::unique_ptr<Statement> group_;
  std::vector<int> groupColumns_;
  std::size_t groupRows_ = 0;
  std::vector<ParamSlot> groupSlots_;
  bool appending_ = false;
  bool wideText_ = false;
  // The table's own database and name as the server reports them (MySQL).
  std::string baseDatabase_;
  std::string baseTable_;
  std::optional<bool> rollsBack_;
};

}  // namespace ado::odbc
