#include "mysql/driver/library.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/text/text.h"

namespace mysql {

namespace {

// MySQL's protocol option values.
constexpr unsigned int kProtocolTcp = 1;
constexpr unsigned int kProtocolSocket = 2;

// Keys of Options that the driver reads itself; the embedded server is not given them.
bool IsDriverKey(const std::string& line) {
  static const char* const kKeys[] = {"connect_timeout", "read_timeout",  "write_timeout", "pipe",
                                      "protocol",        "autoreconnect", "socket"};
  const std::string_view key =
      text::TrimSpacesAndTabs(std::string_view(line).substr(0, line.find('=')));
  for (const char* k : kKeys) {
    if (text::EqualsNoCase(key, k)) return true;
  }
  return false;
}

// The embedded server of this process: it starts once and stays until the end.
struct EmbeddedProcess {
  std::mutex lock;
  void* module = nullptr;
  std::string file;
  bool started = false;
  void (*end)() = nullptr;
};

EmbeddedProcess& Embedded() {
  static EmbeddedProcess* process = new EmbeddedProcess;  // outlives every driver
  return *process;
}

void EndEmbeddedServer() {
  EmbeddedProcess& p = Embedded();
  if (p.started && p.end) p.end();
  p.started = false;
}

}  // namespace

std::string ProgramPath() {
  char buf[4096];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof(buf) - 1);
  return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

TMySQLLibrary::TMySQLLibrary(const std::string& options) : TMySQLBase(options) {}

TMySQLLibrary::~TMySQLLibrary() {
  CloseAllHandles();
  try {
    TMySQLLibrary::Unload();
  } catch (...) {
    // A library that cannot be freed at the end stays mapped; nothing else is lost.
  }
}

std::string TMySQLLibrary::ClientDLL() const {
  return clientDLL_.empty() ? kDefaultClientDLL : clientDLL_;
}

void* TMySQLLibrary::OpenModule(const std::string& file, std::string& why) const {
  std::string path = file;
  if (file.find('/') == std::string::npos) {
    std::string program = ProgramPath();
    std::string local = program.substr(0, program.rfind('/') + 1) + file;
    if (!program.empty() && ::access(local.c_str(), F_OK) == 0) path = local;
  }
  ::dlerror();
  void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module) {
    const char* e = ::dlerror();
    why = e ? e : "";
  }
  return module;
}

void TMySQLLibrary::Load() {
  if (Loaded()) Unload();
  const std::string file = ClientDLL();
  std::string why;
  void* module = OpenModule(file, why);
  if (!module) {
    std::string message = "Could not load MySQL library " + file +
                          " (it comes with Debian's package " + Package() + ")" +
                          ". Please place " + file +
                          " in your program's directory or alternatively in a system library "
                          "folder (one the dynamic loader searches, or one named in "
                          "LD_LIBRARY_PATH).";
    if (!why.empty()) message += "\r\n" + why;
    throw std::runtime_error(message);
  }
  module_ = module;
  SetLoaded(true);
  InitFunctions();
}

void TMySQLLibrary::Unload() {
  void* module = module_;
  module_ = nullptr;
  connectorC_ = false;
  TMySQLBase::Unload();
  serverVer_ = 0;
  if (!module) return;
  // The library's own global state (set up by its first mysql_init) goes before the
  // library does; else every load and unload would leave it behind.
  using EndFunction = void (*)();
  if (auto end = reinterpret_cast<EndFunction>(FindEntryPoint(module, "mysql_server_end"))) {
    end();
  }
  if (::dlclose(module) != 0) {
    const char* e = ::dlerror();
    RaiseError(nullptr, -1, e ? e : "The MySQL library could not be freed");
  }
}

