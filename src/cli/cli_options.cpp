#include "cli/cli_options.h"

#include <charconv>
#include <limits>

#include "platform/ado/connection_string.h"
#include "platform/ado/provider.h"

namespace cli {

namespace {

TDatabaseKind ParseKind(const std::string& option, const std::string& value) {
  if (value == "access") return dkAccess;
  if (value == "sqlserver") return dkSQLServer;
  if (value == "mysql") return dkMySQL;
  throw TUsageError(option + " must be access, sqlserver or mysql, not \"" + value + "\"");
}

// A whole number of rows from low to high, all of the value's text.
std::int32_t ParseRows(const std::string& option, const std::string& value, std::int32_t low,
                       std::int32_t high) {
  std::int32_t n = 0;
  const char* end = value.data() + value.size();
  auto [p, ec] = std::from_chars(value.data(), end, n);
  if (value.empty() || ec != std::errc() || p != end || n < low || n > high)
    throw TUsageError(option + " needs a whole number of rows from " + std::to_string(low) +
                      " to " + std::to_string(high) + ", not \"" + value + "\"");
  return n;
}

// A quote left open would swallow every key after it (a Provider, a time-out).
void RequireClosedQuotes(const char* option, const std::string& connectionString) {
  const ado::ConnectionString cs(connectionString);
  if (cs.unclosedQuoteKey())
    throw TUsageError(std::string(option) + ": the value of " + cs.unclosedQuoteKeyName() +
                      " opens a quote that is never closed");
}

std::vector<std::string> SplitNames(const std::string& value) {
  std::vector<std::string> names;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = value.find(',', start);
    std::string name = value.substr(start, comma == std::string::npos ? comma : comma - start);
    if (name.empty()) throw TUsageError("--objects has an empty name in \"" + value + "\"");
    names.push_back(std::move(name));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return names;
}

}  // namespace

TCliOptions ParseArguments(const std::vector<std::string>& args) {
  TCliOptions o;
  bool sourceGiven = false, destGiven = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::optional<std::string> inlineValue;
    if (name.rfind("--", 0) == 0) {
      if (auto eq = name.find('='); eq != std::string::npos) {
        inlineValue = name.substr(eq + 1);
        name.resize(eq);
      }
    }
    auto value = [&]() -> std::string {
      if (inlineValue) return *inlineValue;
      if (i + 1 >= args.size()) throw TUsageError(name + " needs a value");
      return args[++i];
    };
    auto flag = [&](bool& target, bool setTo) {
      if (inlineValue) throw TUsageError(name + " takes no value");
      target = setTo;
    };
    if (name == "--source") {
      o.source = value();
      sourceGiven = true;
    } else if (name == "--dest") {
      o.dest = value();
      destGiven = true;
    } else if (name == "--source-kind") {
      o.sourceKind = ParseKind(name, value());
    } else if (name == "--dest-kind") {
      o.destKind = ParseKind(name, value());
    } else if (name == "--objects") {
      for (auto& n : SplitNames(value())) o.objects.push_back(std::move(n));
    } else if (name == "--object") {
      // One name as it stands, commas and all.
      std::string n = value();
      if (n.empty()) throw TUsageError("--object needs a name");
      o.objects.push_back(std::move(n));
    } else if (name == "--no-drop") {
      flag(o.drop, false);
    } else if (name == "--no-create") {
      flag(o.create, false);
    } else if (name == "--no-transfer") {
      flag(o.transfer, false);
    } else if (name == "--no-update") {
      flag(o.update, false);
    } else if (name == "--limit") {
      o.limit = ParseRows(name, value(), 0, std::numeric_limits<std::int32_t>::max());
    } else if (name == "--batch-rows") {
      o.batchRows = ParseRows(name, value(), 1, kMaxBatchRows);
    } else if (name == "--replace-char") {
      o.replaceChar = value();
    } else if (name == "--script") {
      o.script = value();
      if (o.script.empty()) throw TUsageError("--script needs a file name");
    } else if (name == "--script-only") {
      flag(o.scriptOnly, true);
    } else if (name == "--quiet") {
      flag(o.quiet, true);
    } else if (name == "--help" || name == "-h") {
      flag(o.help, true);
    } else {
      throw TUsageError("unknown argument \"" + args[i] + "\"");
    }
  }
  if (o.help) return o;
  if (!sourceGiven || o.source.empty()) throw TUsageError("--source is required");
  RequireClosedQuotes("--source", o.source);
  RequireClosedQuotes("--dest", o.dest);
  if (o.scriptOnly) {
    if (o.script.empty()) throw TUsageError("--script-only needs --script FILE");
  } else if (!destGiven || o.dest.empty()) {
    throw TUsageError("--dest is required (or --script-only with --script FILE)");
  }
  SourceKindOf(o);
  DestKindOf(o);
  return o;
}

