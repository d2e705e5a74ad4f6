// TMySQLBase: the one interface through which the MySQL components reach a server.
// Its operations mirror the MySQL client library: connection and result handles are
// opaque pointers (nullptr is none, never an error), and every operation goes through a
// table of 29 entry points shaped like that library's functions. The variants fill the
// table: TMySQLDirect with adaptors onto the built-in client, TMySQLLibrary from a
// client library loaded by name, TMySQLEmbedded from the embedded-server library.
//
// Failures throw: EMySQLError ("[number] text: message" with the client and server
// versions appended) for anything a handle reports, std::runtime_error for a library
// that cannot be loaded or an entry point it lacks. Not thread-safe: one driver and its
// handles are used by one thread at a time.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "mysql/protocol/client.h"
#include "platform/ado/connection.h"

namespace mysql {

// A database error with the MySQL error number (client 2000 and up, or the server's).
class EMySQLError : public ado::DatabaseError {
 public:
  EMySQLError(const std::string& message, int32_t number)
      : ado::DatabaseError(message, number), number_(number) {}
  int32_t ErrorNumber() const { return number_; }

 private:
  int32_t number_;
};

// Opaque handles: a connection (MYSQL* of a library, a session of the direct driver)
// and a result (MYSQL_RES*, or the direct driver's result).
struct TMySQLConnection;
struct TMySQLResultSet;
using TMySQLHandle = TMySQLConnection*;
using TMySQLResult = TMySQLResultSet*;
// The values of one row (nullptr for NULL) and their byte lengths.
using TMySQLRow = const char* const*;

// Option codes of the client library's options entry.
enum TMySQLOption : int {
  kOptConnectTimeout = 0,
  kOptCompress = 1,
  kOptNamedPipe = 2,
  kOptReadDefaultGroup = 5,
  kOptProtocol = 9,
  kOptReadTimeout = 11,
  kOptWriteTimeout = 12,
  kOptReconnect = 20,
};

// The 29 entry points, in the client library's order and with its argument shapes
// (x86-64: lengths and thread ids are unsigned long).
struct TMySQLEntryPoints {
  TMySQLHandle (*init)(TMySQLHandle);
  int (*options)(TMySQLHandle, int option, const void* value);
  TMySQLHandle (*real_connect)(TMySQLHandle, const char* host, const char* user,
                               const char* password, const char* db, unsigned int port,
                               const char* unixSocket, unsigned long clientFlags);
  void (*close)(TMySQLHandle);
  unsigned int (*errno_)(TMySQLHandle);
  const char* (*error)(TMySQLHandle);
  const char* (*get_host_info)(TMySQLHandle);
  const char* (*get_client_info)();
  const char* (*get_server_info)(TMySQLHandle);
  unsigned int (*get_proto_info)(TMySQLHandle);
  int (*ping)(TMySQLHandle);
  unsigned long (*thread_id)(TMySQLHandle);
  int (*kill)(TMySQLHandle, unsigned long threadId);
  const char* (*info)(TMySQLHandle);
  int (*create_db)(TMySQLHandle, const char* name);
  int (*select_db)(TMySQLHandle, const char* name);
  int (*drop_db)(TMySQLHandle, const char* name);
  int (*real_query)(TMySQLHandle, const char* statement, unsigned long length);
  TMySQLResult (*use_result)(TMySQLHandle);
  void (*free_result)(TMySQLResult);
  unsigned int (*num_fields)(TMySQLResult);
  unsigned long long (*num_rows)(TMySQLResult);
  unsigned long* (*fetch_lengths)(TMySQLResult);
  // A field record in the library's own layout (see field_layouts.h), or nullptr.
  const void* (*fetch_field)(TMySQLResult);
  char** (*fetch_row)(TMySQLResult);
  unsigned long (*real_escape_string)(TMySQLHandle, char* to, const char* from,
                                      unsigned long length);
  unsigned long long (*insert_id)(TMySQLHandle);
  int (*refresh)(TMySQLHandle, unsigned int options);
  unsigned long long (*affected_rows)(TMySQLHandle);
};

// The layout a library's field records have.
enum class TFieldLayout { k41, k40100, k40, k323 };

class TMySQLBase {
 public:
  // `options`: key=value lines separated by CR LF or LF (see Options()).
  explicit TMySQLBase(const std::string& options = {});
  // Closes every handle this driver opened that is still open, then unloads.
  virtual ~TMySQLBase();
  TMySQLBase(const TMySQLBase&) = delete;
  TMySQLBase& operator=(const TMySQLBase&) = delete;

