#include "job/start_checks.h"

#include <sys/stat.h>

#include "platform/ado/connection_string.h"
#include "platform/ado/provider.h"

namespace job {

const char* const kSameDatabaseMessage =
    "The source and the destination are the same database: the job would drop and re-create "
    "the source's own tables and views. Choose another destination.";

std::string SameDatabaseMessage(ado::Connection& source, ado::Connection& dest) {
  if (!source.isOpen() || !dest.isOpen()) return {};
  try {
    const std::string a = source.identity();
    if (a.empty()) return {};
    return a == dest.identity() ? kSameDatabaseMessage : std::string();
  } catch (const std::exception&) {
    return {};
  }
}

std::string AccessFileOf(const std::string& connectionString) {
  const ado::ConnectionString cs(connectionString);
  if (ado::ProviderNamed(cs.value("Provider")) != ado::ProviderKind::Jet) return {};
  return cs.value("Data Source");
}

std::string ScriptFileClashMessage(const std::string& scriptPath,
                                   const std::string& sourceConnectionString,
                                   const std::string& destConnectionString) {
  struct stat script {};
  if (::stat(scriptPath.c_str(), &script) != 0) return {};  // a new file is no database
  const struct {
    const std::string& connectionString;
    const char* side;
  } sides[] = {{sourceConnectionString, "source"}, {destConnectionString, "destination"}};
  for (const auto& s : sides) {
    const std::string file = AccessFileOf(s.connectionString);
    struct stat st {};
    if (file.empty() || ::stat(file.c_str(), &st) != 0) continue;
    if (st.st_dev == script.st_dev && st.st_ino == script.st_ino)
      return "The script file " + scriptPath + " is the " + s.side +
             " database file; writing the script would overwrite it. Choose another script "
             "file.";
  }
  return {};
}

}  // namespace job
