// TMySQLServer: the connection component of the MySQL access layer. It holds one
// connection's settings, opens and closes the main connection handle through its driver
// object (TMySQLDirect by default) and runs server-level statements. The MySQL datasets
// register with it and take their connection from it.
//
// Errors: driver and server failures arrive as EMySQLError (number and the server's or
// the driver's text); the component adds the too-old-server refusal. After the main
// handle was opened, any failure of the connect sequence closes it again before it
// propagates, so a failed connect always leaves the component disconnected.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "mysql/components/login_prompt.h"
#include "mysql/driver/driver.h"
#include "mysql/sqltext/string_list.h"
#include "platform/dataset/db.h"

enum TMySQLDriverType : std::uint8_t { dtDirect, dtEmbedded, dtLibrary };
enum TMySQLProtocolType : std::uint8_t { ptTCP, ptPipe };

// Member i is bit i; the first fifteen are sent as client flags (ClientFlags), the last
// three steer the component.
using TMySQLBase = mysql::TMySQLBase;
using TMySQLConnHandle = mysql::TMySQLHandle;
enum TMySQLServerOption : std::uint8_t {
  coLongPassword, coFoundRows, coLongFlag, coConnectWithDB, coNoSchema, coCompress, coODBC,
  coLocalFiles, coIgnoreSpace, coInteractive, coIgnoreSigpipe, coTransactions, coProtocol41,
  coSecureConnection, coMultiQueries, soAutoCreate, soDropIfExists, soCloseOnChildren
};
using TMySQLServerOptions = TSet<TMySQLServerOption>;

// The protocol capability bits of the client-flag members (bit 9 is 0x400 and bit 12
// is 0x200: the protocol's values, not the bit order).
std::uint32_t ClientFlags(TMySQLServerOptions options);

class TMySQLServer;
using TMySQLServerLoginEvent = std::function<void(TMySQLServer& sender, mysql::TSBStringList& params)>;

// What the server needs of a registered MySQL dataset for its auto-create script. The
// datasets implement it; the server leaves other datasets out of the script.
class TMySQLAutoCreateClient {
 public:
  virtual ~TMySQLAutoCreateClient() = default;
  // True when the dataset's options ask for its table to be created (doAutoCreate).
  virtual bool AutoCreateTable() const = 0;
  // The table-creation script, one line per item (may be empty).
  virtual mysql::TSBStringList TableCreationScript() = 0;
};

class TMySQLServer : public TCustomConnection {
 public:
  TMySQLServer();
  // Closes the connection (its events run) and tells the datasets it is gone.
  ~TMySQLServer() override;
  std::string ClassName() const override { return "TMySQLServer"; }

  // ---- read-only
  std::string ClientVersion() const;
  std::string ServerVersion() const;  // "-1" when not connected
  std::uint32_t ClientVer() const;
  std::uint32_t ServerVer() const;
  TMySQLConnHandle Handle() const { return handle_; }

  // ---- settings; each setter does nothing for the value it already has, and a changed
  // connection setting disconnects first
  TMySQLDriverType DriverKind() const { return driverKind_; }
  void SetDriverKind(TMySQLDriverType kind);
  TMySQLProtocolType Protocol() const { return protocol_; }
  void SetProtocol(TMySQLProtocolType protocol);
  // The owned driver object; never null after construction.
  TMySQLBase* DriverProperties() const { return driver_.get(); }
  void SetDriverProperties(std::unique_ptr<TMySQLBase> driver);
  const std::string& DatabaseName() const { return databaseName_; }
  // Stores the name; while connected (and not loading) selects it on the main handle,
  // also when it did not change. Does not disconnect.
  void SetDatabaseName(const std::string& name);
  const std::string& Host() const { return host_; }
  void SetHost(const std::string& host);
  std::uint16_t Port() const { return port_; }
  void SetPort(std::uint16_t port);
  const std::string& UserName() const { return userName_; }
  void SetUserName(const std::string& userName);
  const std::string& Password() const { return password_; }
  void SetPassword(const std::string& password);
  const mysql::TSBStringList& Params() const { return params_; }
  void SetParams(const mysql::TSBStringList& params);
  bool Compression() const { return options_.Contains(coCompress); }
  void SetCompression(bool on);
  TMySQLServerOptions Options() const { return options_; }
  void SetOptions(TMySQLServerOptions options);
  TMySQLServerLoginEvent OnLogin;
  // The dialog shown when LoginPrompt is true; when null, the installed one
  // (CurrentLoginPrompt). Not owned.
  TMySQLLoginPrompt* LoginDialog = nullptr;

  // ---- operations
  void EnsureConnected();
  // A new connection handle with the current settings (the driver's connect error on
  // failure); for the main handle and for datasets that keep their own.
  TMySQLConnHandle OpenHandle();
  // Closes a handle of a dataset's own (never the main one), sets it to 0.
  void CloseHandle(TMySQLConnHandle& handle);
  // Makes the database current on the handle (0: the main one, connecting first).
  bool SelectDatabase(const std::string& name, TMySQLConnHandle handle = nullptr);
  // The tables of the database (the current one when empty), trailing blanks and control
  // characters removed; the list is left as it was when no connection can be made.
  void GetTableNames(const std::string& databaseName, mysql::TSBStringList& list,
                     TMySQLConnHandle handle = nullptr);
  // Runs one statement on the main handle, connecting first; false when not connected.
  bool ExecSQL(const std::string& statement);
  // Splits the script into statements (comments dropped) and runs them in order; false
  // when it holds none or a statement reports false.
  bool ExecSQLBatch(const mysql::TSBStringList& lines);
  std::string EscapeString(const std::string& text) const;
  std::string QuoteName(const std::string& name) const;
  // The database's create script (and the tables of the datasets that ask for it), run
  // when `run`; the lines joined with CR LF.
  std::string CreateDatabaseScript(bool run);

  void Assign(const TCustomConnection& source) override;
  void Loaded() override;
  void SetConnected(bool connected) override;

 protected:
  bool GetConnected() const override { return driver_ && handle_ != nullptr; }
  void DoConnect() override;
  void DoDisconnect() override;

 private:
  // Disconnects as the driver and protocol switches do, also when not connected.
  void DisconnectForSwitch();
  std::string DriverSection() const;
  void ApplyDriverOptions();
  void CloseOnChildren();
  std::unique_ptr<TMySQLBase> NewDriver(TMySQLDriverType kind) const;

  TMySQLDriverType driverKind_ = dtDirect;
  TMySQLProtocolType protocol_ = ptTCP;
  std::unique_ptr<TMySQLBase> driver_;
  TMySQLConnHandle handle_ = nullptr;
  std::string databaseName_;
  std::string host_ = "localhost";
  std::uint16_t port_ = 3306;
  std::string userName_ = "root";
  std::string password_;
  mysql::TSBStringList params_;
  TMySQLServerOptions options_{coInteractive, coTransactions, coProtocol41};
};
