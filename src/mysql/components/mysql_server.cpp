#include "mysql/components/mysql_server.h"

#include <charconv>

#include "mysql/driver/direct.h"
#include "mysql/driver/library.h"
#include "mysql/sqltext/sectioned_text.h"
#include "mysql/sqltext/splitter.h"

namespace {

constexpr std::uint32_t kFlagOf[15] = {0x1,   0x2,   0x4,    0x8,    0x10,   0x20,   0x40,   0x80,
                                       0x100, 0x400, 0x1000, 0x2000, 0x200, 0x8000, 0x10000};

const char* SectionOf(TMySQLDriverType kind) {
  switch (kind) {
    case dtEmbedded: return "embedded";
    case dtLibrary: return "client";
    case dtDirect: break;
  }
  return "direct";
}

const char* ProtocolText(TMySQLProtocolType p) { return p == ptPipe ? "pipe" : "tcp"; }

// A port text read as a decimal number; false for anything else, 65536 and above included,
// so a mistyped port never wraps round to another one.
bool ReadPort(const std::string& text, std::uint16_t& port) {
  unsigned value = 0;
  const char* end = text.data() + text.size();
  auto r = std::from_chars(text.data(), end, value);
  if (text.empty() || r.ec != std::errc() || r.ptr != end || value > 65535) return false;
  port = static_cast<std::uint16_t>(value);
  return true;
}

std::string TrimRight(std::string s) {
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.pop_back();
  return s;
}

}  // namespace

std::uint32_t ClientFlags(TMySQLServerOptions options) {
  std::uint32_t flags = 0;
  for (unsigned i = 0; i < 15; ++i)
    if (options.Contains(static_cast<TMySQLServerOption>(i))) flags |= kFlagOf[i];
  return flags;
}

TMySQLServer::TMySQLServer() { driver_ = NewDriver(dtDirect); }

TMySQLServer::~TMySQLServer() {
  try {
    SetConnected(false);
  } catch (...) {
    // The handle is gone either way; a destructor must not throw.
  }
  if (driver_ && handle_) driver_->Close(handle_);
}

std::string TMySQLServer::DriverSection() const { return SectionOf(driverKind_); }

std::unique_ptr<TMySQLBase> TMySQLServer::NewDriver(TMySQLDriverType kind) const {
  const std::string options = mysql::ReadSection(params_.Text(), SectionOf(kind), "");
  switch (kind) {
    case dtLibrary: return std::make_unique<mysql::TMySQLLibrary>(options);
    case dtEmbedded: return std::make_unique<mysql::TMySQLEmbedded>(options);
    case dtDirect: break;
  }
  return std::make_unique<mysql::TMySQLDirect>(options);
}

void TMySQLServer::ApplyDriverOptions() {
  if (driver_) driver_->SetOptionsText(mysql::ReadSection(params_.Text(), DriverSection(), ""));
}

// ---- read-only properties

std::string TMySQLServer::ClientVersion() const { return driver_ ? driver_->LoadedClientInfo() : std::string(); }
std::string TMySQLServer::ServerVersion() const {
  return driver_ ? driver_->ServerInfo(handle_) : std::string("-1");
}
std::uint32_t TMySQLServer::ClientVer() const {
  return driver_ ? static_cast<std::uint32_t>(driver_->ClientVer()) : 0;
}
std::uint32_t TMySQLServer::ServerVer() const {
  return driver_ ? static_cast<std::uint32_t>(driver_->ServerVer()) : 0;
}

// ---- setters

void TMySQLServer::SetHost(const std::string& host) {
  if (host == host_) return;
  SetConnected(false);
  host_ = host;
}

void TMySQLServer::SetUserName(const std::string& userName) {
  if (userName == userName_) return;
  SetConnected(false);
  userName_ = userName;
}

void TMySQLServer::SetPassword(const std::string& password) {
  if (password == password_) return;
  SetConnected(false);
  password_ = password;
}

void TMySQLServer::SetPort(std::uint16_t port) {
  if (port == port_) return;
  SetConnected(false);
  port_ = port;
}

void TMySQLServer::SetOptions(TMySQLServerOptions options) {
  if (options == options_) return;
  SetConnected(false);
  options_ = options;
}

void TMySQLServer::SetCompression(bool on) {
  if (on == Compression()) return;
  SetConnected(false);
  options_.Set(coCompress, on);
}

void TMySQLServer::SetDatabaseName(const std::string& name) {
  databaseName_ = name;
  if (!Loading() && Connected()) SelectDatabase(databaseName_, handle_);
}

