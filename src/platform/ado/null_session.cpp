#include "platform/ado/null_session.h"

#include "platform/ado/memory_recordset.h"
#include "platform/ado/schema_rowsets.h"

namespace ado {

namespace {

class NullTable : public TableDataset {
 public:
  void append() override {}
  void setField(std::string_view, const Variant&) override {}
  void post() override {}
  void close() override {}
  // Nothing is written, so groups lose nothing.
  bool rollsBack() override { return true; }
};

class NullCommand : public Command {
 public:
  void execute(std::span<const Variant* const>) override {}
};

}  // namespace

void NullSession::execute(const std::string&) {}

std::unique_ptr<Recordset> NullSession::openQuery(const std::string&) {
  return std::make_unique<MemoryRecordset>(std::vector<std::string>{});
}

std::unique_ptr<Recordset> NullSession::openSchema(SchemaRowset rowset,
                                                   const std::vector<Variant>&) {
  return NewSchemaRowset(rowset);
}

std::unique_ptr<TableDataset> NullSession::openTable(const std::string&) {
  return std::make_unique<NullTable>();
}

std::unique_ptr<Command> NullSession::prepare(const std::string&) {
  return std::make_unique<NullCommand>();
}

}  // namespace ado
