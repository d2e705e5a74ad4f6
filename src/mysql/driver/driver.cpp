#include "mysql/driver/driver.h"

#include <dlfcn.h>

#include <charconv>
#include <cstdlib>
#include <cstring>

#include "mysql/driver/field_layouts.h"
#include "mysql/sqltext/name_quoting.h"
#include "mysql/sqltext/sectioned_text.h"
#include "platform/text/text.h"

namespace mysql {

const char* const kNotImplementedMessage =
    "This MySQL API call is not implemented in the library you are using.  Please update your "
    "library (Debian: libmariadb3, or libmariadbd19 for the embedded server), or report the "
    "library you use to the Quillmark maintainers.";

void* FindEntryPoint(void* module, const char* name) {
  return module ? ::dlsym(module, name) : nullptr;
}

void ThrowNotImplemented() {
  throw std::runtime_error(kNotImplementedMessage);
}

namespace {

constexpr const char* kDefaultSocket = "/run/mysqld/mysqld.sock";

std::string Text(const char* s) {
  return s ? std::string(s) : std::string();
}

// A whole decimal number, or none.
std::optional<long long> Number(std::string_view s) {
  const std::string_view t = text::TrimSpacesAndTabs(s);
  long long v = 0;
  auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
  if (t.empty() || ec != std::errc() || end != t.data() + t.size()) return std::nullopt;
  return v;
}

// The protocol option names this transport, whatever its case and blanks.
bool ProtocolIs(const std::optional<std::string>& protocol, std::string_view name) {
  return protocol && text::EqualsNoCase(text::TrimSpacesAndTabs(*protocol), name);
}

// Words of a text cut at any of `separators` (and at letters when asked), empty ones
// dropped.
std::vector<std::string> Words(const std::string& text, bool lettersSeparate) {
  std::vector<std::string> words;
  std::string word;
  for (char c : text) {
    bool sep = c == '.' || c == '-' || c == ' ' ||
               (lettersSeparate && std::isalpha(static_cast<unsigned char>(c)));
    if (sep) {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word.push_back(c);
    }
  }
  if (!word.empty()) words.push_back(word);
  return words;
}

template <typename Record>
void CopyCommon(const Record& r, TMysqlField& f) {
  f.name = Text(r.name);
  f.table = Text(r.table);
  f.def = Text(r.def);
  f.length = static_cast<uint32_t>(r.length);
  f.max_length = static_cast<uint32_t>(r.max_length);
  f.flags = r.flags;
  f.decimals = r.decimals;
  f.type = static_cast<uint8_t>(r.type);
}

}  // namespace

TMySQLBase::TMySQLBase(const std::string& options) : reservedWords_(ReservedWordText()) {
  SetOptionsText(options);
}

TMySQLBase::~TMySQLBase() {
  CloseAllHandles();
  TMySQLBase::Unload();
}

void TMySQLBase::CloseAllHandles() {
  if (!loaded_) return;
  // Results first: a library's result may still point at its connection.
  for (TMySQLResult r : std::set<TMySQLResult>(results_)) {
    TMySQLResult copy = r;
    try {
      FreeResult(copy);
    } catch (...) {
      // Nothing to report to while the driver goes away.
    }
  }
  std::set<TMySQLHandle> handles = open_;
  handles.erase(mainHandle_);
  for (TMySQLHandle h : handles) {
    try {
      Close(h);
    } catch (...) {
    }
  }
  if (mainHandle_) {
    TMySQLHandle h = mainHandle_;
    try {
      Close(h);
    } catch (...) {
    }
  }
}

void TMySQLBase::SetOptions(const std::vector<std::string>& lines) {
  options_ = lines;
}

void TMySQLBase::SetOptionsText(const std::string& text) {
  options_.clear();
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) options_.push_back(line);
    at = end + 1;
  }
}

std::optional<std::string> TMySQLBase::OptionValue(const char* key) const {
  std::string text;
  for (const auto& line : options_) {
    text += line;
    text += "\r\n";
  }
  return FindKeyValue(text, key);
}

void TMySQLBase::Load() {
  if (loaded_) Unload();
  loaded_ = true;
  InitFunctions();
}

void TMySQLBase::Unload() {
  if (!loaded_) return;
  loaded_ = false;
  mainHandle_ = nullptr;
  clientVer_ = 0;
  open_.clear();
  results_.clear();
  unloadWhenLastCloses_ = false;
}

void TMySQLBase::InitFunctions() {
  clientVer_ = 0;
}

TFieldLayout TMySQLBase::FieldLayout() const {
  if (clientVer_ >= 40101) return TFieldLayout::k41;
  if (clientVer_ == 40100) return TFieldLayout::k40100;
  if (clientVer_ >= 40000) return TFieldLayout::k40;
  return TFieldLayout::k323;
}

