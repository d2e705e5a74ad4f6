#include "connect/odbc_sources.h"

#include <unistd.h>

#include <cstdlib>
#include <string_view>

#include "platform/ado/odbc/odbc_sources.h"
#include "platform/ui/messages.h"

bool FillODBCSourceList(std::vector<std::string>& names) {
  names.clear();
  auto read = ado::odbc::ReadMySQLDataSources();
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