void TMySQLLibrary::InitFunctions() {
  TMySQLBase::InitFunctions();
  void* m = module_;
  LoadFunction(fn_.init, m, "mysql_init");
  LoadFunction(fn_.options, m, "mysql_options");
  LoadFunction(fn_.real_connect, m, "mysql_real_connect");
  LoadFunction(fn_.close, m, "mysql_close");
  LoadFunction(fn_.errno_, m, "mysql_errno");
  LoadFunction(fn_.error, m, "mysql_error");
  LoadFunction(fn_.get_client_info, m, "mysql_get_client_info");
  LoadFunction(fn_.get_server_info, m, "mysql_get_server_info");
  LoadFunction(fn_.get_host_info, m, "mysql_get_host_info");
  LoadFunction(fn_.get_proto_info, m, "mysql_get_proto_info");
  LoadFunction(fn_.ping, m, "mysql_ping");
  LoadFunction(fn_.thread_id, m, "mysql_thread_id");
  LoadFunction(fn_.kill, m, "mysql_kill");
  LoadFunction(fn_.info, m, "mysql_info");
  LoadFunction(fn_.create_db, m, "mysql_create_db");
  LoadFunction(fn_.select_db, m, "mysql_select_db");
  LoadFunction(fn_.drop_db, m, "mysql_drop_db");
  LoadFunction(fn_.real_query, m, "mysql_real_query");
  LoadFunction(fn_.use_result, m, "mysql_use_result");
  LoadFunction(fn_.free_result, m, "mysql_free_result");
  LoadFunction(fn_.num_fields, m, "mysql_num_fields");
  LoadFunction(fn_.num_rows, m, "mysql_num_rows");
  LoadFunction(fn_.fetch_lengths, m, "mysql_fetch_lengths");
  LoadFunction(fn_.fetch_field, m, "mysql_fetch_field");
  LoadFunction(fn_.fetch_row, m, "mysql_fetch_row");
  LoadFunction(fn_.real_escape_string, m, "mysql_real_escape_string");
  LoadFunction(fn_.insert_id, m, "mysql_insert_id");
  LoadFunction(fn_.refresh, m, "mysql_refresh");
  LoadFunction(fn_.affected_rows, m, "mysql_affected_rows");
  connectorC_ = FindEntryPoint(m, "mariadb_get_infov") != nullptr;
}

TFieldLayout TMySQLLibrary::FieldLayout() const {
  return connectorC_ ? TFieldLayout::k41 : TMySQLBase::FieldLayout();
}

void TMySQLLibrary::ApplyExtraOptions(TMySQLHandle handle, bool pipe, bool tcp) {
  // The named-pipe option means nothing to a library on Linux: ask for its socket, or
  // for TCP when the options say so (else "localhost" would mean the socket too).
  if (pipe) {
    fn_.options(handle, kOptProtocol, &kProtocolSocket);
  } else if (tcp) {
    fn_.options(handle, kOptProtocol, &kProtocolTcp);
  }
}

TMySQLEmbedded::~TMySQLEmbedded() {
  CloseAllHandles();
  TMySQLEmbedded::Unload();
}

std::string TMySQLEmbedded::ClientDLL() const {
  std::string file = TMySQLLibrary::ClientDLL();
  return file == kDefaultClientDLL ? kDefaultEmbeddedDLL : file;
}

std::vector<std::string> TMySQLEmbedded::ServerArguments() const {
  std::vector<std::string> args{ProgramPath()};
  for (const auto& line : Options()) {
    if (!IsDriverKey(line)) args.push_back("--" + line);
  }
  return args;
}

void TMySQLEmbedded::Load() {
  if (Loaded()) Unload();
  EmbeddedProcess& p = Embedded();
  std::lock_guard guard(p.lock);
  const std::string file = ClientDLL();
  if (p.module && p.file == file) {
    module_ = p.module;
    SetLoaded(true);
    InitFunctions();
  } else {
    TMySQLLibrary::Load();
    p.module = module_;
    p.file = file;
  }
  if (p.started) return;
  std::vector<std::string> args = ServerArguments();
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::string programGroup = ProgramPath() + "_SERVER";
  char embedded[] = "embedded";
  char server[] = "server";
  char* groups[] = {programGroup.data(), embedded, server, nullptr};
  int rc = server_init_(static_cast<int>(args.size()), argv.data(), groups);
  if (rc != 0) {
    try {
      RaiseError(nullptr, rc,
                 "The embedded MySQL server did not start (see its messages on standard error)");
    } catch (...) {
      // Not loaded, so the next operation tries again.
      TMySQLEmbedded::Unload();
      throw;
    }
  }
  p.started = true;
  if (!p.end && FindEntryPoint(p.module, "mysql_server_end")) {
    p.end = server_end_;
    std::atexit(EndEmbeddedServer);
  }
}

void TMySQLEmbedded::Unload() {
  // The server cannot start again once ended, so it stays, and with it the library.
  module_ = nullptr;
  TMySQLBase::Unload();
  serverVer_ = 0;
}

void TMySQLEmbedded::InitFunctions() {
  TMySQLLibrary::InitFunctions();
  LoadFunction(server_init_, module_, "mysql_server_init");
  LoadFunction(server_end_, module_, "mysql_server_end");
}

void TMySQLEmbedded::ApplyExtraOptions(TMySQLHandle handle, bool, bool) {
  std::string group = ProgramPath() + "_SERVER";
  fn_.options(handle, kOptReadDefaultGroup, group.c_str());
}

}  // namespace mysql
