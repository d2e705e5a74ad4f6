// TMySQLLibrary: the driver over a MySQL client library loaded by name with dlopen
// (default "libmariadb.so.3", Debian's libmariadb3). TMySQLEmbedded: the same over the
// embedded-server library (default "libmariadbd.so.19", Debian's libmariadbd19), which
// also starts the server inside the program.
//
// The library is looked for in the program's folder first, then by the dynamic
// loader's search. Load throws std::runtime_error when it cannot be loaded; an entry
// point it lacks throws the not-implemented error when called.
#pragma once

#include <string>

#include "mysql/driver/driver.h"

namespace mysql {

class TMySQLLibrary : public TMySQLBase {
 public:
  static constexpr const char* kDefaultClientDLL = "libmariadb.so.3";

  explicit TMySQLLibrary(const std::string& options = {});
  ~TMySQLLibrary() override;

  // The library file; empty means the default.
  virtual std::string ClientDLL() const;
  void SetClientDLL(const std::string& file) { clientDLL_ = file; }

  void Load() override;
  void Unload() override;

 protected:
  void InitFunctions() override;
  TFieldLayout FieldLayout() const override;
  void ApplyExtraOptions(TMySQLHandle handle, bool pipe, bool tcp) override;
  // The Debian package the default library comes with, for the load-failure message.
  virtual const char* Package() const { return "libmariadb3"; }
  // Opens the library file; nullptr with the loader's reason in `why` when it cannot.
  void* OpenModule(const std::string& file, std::string& why) const;

  void* module_ = nullptr;

 private:
  std::string clientDLL_;
  // MariaDB Connector/C: its version number (3.x) says nothing of its field layout,
  // which is the 4.1 one.
  bool connectorC_ = false;
};

// The embedded server starts once per process: the library cannot start it a second
// time after it was ended (it crashes), so once started it stays started, and the
// library loaded, until the process ends. Later loads reuse it; their Options no
// longer reach the server.
class TMySQLEmbedded : public TMySQLLibrary {
 public:
  static constexpr const char* kDefaultEmbeddedDLL = "libmariadbd.so.19";

  using TMySQLLibrary::TMySQLLibrary;
  ~TMySQLEmbedded() override;

  std::string ClientDLL() const override;
  // Loads the library and starts the server with the program's path and "--" + each
  // Options line that is not one of the driver's own keys as its arguments. A server
  // that does not start raises EMySQLError.
  void Load() override;
  // Forgets the table; the server and the library stay for the life of the process.
  void Unload() override;

  // The arguments the server was (or would be) started with.
  std::vector<std::string> ServerArguments() const;

 protected:
  void InitFunctions() override;
  const char* Package() const override { return "libmariadbd19"; }
  void ApplyExtraOptions(TMySQLHandle handle, bool pipe, bool tcp) override;

 private:
  int (*server_init_)(int, char**, char**) = nullptr;
  void (*server_end_)() = nullptr;
};

// The program's file path ("/proc/self/exe" resolved).
std::string ProgramPath();

}  // namespace mysql
