#include "platform/ado/jet/jet_session.h"

namespace ado::jet {

JetSession::JetSession(const std::string& path) : path_(path) {
  throw DatabaseError("Access files cannot be opened yet: " + path);
}
JetSession::~JetSession() = default;
void JetSession::execute(const std::string&) {}
std::unique_ptr<Recordset> JetSession::openQuery(const std::string&) {
  return nullptr;
}
std::unique_ptr<Recordset> JetSession::openSchema(SchemaRowset, const std::vector<Variant>&) {
  return nullptr;
}
std::unique_ptr<TableDataset> JetSession::openTable(const std::string&) {
  return nullptr;
}

}  // namespace ado::jet
