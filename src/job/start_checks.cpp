#include "job/start_checks.h"

#include <sys/stat.h>

#include <filesystem>

#include "platform/ado/connection_string.h"

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
  const std::string provider = ado::ProviderBaseName(cs.value("Provider"));
  if (provider != "MICROSOFT.JET.OLEDB" && provider != "MICROSOFT.ACE.OLEDB") return {};
  return cs.value("Data Source");
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {}, sb {};
  if (::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0)
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  std::error_code ea, eb;
  const std::filesystem::path pa = std::filesystem::weakly_canonical(a, ea);
  const std::filesystem::path pb = std::filesystem::weakly_canonical(b, eb);
  return !ea && !eb && pa == pb;
}

std::string ScriptFileClashMessage(const std::string& scriptPath,
                                   const std::string& sourceConnectionString,
                                   const std::string& destConnectionString,
                                   const std::string& errorLogPath) {
  // Written after the script, the error log would replace it.
  if (!errorLogPath.empty() && SameFile(scriptPath, errorLogPath))
    return "The script file " + scriptPath +
           " is the error log file; the error log written at the end would overwrite it. "
           "Choose another script file.";
  struct stat script {};
  if (::stat(scriptPath.c_str(), &script) != 0) return {};  // a new file is no database
  const struct {
    const std::string& connectionString;
    const char* side;
  } sides[] = {{sourceConnectionString, "source"}, {destConnectionString, "destination"}};
  for (const auto& s : sides) {
    const std::string file = AccessFileOf(s.connectionString);
    if (!file.empty() && SameFile(file, scriptPath))
      return "The script file " + scriptPath + " is the " + s.side +
             " database file; writing the script would overwrite it. Choose another script "
             "file.";
  }
  return {};
}

}  // namespace job
