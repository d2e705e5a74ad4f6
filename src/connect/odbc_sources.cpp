#include "connect/odbc_sources.h"

#include <sql.h>
#include <sqlext.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>

#include "platform/ui/messages.h"

namespace {

std::string Upper(std::string_view s) {
  std::string u(s);
  for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return u;
}

class Environment {
 public:
  Environment() {
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_))) env_ = nullptr;
    if (env_ && !SQL_SUCCEEDED(SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION,
                                             reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0))) {
      SQLFreeHandle(SQL_HANDLE_ENV, env_);
      env_ = nullptr;
    }
  }
  ~Environment() {
    if (env_) SQLFreeHandle(SQL_HANDLE_ENV, env_);
  }
  Environment(const Environment&) = delete;
  Environment& operator=(const Environment&) = delete;
  SQLHENV get() const { return env_; }

 private:
  SQLHENV env_ = nullptr;
};

}  // namespace

bool IsMySQLDriverDescription(std::string_view description) {
  const std::string u = Upper(description);
  return u.find("MYSQL") != std::string::npos || u.find("MARIADB") != std::string::npos;
}

std::optional<std::vector<std::string>> ReadMySQLDataSources() {
  Environment env;
  if (!env.get()) return std::nullopt;
  std::vector<std::string> names;
  SQLCHAR name[SQL_MAX_DSN_LENGTH + 1];
  SQLCHAR description[1024];
  SQLUSMALLINT direction = SQL_FETCH_FIRST_SYSTEM;
  for (;;) {
    SQLSMALLINT nameLen = 0, descLen = 0;
    const SQLRETURN rc = SQLDataSources(env.get(), direction, name, sizeof name, &nameLen,
                                        description, sizeof description, &descLen);
    if (rc == SQL_NO_DATA) break;
    if (!SQL_SUCCEEDED(rc)) return std::nullopt;
    direction = SQL_FETCH_NEXT;
    const std::string dsn(reinterpret_cast<const char*>(name));
    if (IsMySQLDriverDescription(reinterpret_cast<const char*>(description))) names.push_back(dsn);
  }
  return names;
}

bool FillODBCSourceList(std::vector<std::string>& names) {
  names.clear();
  auto read = ReadMySQLDataSources();
  if (!read) {
    ui::ShowMessage(ui::MessageKind::Error, "Cannot get list of connection from your machine.");
    return false;
  }
  names = std::move(*read);
  return true;
}

std::vector<std::string> OdbcAdministratorCandidates() {
  std::vector<std::string> programs;
  if (const char* admin = std::getenv("QUILLMARK_ODBC_ADMIN"); admin && *admin) {
    programs.emplace_back(admin);
    return programs;
  }
  const char* path = std::getenv("PATH");
  std::vector<std::string> dirs;
  std::string_view rest = path ? path : "/usr/bin:/bin";
  for (;;) {
    const std::size_t colon = rest.find(':');
    const std::string_view dir = rest.substr(0, colon);
    dirs.emplace_back(dir.empty() ? std::string_view(".") : dir);
    if (colon == std::string_view::npos) break;
    rest.remove_prefix(colon + 1);
  }
  for (const char* program : {"ODBCManageDataSourcesQ5", "ODBCConfig"}) {
    for (const std::string& dir : dirs) {
      std::string candidate = dir + "/" + program;
      if (access(candidate.c_str(), X_OK) == 0) {
        programs.push_back(std::move(candidate));
        break;
      }
    }
  }
  return programs;
}
