// A session that accepts every statement and every row and reads nothing: the
// destination of a job that only writes its script.
#pragma once

#include "platform/ado/connection.h"

namespace ado {

class NullSession : public Session {
 public:
  void execute(const std::string& sql) override;
  // An empty record set without columns.
  std::unique_ptr<Recordset> openQuery(const std::string& sql) override;
  // An empty record set with the rowset's columns.
  std::unique_ptr<Recordset> openSchema(SchemaRowset rowset,
                                        const std::vector<Variant>& restrictions) override;
  // A table that takes every field name and every post.
  std::unique_ptr<TableDataset> openTable(const std::string& name) override;
  // A command that accepts every execution.
  std::unique_ptr<Command> prepare(const std::string& sql) override;
  // Nothing is written, so there is nothing to commit or undo.
  void beginTransaction() override {}
  void commit() override {}
  void rollback() override {}
};

}  // namespace ado