int32_t TMySQLBase::VersionNumber(const std::string& text) {
  std::vector<std::string> words = Words(text, false);
  auto part = [](const std::vector<std::string>& w, size_t i, long long def) {
    if (i >= w.size()) return def;
    auto n = Number(w[i]);
    return n && *n >= 0 && *n < 100000 ? *n : def;
  };
  long long major = part(words, 0, 3);
  long long minor = part(words, 1, 21);
  long long release = part(Words(text, true), 2, 0);
  return static_cast<int32_t>(major * 10000 + minor * 100 + release);
}

unsigned long TMySQLBase::EscapeDirect(char* to, const char* from, unsigned long length,
                                       bool noBackslashEscapes) {
  char* out = to;
  for (unsigned long i = 0; i < length; ++i) {
    char c = from[i];
    if (noBackslashEscapes) {
      if (c == '\'') *out++ = c;
      *out++ = c;
      continue;
    }
    char escaped = 0;
    switch (c) {
      case '\0': escaped = '0'; break;
      case '\t': escaped = 't'; break;
      case '\n': escaped = 'n'; break;
      case '\r': escaped = 'r'; break;
      case '"':
      case '\'':
      case '\\': escaped = c; break;
      default: break;
    }
    if (escaped) {
      *out++ = '\\';
      *out++ = escaped;
    } else {
      *out++ = c;
    }
  }
  *out = '\0';
  return static_cast<unsigned long>(out - to);
}

int32_t TMySQLBase::ErrorNumber(TMySQLHandle handle) {
  if (!handle) return 0;
  EnsureLoaded();
  return static_cast<int32_t>(fn_.errno_(handle));
}

std::string TMySQLBase::ErrorText(TMySQLHandle handle) {
  if (!handle) return {};
  EnsureLoaded();
  return Text(fn_.error(handle));
}

EMySQLError TMySQLBase::MakeError(TMySQLHandle handle, int32_t defaultNumber,
                                  const std::string& message) {
  try {
    // Never loads: a failure while unloading must not load the library again.
    std::string client = loaded_ ? Text(fn_.get_client_info()) : std::string();
    std::string server = mainHandle_ && loaded_ ? Text(fn_.get_server_info(mainHandle_)) : "-1";
    int32_t number = defaultNumber;
    std::string text = message;
    if (handle) {
      number = ErrorNumber(handle);
      text = ErrorText(handle) + ": " + message;
    } else if (mainHandle_) {
      number = ErrorNumber(mainHandle_);
      text = ErrorText(mainHandle_) + ": " + message;
    }
    std::string suffix;
    if (client != "-1" && server != "-1") {
      suffix = "\r\nClient:" + client + "\r\nServer:" + server;
    } else if (!client.empty() && client != "-1") {
      suffix = "\r\nClient:" + client;
    }
    std::string full = number >= 0 ? "[" + std::to_string(number) + "] " + text : text;
    return EMySQLError(full + suffix, number);
  } catch (...) {
    return EMySQLError(message, defaultNumber);
  }
}

void TMySQLBase::RaiseError(TMySQLHandle handle, int32_t defaultNumber,
                            const std::string& message) {
  throw MakeError(handle, defaultNumber, message);
}

