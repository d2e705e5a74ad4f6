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
  // Sized for the usual lengths; when the driver manager reports a longer name or
  // description, the buffers grow to it and the list is read again from the start
  // (the enumeration cannot go back one entry).
  std::vector<SQLCHAR> name(SQL_MAX_DSN_LENGTH + 1), description(256);
  auto fits = [](const std::vector<SQLCHAR>& buffer, SQLSMALLINT length) {
    return length >= 0 && static_cast<std::size_t>(length) < buffer.size();
  };
  for (;;) {
    std::vector<std::string> names;
    bool grown = false;
    SQLUSMALLINT direction = SQL_FETCH_FIRST_SYSTEM;
    for (;;) {
      SQLSMALLINT nameLen = 0, descLen = 0;
      const SQLRETURN rc =
          SQLDataSources(env.get(), direction, name.data(), static_cast<SQLSMALLINT>(name.size()),
                         &nameLen, description.data(),
                         static_cast<SQLSMALLINT>(description.size()), &descLen);
      if (rc == SQL_NO_DATA) break;
      if (!SQL_SUCCEEDED(rc)) return std::nullopt;
      direction = SQL_FETCH_NEXT;
      if (!fits(name, nameLen) || !fits(description, descLen)) {
        // SQLSMALLINT lengths: the most either can report is 32767.
        if (!fits(name, nameLen)) name.resize(static_cast<std::size_t>(nameLen) + 1);
        if (!fits(description, descLen))
          description.resize(static_cast<std::size_t>(descLen) + 1);
        grown = true;
        break;
      }
      const std::string dsn(reinterpret_cast<const char*>(name.data()),
                            static_cast<std::size_t>(nameLen));
      if (IsMySQLDriverDescription(std::string_view(
              reinterpret_cast<const char*>(description.data()), static_cast<std::size_t>(descLen))))
        names.push_back(dsn);
    }
    if (!grown) return names;
  }
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
