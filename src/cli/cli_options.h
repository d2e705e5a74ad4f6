// The command line of quillmark-cli: one job, every choice of the main window as an
// option.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/project_settings.h"

namespace cli {

struct TCliOptions {
  std::string source;
  std::string dest;
  std::optional<TDatabaseKind> sourceKind;
  std::optional<TDatabaseKind> destKind;
  // --objects and --object names in order; empty: every object the selection rules choose
  std::vector<std::string> objects;
  bool drop = true;
  bool create = true;
  bool transfer = true;
  bool update = true;
  std::int32_t limit = 0;
  // --batch-rows: 0 row by row, else the fast transfer's group size.
  std::int32_t batchRows = 0;
  // The first replacement text the main window offers.
  std::string replaceChar = "_";
  std::string script;  // saving the script is on when a file is named
  bool scriptOnly = false;
  bool quiet = false;
  bool help = false;
};

// The largest --batch-rows: a group's rows are held in memory until they are sent.
inline constexpr std::int32_t kMaxBatchRows = 100000;

// A command line that cannot run; the text says what is wrong with it.
class TUsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Parses the arguments after the program name. Options take their value as the next
// argument or after "=". Throws TUsageError for anything unknown, missing or malformed.
// With --help the other checks are skipped.
TCliOptions ParseArguments(const std::vector<std::string>& args);

// The kind a connection string's Provider names: Jet/ACE access, SQLOLEDB/SQLNCLI
// sqlserver, MSDASQL mysql; nullopt for any other or none.
std::optional<TDatabaseKind> KindFromConnectionString(const std::string& connectionString);

// The kinds of the job: the --*-kind option, else the provider's. Throws TUsageError
// when neither says.
TDatabaseKind SourceKindOf(const TCliOptions& options);
TDatabaseKind DestKindOf(const TCliOptions& options);

// The job settings the options stand for.
TProjectSettings SettingsFor(const TCliOptions& options);

// The usage text, ending with a line end.
const std::string& UsageText();

}  // namespace cli
