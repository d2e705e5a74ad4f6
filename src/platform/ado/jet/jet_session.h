// The Jet provider: Access files (.mdb, .accdb) read through libmdb. Access files
// are read-only here, because libmdb cannot create tables safely: every write fails
// with a message that says so and names the file.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ado/connection.h"

namespace ado::jet {

// The table name of a query of the form SELECT * FROM name (the name in backquotes,
// brackets or bare, with or without ";"); throws DatabaseError for anything else.
std::string TableOfSelectAll(std::string_view sql);

struct JetFile;

class JetSession : public Session {
 public:
  // Opens the file for reading; throws DatabaseError with a clear message when it is
  // missing, unreadable, truncated or no Access file.
  explicit JetSession(const std::string& path);
  ~JetSession() override;
  JetSession(const JetSession&) = delete;
  JetSession& operator=(const JetSession&) = delete;

  // Always throws: the file is read-only here.
  void execute(const std::string& sql) override;
  // SELECT * FROM name only; the record count is known up front.
  std::unique_ptr<Recordset> openQuery(const std::string& sql) override;
  std::unique_ptr<Recordset> openSchema(SchemaRowset rowset,
                                        const std::vector<Variant>& restrictions) override;
  // Always throws: the file is read-only here.
  std::unique_ptr<TableDataset> openTable(const std::string& name) override;
  std::unique_ptr<Command> prepare(const std::string& sql) override;

  const std::string& path() const { return path_; }
  // "file:" + the file's device and inode.
  std::string identity() override;
  // The message every write fails with.
  std::string readOnlyMessage() const override;

 private:
  std::string path_;
  std::unique_ptr<JetFile> file_;
};

}  // namespace ado::jet