  // The main handle: the first one opened; nullptr when none is open.
  virtual TMySQLHandle Handle() const { return mainHandle_; }
  // Connection options read at every Connect: "connect_timeout", "read_timeout",
  // "write_timeout" (seconds), "pipe" (any value) or "protocol=pipe" (the server's Unix
  // socket: "socket" when given, else $MYSQL_UNIX_PORT, else /run/mysqld/mysqld.sock),
  // "autoreconnect" (0 or 1).
  const std::vector<std::string>& Options() const { return options_; }
  virtual void SetOptions(const std::vector<std::string>& lines);
  void SetOptionsText(const std::string& text);

  // Fills the entry-point table (unloading first when loaded). Throws when the library
  // cannot be loaded.
  virtual void Load();
  // Forgets the table; the main handle becomes nullptr and the versions 0.
  virtual void Unload();
  bool Loaded() const { return loaded_; }

  int32_t ErrorNumber(TMySQLHandle handle);
  std::string ErrorText(TMySQLHandle handle);

  // A new connection handle. The first one becomes the main handle. Throws
  // EMySQLError with the connect message (or "Could not initialize mysql driver.").
  virtual TMySQLHandle Connect(const std::string& host, const std::string& user,
                               const std::string& password, uint32_t port, uint32_t clientFlags,
                               const std::string& database);
  virtual std::string LoadedClientInfo();
  // Closes the handle; nothing for nullptr. Closing the main handle unloads the driver
  // once no other handle it opened is still open. `handle` becomes nullptr.
  virtual void Close(TMySQLHandle& handle);
  virtual std::string ClientInfo();
  virtual std::string HostInfo(TMySQLHandle handle);
  virtual std::string ServerInfo(TMySQLHandle handle);
  virtual uint32_t ProtoInfo(TMySQLHandle handle);
  virtual bool Ping(TMySQLHandle handle);
  virtual uint32_t ThreadId(TMySQLHandle handle);
  virtual void Kill(TMySQLHandle handle, uint32_t threadId);
  virtual std::string Info(TMySQLHandle handle);
  virtual bool CreateDb(TMySQLHandle handle, const std::string& name);
  virtual bool SelectDb(TMySQLHandle handle, const std::string& name);
  virtual bool DropDb(TMySQLHandle handle, const std::string& name);
  // Runs the whole statement (zero bytes included); the streamed result, or nullptr
  // when the statement returns no rows. Throws on failure.
  virtual TMySQLResult Query(TMySQLHandle handle, const std::string& statement);
  // Frees a result (draining its unread rows); `result` becomes nullptr.
  virtual void FreeResult(TMySQLResult& result);
  virtual uint32_t NumFields(TMySQLResult result);
  virtual uint64_t NumRows(TMySQLResult result);
  // The next column's descriptor; an empty name past the last. Only the fields the
  // library's layout carries are written.
  virtual void FetchField(TMySQLResult result, TMysqlField& field);
  // The next row's values, valid until the next call; nullptr at the end. A read that
  // failed ends the rows too: ErrorNumber of the handle tells it apart.
  virtual TMySQLRow FetchRow(TMySQLResult result);
  virtual const unsigned long* FetchLengths(TMySQLResult result);
  // The text escaped for use between single quotes.
  virtual std::string EscapeString(const std::string& text);
  virtual bool NeedsQuoting(const std::string& name);
  virtual std::string QuoteName(const std::string& name);
  virtual bool IsReservedWord(const std::string& name);
  // The decimal text of the value; `value` is left alone for a nullptr handle.
  virtual void InsertId(TMySQLHandle handle, std::string& value);
  virtual void AffectedRows(TMySQLHandle handle, std::string& value);
  virtual bool Refresh(TMySQLHandle handle, uint32_t options);