TMySQLHandle TMySQLBase::Connect(const std::string& host, const std::string& user,
                                 const std::string& password, uint32_t port, uint32_t clientFlags,
                                 const std::string& database) {
  EnsureLoaded();
  TMySQLHandle handle = fn_.init(nullptr);
  if (!handle) RaiseError(nullptr, -1, "Could not initialize mysql driver.");
  const bool isMain = mainHandle_ == nullptr;
  if (isMain) mainHandle_ = handle;
  try {
    if (clientVer_ == 0) clientVer_ = VersionNumber(ClientInfo());

    auto seconds = [this](const char* key, unsigned int def) -> std::optional<unsigned int> {
      auto v = OptionValue(key);
      if (!v) return std::nullopt;
      auto n = Number(*v);
      return n && *n >= 0 && *n <= 0xFFFFFFFFLL ? static_cast<unsigned int>(*n) : def;
    };
    auto protocol = OptionValue("protocol");
    const bool pipe = OptionValue("pipe") || ProtocolIs(protocol, "pipe");
    ApplyExtraOptions(handle, pipe, ProtocolIs(protocol, "tcp"));
    if (auto t = seconds("connect_timeout", 60)) fn_.options(handle, kOptConnectTimeout, &*t);
    if (auto t = seconds("read_timeout", 300)) fn_.options(handle, kOptReadTimeout, &*t);
    if (auto t = seconds("write_timeout", 300)) fn_.options(handle, kOptWriteTimeout, &*t);
    if (pipe) fn_.options(handle, kOptNamedPipe, nullptr);
    if (auto v = OptionValue("autoreconnect")) {
      auto n = Number(*v);
      char on = n ? (*n != 0) : 1;
      fn_.options(handle, kOptReconnect, &on);
    }

    std::string socket;
    if (pipe) {
      auto s = OptionValue("socket");
      const std::string_view named = s ? text::TrimSpacesAndTabs(*s) : std::string_view();
      const char* env = std::getenv("MYSQL_UNIX_PORT");
      socket = !named.empty() ? std::string(named) : env && *env ? env : kDefaultSocket;
    }
    TMySQLHandle connected =
        fn_.real_connect(handle, host.empty() ? nullptr : host.c_str(), user.c_str(),
                         password.c_str(), database.empty() ? nullptr : database.c_str(), port,
                         pipe ? socket.c_str() : nullptr, clientFlags);
    if (!connected) {
      // The failing handle tells why, also when it is not the main one.
      throw MakeError(
          handle, -1,
          "Could not connect to mysql server using:\r\nUser: " + user + "\r\nHost:" + host +
              "\r\n" + "Port:" + std::to_string(port) + "\r\nDB:" + database + "\r\n" +
              "Please check the following:\r\n" +
              "> MySQL Server is running on the host and port specified and that you can access "
              "it through possible firewalls\r\n" +
              "> If the server is available and on a remote machine, check that this username "
              "(with password) may access it from a remote IP, see MySQL Manual (Security)");
    }
    open_.insert(handle);
    if (isMain) unloadWhenLastCloses_ = false;
    serverVer_ = VersionNumber(ServerInfo(mainHandle_));
    return handle;
  } catch (...) {
    fn_.close(handle);
    if (isMain) mainHandle_ = nullptr;
    throw;
  }
}

std::string TMySQLBase::LoadedClientInfo() {
  EnsureLoaded();
  return ClientInfo();
}

void TMySQLBase::Close(TMySQLHandle& handle) {
  TMySQLHandle h = handle;
  handle = nullptr;
  if (!h || !loaded_) return;
  fn_.close(h);
  open_.erase(h);
  if (h == mainHandle_) {
    mainHandle_ = nullptr;
    serverVer_ = 0;
    unloadWhenLastCloses_ = true;
  }
  UnloadWhenUnused();
}

void TMySQLBase::UnloadWhenUnused() {
  // A dataset's own handle (or result) may outlive the main handle: unloading under it
  // would leave it pointing into a library that is gone.
  if (unloadWhenLastCloses_ && !mainHandle_ && open_.empty() && results_.empty()) {
    unloadWhenLastCloses_ = false;
    Unload();
  }
}

std::string TMySQLBase::ClientInfo() {
  EnsureLoaded();
  return Text(fn_.get_client_info());
}

std::string TMySQLBase::HostInfo(TMySQLHandle handle) {
  if (!handle) return "No server connection";
  EnsureLoaded();
  return Text(fn_.get_host_info(handle));
}

std::string TMySQLBase::ServerInfo(TMySQLHandle handle) {
  if (!handle || !loaded_) return "-1";
  return Text(fn_.get_server_info(handle));
}

uint32_t TMySQLBase::ProtoInfo(TMySQLHandle handle) {
  if (!handle) return 0;
  EnsureLoaded();
  return fn_.get_proto_info(handle);
}

bool TMySQLBase::Ping(TMySQLHandle handle) {
  if (!handle) return false;
  EnsureLoaded();
  if (fn_.ping(handle) != 0) RaiseError(handle, -1, "");
  return true;
}

uint32_t TMySQLBase::ThreadId(TMySQLHandle handle) {
  if (!handle) return 0;
  EnsureLoaded();
  return static_cast<uint32_t>(fn_.thread_id(handle));
}

void TMySQLBase::Kill(TMySQLHandle handle, uint32_t threadId) {
  if (!handle) return;
  EnsureLoaded();
  if (fn_.kill(handle, threadId) != 0) RaiseError(handle, -1, "");
}

std::string TMySQLBase::Info(TMySQLHandle handle) {
  if (!handle || !loaded_) return "-1";
  return Text(fn_.info(handle));
}

bool TMySQLBase::CreateDb(TMySQLHandle handle, const std::string& name) {
  if (!handle) return false;
  EnsureLoaded();
  if (fn_.create_db(handle, name.c_str()) != 0) RaiseError(handle, -1, "");
  return true;
}

bool TMySQLBase::SelectDb(TMySQLHandle handle, const std::string& name) {
  if (!handle) return false;
  EnsureLoaded();
  if (fn_.select_db(handle, name.c_str()) != 0) RaiseError(handle, -1, "");
  return true;
}