void TMySQLServer::SetParams(const mysql::TSBStringList& params) {
  if (params.Text() == params_.Text()) return;
  SetConnected(false);
  if (driver_) driver_->SetOptionsText(mysql::ReadSection(params.Text(), DriverSection(), ""));
  params_.SetText(params.Text());
}

void TMySQLServer::SetDriverProperties(std::unique_ptr<TMySQLBase> driver) {
  if (!driver || driver.get() == driver_.get()) return;
  SetConnected(false);
  if (driver_ && handle_) driver_->Close(handle_);
  driver_ = std::move(driver);
}

void TMySQLServer::DisconnectForSwitch() {
  if (Connected()) {
    SetConnected(false);
  } else {
    SendConnectEvent(false);
    DoDisconnect();
  }
}

void TMySQLServer::SetDriverKind(TMySQLDriverType kind) {
  if (kind == driverKind_) {
    if (kind == dtDirect) ApplyDriverOptions();
    return;
  }
  DisconnectForSwitch();
  driver_.reset();
  driver_ = NewDriver(kind);
  driverKind_ = kind;
  params_.SetText(mysql::WriteSectionKey(params_.Text(), DriverSection(), "protocol", ProtocolText(protocol_)));
  // The new driver learns the protocol just written, so Protocol and the driver agree.
  ApplyDriverOptions();
}

void TMySQLServer::SetProtocol(TMySQLProtocolType protocol) {
  if (protocol == protocol_) return;
  DisconnectForSwitch();
  protocol_ = protocol;
  params_.SetText(mysql::WriteSectionKey(params_.Text(), DriverSection(), "protocol", ProtocolText(protocol_)));
  ApplyDriverOptions();
}

// ---- connecting

void TMySQLServer::SetConnected(bool connected) {
  if (Loading() || !connected || Connected()) {
    TCustomConnection::SetConnected(connected);
    return;
  }
  // A cancelled login ends the connect quietly: no datasets told, no AfterConnect.
  if (BeforeConnect) BeforeConnect(*this);
  DoConnect();
  if (!Connected()) return;
  SendConnectEvent(true);
  if (AfterConnect) AfterConnect(*this);
}

void TMySQLServer::DoDisconnect() {
  if (driver_ && handle_) driver_->Close(handle_);
  handle_ = nullptr;
}

void TMySQLServer::DoConnect() {
  if (handle_) DoDisconnect();
  if (OnLogin) OnLogin(*this, params_);

  const std::string text = params_.Text();
  host_ = mysql::ReadSectionKey(text, "client", "host", host_);
  std::string portText = mysql::ReadSectionKey(text, "client", "port", std::to_string(port_));
  userName_ = mysql::ReadSectionKey(text, "client", "user", userName_);
  password_ = mysql::ReadSectionKey(text, "client", "password", password_);

  if (LoginPrompt) {
    TMySQLLoginPrompt* dialog = LoginDialog ? LoginDialog : CurrentLoginPrompt();
    if (!dialog) DatabaseError("Database Login: no login dialog is available to ask for the password", Name);
    TMySQLLoginData data{host_, portText, userName_, ""};
    if (!dialog->Execute(data)) return;
    host_ = data.Host;
    portText = data.Port;
    userName_ = data.UserName;
    password_ = data.Password;
  }
  ReadPort(portText, port_);

  // With auto-create the handle opens without the database, which may not exist yet.
  const bool autoCreate = options_.Contains(soAutoCreate) && !databaseName_.empty();
  const std::string remembered = databaseName_;
  if (autoCreate) databaseName_.clear();
  try {
    handle_ = OpenHandle();
  } catch (...) {
    databaseName_ = remembered;  // a failed connect must not lose the setting
    throw;
  }

  try {
    if (ServerVer() < 32100) {
      const std::uint32_t version = ServerVer();
      DoDisconnect();
      driver_->RaiseError(nullptr, -1,
                      "Only compatible with MySQL Server 3.21.xx and higher. Your version: " +
                          std::to_string(version));
    }
    if (options_.Contains(soAutoCreate)) {
      databaseName_ = remembered;
      CreateDatabaseScript(true);
    }
    if (!options_.Contains(coConnectWithDB) && !databaseName_.empty()) SetDatabaseName(databaseName_);
  } catch (...) {
    databaseName_ = remembered.empty() ? databaseName_ : remembered;
    if (driver_ && handle_) driver_->Close(handle_);
    handle_ = nullptr;
    throw;
  }
}

void TMySQLServer::EnsureConnected() {
  if (!handle_) SetConnected(true);
}

TMySQLConnHandle TMySQLServer::OpenHandle() {
  return driver_->Connect(host_, userName_, password_, port_, ClientFlags(options_), databaseName_);
}

