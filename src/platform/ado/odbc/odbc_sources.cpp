#include "platform/ado/odbc/odbc_sources.h"

#include "platform/ado/odbc/odbc_handles.h"
#include "platform/text/text.h"

namespace ado::odbc {

bool IsMySQLDriver(std::string_view nameOrDescription) {
  return text::ContainsNoCase(nameOrDescription, "MySQL") ||
         text::ContainsNoCase(nameOrDescription, "MariaDB");
}

std::optional<std::vector<std::string>> ReadMySQLDataSources() {
  std::optional<EnvironmentHandle> env;
  try {
    env.emplace();
  } catch (const DatabaseError&) {
    return std::nullopt;
  }
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
      const SQLRETURN rc = SQLDataSources(
          env->get(), direction, name.data(), static_cast<SQLSMALLINT>(name.size()), &nameLen,
          description.data(), static_cast<SQLSMALLINT>(description.size()), &descLen);
      if (rc == SQL_NO_DATA) break;
      if (!SQL_SUCCEEDED(rc)) return std::nullopt;
      direction = SQL_FETCH_NEXT;
      if (!fits(name, nameLen) || !fits(description, descLen)) {
        // SQLSMALLINT lengths: the most either can report is 32767.
        if (!fits(name, nameLen)) name.resize(static_cast<std::size_t>(nameLen) + 1);
        if (!fits(description, descLen)) description.resize(static_cast<std::size_t>(descLen) + 1);
        grown = true;
        break;
      }
      const std::string dsn(reinterpret_cast<const char*>(name.data()),
                            static_cast<std::size_t>(nameLen));
      if (IsMySQLDriver(std::string_view(reinterpret_cast<const char*>(description.data()),
                                         static_cast<std::size_t>(descLen))))
        names.push_back(dsn);
    }
    if (!grown) return names;
  }
}

}  // namespace ado::odbc