bool TMySQLBase::DropDb(TMySQLHandle handle, const std::string& name) {
  if (!handle) return false;
  EnsureLoaded();
  if (fn_.drop_db(handle, name.c_str()) != 0) RaiseError(handle, -1, "");
  return true;
}

TMySQLResult TMySQLBase::Query(TMySQLHandle handle, const std::string& statement) {
  if (!handle) return nullptr;
  EnsureLoaded();
  if (fn_.real_query(handle, statement.data(), statement.size()) != 0) {
    RaiseError(handle, -1, "");
  }
  TMySQLResult result = fn_.use_result(handle);
  // No result and an error (out of memory, out of step) is a failure, not "no rows".
  if (!result && fn_.errno_(handle) != 0) RaiseError(handle, -1, "");
  if (result) results_.insert(result);
  return result;
}

void TMySQLBase::FreeResult(TMySQLResult& result) {
  TMySQLResult r = result;
  result = nullptr;
  if (!r || !loaded_) return;
  results_.erase(r);
  fn_.free_result(r);
  UnloadWhenUnused();
}

uint32_t TMySQLBase::NumFields(TMySQLResult result) {
  if (!result) return 0;
  EnsureLoaded();
  return fn_.num_fields(result);
}

uint64_t TMySQLBase::NumRows(TMySQLResult result) {
  if (!result) return 0;
  EnsureLoaded();
  return fn_.num_rows(result);
}

void TMySQLBase::FetchField(TMySQLResult result, TMysqlField& field) {
  if (!result) return;
  EnsureLoaded();
  const void* record = fn_.fetch_field(result);
  if (!record) {
    field.name.clear();
    return;
  }
  switch (FieldLayout()) {
    case TFieldLayout::k41: {
      const auto& r = *static_cast<const TNativeField41*>(record);
      CopyCommon(r, field);
      field.org_name = Text(r.org_name);
      field.org_table = Text(r.org_table);
      field.db = Text(r.db);
      break;
    }
    case TFieldLayout::k40100: {
      const auto& r = *static_cast<const TNativeField40100*>(record);
      CopyCommon(r, field);
      field.org_name = Text(r.org_name);
      field.org_table.clear();
      break;
    }
    case TFieldLayout::k40: {
      const auto& r = *static_cast<const TNativeField40*>(record);
      CopyCommon(r, field);
      field.org_table.clear();
      field.db.clear();
      break;
    }
    case TFieldLayout::k323: {
      const auto& r = *static_cast<const TNativeField323*>(record);
      CopyCommon(r, field);
      field.org_table.clear();
      field.db.clear();
      break;
    }
  }
}

TMySQLRow TMySQLBase::FetchRow(TMySQLResult result) {
  if (!result) return nullptr;
  EnsureLoaded();
  return fn_.fetch_row(result);
}

const unsigned long* TMySQLBase::FetchLengths(TMySQLResult result) {
  if (!result) return nullptr;
  EnsureLoaded();
  return fn_.fetch_lengths(result);
}

std::string TMySQLBase::EscapeString(const std::string& text) {
  EnsureLoaded();
  std::string out(text.size() * 2 + 1, '\0');
  unsigned long n;
  if (!mainHandle_) {
    // A library cannot escape without a connection: the direct rule needs none.
    n = EscapeDirect(out.data(), text.data(), text.size());
  } else {
    n = fn_.real_escape_string(mainHandle_, out.data(), text.data(), text.size());
    if (n == static_cast<unsigned long>(-1)) RaiseError(mainHandle_, -1, "");
  }
  out.resize(n);
  return out;
}

bool TMySQLBase::NeedsQuoting(const std::string& name) {
  return mysql::NeedsQuoting(name, mainHandle_ != nullptr, static_cast<uint32_t>(serverVer_));
}

std::string TMySQLBase::QuoteName(const std::string& name) {
  return mysql::QuoteName(name, mainHandle_ != nullptr, static_cast<uint32_t>(serverVer_));
}

bool TMySQLBase::IsReservedWord(const std::string& name) {
  return mysql::IsReservedWord(name, reservedWords_);
}

void TMySQLBase::InsertId(TMySQLHandle handle, std::string& value) {
  if (!handle) return;
  EnsureLoaded();
  value = std::to_string(fn_.insert_id(handle));
}

void TMySQLBase::AffectedRows(TMySQLHandle handle, std::string& value) {
  if (!handle) return;
  EnsureLoaded();
  value = std::to_string(fn_.affected_rows(handle));
}

bool TMySQLBase::Refresh(TMySQLHandle handle, uint32_t options) {
  if (!handle) return false;
  EnsureLoaded();
  if (fn_.refresh(handle, options) != 0) RaiseError(handle, -1, "");
  return true;
}

}  // namespace mysql