std::optional<TDatabaseKind> KindFromConnectionString(const std::string& connectionString) {
  const auto provider =
      ado::ProviderNamed(ado::ConnectionString(connectionString).value("Provider"));
  if (!provider) return std::nullopt;
  switch (*provider) {
    case ado::ProviderKind::Jet: return dkAccess;
    case ado::ProviderKind::SqlOledb:
    case ado::ProviderKind::SqlNcli: return dkSQLServer;
    case ado::ProviderKind::Msdasql: return dkMySQL;
  }
  return std::nullopt;
}

TDatabaseKind SourceKindOf(const TCliOptions& options) {
  if (options.sourceKind) return *options.sourceKind;
  if (auto k = KindFromConnectionString(options.source)) return *k;
  throw TUsageError("the source connection string names no known Provider; give --source-kind");
}

TDatabaseKind DestKindOf(const TCliOptions& options) {
  if (options.destKind) return *options.destKind;
  if (auto k = KindFromConnectionString(options.dest)) return *k;
  throw TUsageError(options.dest.empty()
                        ? "--script-only without --dest needs --dest-kind"
                        : "the destination connection string names no known Provider; give "
                          "--dest-kind");
}

TProjectSettings SettingsFor(const TCliOptions& options) {
  TProjectSettings s;
  s.RecordLimit = options.limit;
  s.DropIfExist = options.drop;
  s.CreateObject = options.create;
  s.TransferData = options.transfer;
  s.UpdateData = options.update;
  s.SaveScripts = !options.script.empty();
  s.ReplaceChar = options.replaceChar;
  s.SourceKind = SourceKindOf(options);
  s.DestKind = DestKindOf(options);
  s.ScriptFileName = options.script;
  s.BatchRows = options.batchRows;
  return s;
}

const std::string& UsageText() {
  static const std::string text =
      "Usage: quillmark-cli --source CONNSTR --dest CONNSTR\n"
      "                     [--source-kind access|sqlserver|mysql] [--dest-kind "
      "access|sqlserver|mysql]\n"
      "                     [--objects NAME[,NAME...]] [--object NAME]... [--no-drop] [--no-create]\n"
      "                     [--no-transfer] [--no-update] [--limit N] [--replace-char TEXT]\n"
      "                     [--script FILE] [--script-only] [--batch-rows N] [--quiet]\n"
      "\n"
      "Copies the tables and views of the source into the destination: drops each one there,\n"
      "creates it, transfers its rows and updates them by primary key, with a process log on\n"
      "standard output.\n"
      "\n"
      "  --source CONNSTR     source connection string, for example\n"
      "                         Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/path/file.mdb\n"
      "                         Provider=MSDASQL.1;Data Source=mydsn;User ID=me;Password=secret\n"
      "                         Provider=SQLOLEDB.1;Data Source=host;Initial Catalog=db;User "
      "ID=me;Password=secret\n"
      "  --dest CONNSTR       destination connection string\n"
      "  --source-kind KIND   source kind, when the Provider does not say it\n"
      "  --dest-kind KIND     destination kind, when the Provider does not say it\n"
      "  --objects NAMES      only these objects (comma-separated) of those chosen\n"
      "  --object NAME        only this object (repeatable; the name may hold commas)\n"
      "  --no-drop, --no-create, --no-transfer, --no-update\n"
      "                       leave out a phase\n"
      "  --limit N            at most N rows per object and pass (0: all rows)\n"
      "  --replace-char TEXT  replaces blanks in table names for a MySQL destination (default _)\n"
      "  --script FILE        save every generated statement to FILE\n"
      "  --script-only        execute nothing: write the script a real job would generate for\n"
      "                       the destination kind (needs --script; --dest may be left out)\n"
      "  --batch-rows N       fast transfer: rows go in groups of N, one transaction each, as\n"
      "                       multi-row INSERTs; the update pass commits once per N rows. A\n"
      "                       failing group is written again row by row. Toward MySQL and SQL\n"
      "                       Server only; an Access destination is written row by row\n"
      "  --quiet              print only error lines and the summary\n"
      "  --help               print this text\n"
      "\n"
      "Before anything is changed the job refuses to start (exit status 1) when the source\n"
      "and the destination are the same database, when the script file is the source or\n"
      "destination file or the error log file or cannot be created, and when the\n"
      "destination is an Access file (read only here) outside --script-only. Logging in\n"
      "waits at most the connection string's Connect Timeout (default 30 s); a MySQL data\n"
      "source's answer to a statement, and each catalogue statement, at most its Command\n"
      "Timeout (default 30 s; 0 waits for ever).\n"
      "\n"
      "Exit status: 0 the job ran without errors, 3 it ran with errors (a failed statement or\n"
      "row, an object not created, a lost connection, or a log that could not be written),\n"
      "1 it could not start,\n"
      "2 bad arguments, 130 stopped by Ctrl-C, 143 by SIGTERM, 129 by SIGHUP (each stops the\n"
      "job as Ctrl-C does; a second one ends the program at once), 70 internal error (a\n"
      "crash report file is written and its path printed on standard error).\n";
  return text;
}

}  // namespace cli