void TMySQLServer::CloseHandle(TMySQLConnHandle& handle) {
  if (driver_ && handle_ && handle != handle_)
    driver_->Close(handle);
  handle = nullptr;
  CloseOnChildren();
}

void TMySQLServer::CloseOnChildren() {
  if (!options_.Contains(soCloseOnChildren) || !handle_) return;
  for (int i = 0; i < DataSetCount(); ++i)
    if (DataSets(i).Active()) return;
  SetConnected(false);
}

bool TMySQLServer::SelectDatabase(const std::string& name, TMySQLConnHandle handle) {
  if (name.empty()) return true;
  if (!handle || handle == handle_) {
    EnsureConnected();
    handle = handle_;
  }
  return driver_->SelectDb(handle, name);
}

void TMySQLServer::GetTableNames(const std::string& databaseName, mysql::TSBStringList& list,
                                 TMySQLConnHandle handle) {
  EnsureConnected();
  if (!Connected()) return;
  list.Clear();
  const std::string statement =
      databaseName.empty() ? std::string("show tables") : "show tables from " + QuoteName(databaseName);
  mysql::TMySQLResult result = nullptr;
  try {
    result = driver_->Query(handle ? handle : handle_, statement);
    if (!result) return;
    while (mysql::TMySQLRow row = driver_->FetchRow(result)) list.Add(TrimRight(row[0] ? row[0] : ""));
    driver_->FreeResult(result);
  } catch (...) {
    if (result) driver_->FreeResult(result);
    throw;
  }
  CloseOnChildren();
}

bool TMySQLServer::ExecSQL(const std::string& statement) {
  EnsureConnected();
  bool ran = false;
  if (Connected()) {
    std::string sql = statement;
    if (ServerVer() < 32200 && !sql.empty() && sql.back() == ';') sql.pop_back();
    mysql::TMySQLResult result = driver_->Query(handle_, sql);
    if (result) driver_->FreeResult(result);
    ran = true;
  }
  CloseOnChildren();
  return ran;
}

bool TMySQLServer::ExecSQLBatch(const mysql::TSBStringList& lines) {
  const std::vector<std::string> statements = mysql::SplitStatements(lines.Lines(), false);
  if (statements.empty()) return false;
  for (const std::string& s : statements)
    if (!ExecSQL(s)) return false;
  return true;
}

std::string TMySQLServer::EscapeString(const std::string& text) const {
  return driver_ ? driver_->EscapeString(text) : text;
}

std::string TMySQLServer::QuoteName(const std::string& name) const {
  return driver_ ? driver_->QuoteName(name) : name;
}

std::string TMySQLServer::CreateDatabaseScript(bool run) {
  mysql::TSBStringList script;
  if (!databaseName_.empty()) {
    const std::string db = QuoteName(databaseName_);
    if (options_.Contains(soDropIfExists)) script.Add("drop database if exists " + db + ";");
    script.Add("create database if not exists " + db + ";");
    script.Add("use " + db + ";");
  }
  for (int i = 0; i < DataSetCount(); ++i) {
    auto* client = dynamic_cast<TMySQLAutoCreateClient*>(&DataSets(i));
    if (!client || !client->AutoCreateTable()) continue;
    for (const std::string& line : client->TableCreationScript()) script.Add(line);
  }
  if (!databaseName_.empty()) script.Add("use " + QuoteName(databaseName_) + ";");
  if (run) ExecSQLBatch(script);
  std::string text;
  for (std::size_t i = 0; i < script.Count(); ++i) text += (i ? "\r\n" : "") + script[i];
  return text;
}

void TMySQLServer::Assign(const TCustomConnection& source) {
  const auto* other = dynamic_cast<const TMySQLServer*>(&source);
  if (!other) {
    TCustomConnection::Assign(source);
    return;
  }
  SetConnected(false);
  LoginPrompt = other->LoginPrompt;
  SetOptions(other->options_);
  SetParams(other->params_);
  SetDriverKind(other->driverKind_);
  auto* library = dynamic_cast<mysql::TMySQLLibrary*>(driver_.get());
  auto* otherLibrary = dynamic_cast<const mysql::TMySQLLibrary*>(other->driver_.get());
  if (driverKind_ != dtDirect && library && otherLibrary) library->SetClientDLL(otherLibrary->ClientDLL());
  SetHost(other->host_);
  SetPort(other->port_);
  SetUserName(other->userName_);
  SetPassword(other->password_);
  SetDatabaseName(other->databaseName_);
}

void TMySQLServer::Loaded() {
  ApplyDriverOptions();
  TCustomConnection::Loaded();
}
