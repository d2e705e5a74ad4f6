// The Jet provider: Access files read through libmdb. Access files are read-only
// here: every write fails with a message that says so and names the file.
#pragma once

#include <memory>
#include <string>

#include "platform/ado/connection.h"

namespace ado::jet {

class JetSession : public Session {
 public:
  // Opens the file; throws DatabaseError with a clear message when it is missing,
  // unreadable, truncated or no Access file.
  explicit JetSession(const std::string& path);
  ~JetSession() override;

  void execute(const std::string& sql) override;
  std::unique_ptr<Recordset> openQuery(const std::string& sql) override;
  std::unique_ptr<Recordset> openSchema(SchemaRowset rowset,
                                        const std::vector<Variant>& restrictions) override;
  std::unique_ptr<TableDataset> openTable(const std::string& name) override;

 private:
  std::string path_;
};

}  // namespace ado::jet