  // Builds EMySQLError from the handle's (else the main handle's) error and throws it.
  [[noreturn]] void RaiseError(TMySQLHandle handle, int32_t defaultNumber,
                               const std::string& message);

  // major * 10000 + minor * 100 + release; 0 until known.
  int32_t ClientVer() const { return clientVer_; }
  int32_t ServerVer() const { return serverVer_; }
  // The number of a version text: "4.1.14" gives 40114 (3 and 21 stand in for a major
  // and minor that are not numbers, 0 for a release that is not).
  static int32_t VersionNumber(const std::string& text);
  // The escaping of the direct driver: zero byte, tab, line feed, carriage return,
  // double quote, single quote and backslash get a backslash (0, t, n, r for the first
  // four). Writes into `to` (room for 2 * length + 1) and returns the escaped length.
  // When the session has NO_BACKSLASH_ESCAPES a backslash is no escape: then only the
  // single quote is doubled.
  static unsigned long EscapeDirect(char* to, const char* from, unsigned long length,
                                    bool noBackslashEscapes = false);

 protected:
  // Takes `name` from the library module; a missing one is replaced by a function
  // that throws the not-implemented error when called.
  template <typename R, typename... A>
  void LoadFunction(R (*&entry)(A...), void* module, const char* name);
  // Client version 0; the variants fill the table.
  virtual void InitFunctions();
  // The layout of the library's field records.
  virtual TFieldLayout FieldLayout() const;
  // The variant's own options, applied before the standard ones. `pipe`: the options
  // ask for the local socket; `tcp`: they name the protocol "tcp".
  virtual void ApplyExtraOptions(TMySQLHandle, bool /*pipe*/, bool /*tcp*/) {}
  // Closes every result and handle this driver opened (for the destructors).
  void CloseAllHandles();
  void SetLoaded(bool loaded) { loaded_ = loaded; }
  void EnsureLoaded() {
    if (!loaded_) Load();
  }
  // Looks up a key of Options; none when no line names it.
  std::optional<std::string> OptionValue(const char* key) const;

  TMySQLEntryPoints fn_{};
  int32_t clientVer_ = 0;
  int32_t serverVer_ = 0;

 private:
  void UnloadWhenUnused();
  EMySQLError MakeError(TMySQLHandle handle, int32_t defaultNumber, const std::string& message);

  TMySQLHandle mainHandle_ = nullptr;
  bool loaded_ = false;
  // Handles opened here and not closed yet: the library stays loaded while any is open.
  std::set<TMySQLHandle> open_;
  std::set<TMySQLResult> results_;
  bool unloadWhenLastCloses_ = false;
  std::vector<std::string> options_;
  // The reserved words IsReservedWord looks in, "," before and after each.
  std::string reservedWords_;
};

// The message of an entry point the loaded library lacks.
extern const char* const kNotImplementedMessage;
// The named symbol of a loaded module, or nullptr.
void* FindEntryPoint(void* module, const char* name);
[[noreturn]] void ThrowNotImplemented();

template <typename R, typename... A>
void TMySQLBase::LoadFunction(R (*&entry)(A...), void* module, const char* name) {
  if (void* p = FindEntryPoint(module, name)) {
    entry = reinterpret_cast<R (*)(A...)>(p);
  } else {
    entry = [](A...) -> R { ThrowNotImplemented(); };
  }
}

}  // namespace mysql
