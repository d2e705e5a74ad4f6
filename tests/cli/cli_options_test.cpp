#include "cli/cli_options.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_job.h"
#include "cli/stream_text.h"

namespace {

using cli::ParseArguments;
using cli::TUsageError;
using Args = std::vector<std::string>;

const std::string kJet = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/x/a.mdb";
const std::string kDsn = "Provider=MSDASQL.1;Data Source=qm_dst";

TEST(CliArguments, EveryOptionReachesTheSettings) {
  const auto o = ParseArguments({"--source", kJet, "--dest=" + kDsn, "--objects", "A,B c",
                                 "--objects=D", "--object", "E,F", "--no-drop", "--no-update", "--limit", "10",
                                 "--replace-char", "-", "--script", "out.sql", "--quiet"});
  EXPECT_EQ(o.source, kJet);
  EXPECT_EQ(o.dest, kDsn);
  EXPECT_EQ(o.objects, (std::vector<std::string>{"A", "B c", "D", "E,F"}));
  EXPECT_TRUE(o.quiet);
  const TProjectSettings s = cli::SettingsFor(o);
  EXPECT_FALSE(s.DropIfExist);
  EXPECT_TRUE(s.CreateObject);
  EXPECT_TRUE(s.TransferData);
  EXPECT_FALSE(s.UpdateData);
  EXPECT_EQ(s.RecordLimit, 10);
  EXPECT_EQ(s.ReplaceChar, "-");
  EXPECT_TRUE(s.SaveScripts);
  EXPECT_EQ(s.ScriptFileName, "out.sql");
  EXPECT_EQ(s.SourceKind, dkAccess);
  EXPECT_EQ(s.DestKind, dkMySQL);
}

// Row by row unless --batch-rows asks for the fast transfer.
TEST(CliArguments, BatchRowsReachTheSettings) {
  EXPECT_EQ(cli::SettingsFor(ParseArguments({"--source", kJet, "--dest", kDsn})).BatchRows, 0);
  EXPECT_EQ(cli::SettingsFor(ParseArguments({"--source", kJet, "--dest", kDsn, "--batch-rows", "1000"}))
                .BatchRows,
            1000);
}

TEST(CliArguments, DefaultsRunEveryPhaseOnAllRowsWithoutScript) {
  const TProjectSettings s = cli::SettingsFor(ParseArguments({"--source", kJet, "--dest", kDsn}));
  EXPECT_TRUE(s.DropIfExist && s.CreateObject && s.TransferData && s.UpdateData);
  EXPECT_EQ(s.RecordLimit, 0);
  EXPECT_EQ(s.ReplaceChar, "_");
  EXPECT_FALSE(s.SaveScripts);
}

TEST(CliArguments, KindsComeFromTheProviderUnlessGiven) {
  const struct {
    const char* connection;
    std::optional<TDatabaseKind> kind;
  } cases[] = {
      {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=a.mdb", dkAccess},
      {"provider=microsoft.ace.oledb.12.0;Data Source=a.accdb", dkAccess},
      {"Provider=SQLOLEDB.1;Data Source=(local)", dkSQLServer},
      {"Provider=SQLNCLI;Data Source=.", dkSQLServer},
      {"Provider=MSDASQL.1;Data Source=qm_src", dkMySQL},
      {"Provider='MSDASQL';Data Source=qm_src", dkMySQL},
      {"Provider=Unknown.1;Data Source=x", std::nullopt},
      {"Data Source=x", std::nullopt},
  };
  for (const auto& c : cases)
    EXPECT_EQ(cli::KindFromConnectionString(c.connection), c.kind) << c.connection;
  const auto o = ParseArguments({"--source", kJet, "--dest", "Data Source=x", "--dest-kind",
                                 "sqlserver", "--source-kind", "mysql"});
  EXPECT_EQ(cli::SourceKindOf(o), dkMySQL);
  EXPECT_EQ(cli::DestKindOf(o), dkSQLServer);
}

TEST(CliArguments, ScriptOnlyNeedsAScriptAndADestinationKindButNoDestination) {
  const auto o = ParseArguments(
      {"--source", kJet, "--script-only", "--script", "s.sql", "--dest-kind", "sqlserver"});
  EXPECT_TRUE(o.scriptOnly);
  EXPECT_EQ(cli::SettingsFor(o).DestKind, dkSQLServer);
}

TEST(CliArguments, BadCommandLinesSayWhatIsWrong) {
  const struct {
    Args args;
    const char* message;
  } cases[] = {
      {{}, "--source is required"},
      {{"--source", kJet}, "--dest is required (or --script-only with --script FILE)"},
      {{"--dest", kDsn}, "--source is required"},
      {{"--source", kJet, "--dest"}, "--dest needs a value"},
      {{"--source", kJet, "--dest", kDsn, "--limit", "-1"},
       "--limit needs a whole number of rows from 0 to 2147483647, not \"-1\""},
      {{"--source", kJet, "--dest", kDsn, "--limit", "10x"},
       "--limit needs a whole number of rows from 0 to 2147483647, not \"10x\""},
      {{"--source", kJet, "--dest", kDsn, "--limit", "99999999999"},
       "--limit needs a whole number of rows from 0 to 2147483647, not \"99999999999\""},
      {{"--source", kJet, "--dest", kDsn, "--batch-rows", "0"},
       "--batch-rows needs a whole number of rows from 1 to 100000, not \"0\""},
      {{"--source", kJet, "--dest", kDsn, "--batch-rows=100001"},
       "--batch-rows needs a whole number of rows from 1 to 100000, not \"100001\""},
      {{"--source", kJet, "--dest", kDsn, "--dest-kind", "oracle"},
       "--dest-kind must be access, sqlserver or mysql, not \"oracle\""},
      {{"--source", kJet, "--dest", kDsn, "--objects", "a,,b"},
       "--objects has an empty name in \"a,,b\""},
      {{"--source", kJet, "--dest", kDsn, "--object="}, "--object needs a name"},
      {{"--source", kJet, "--dest", kDsn + ";Password='x"},
       "--dest: the value of Password opens a quote that is never closed"},
      {{"--source", kJet + ";= 'x", "--dest", kDsn},
       "--source: the value of an empty key opens a quote that is never closed"},
      {{"--source", kJet, "--dest", kDsn, "--quiet=yes"}, "--quiet takes no value"},
      {{"--source", kJet, "--dest", kDsn, "--script="}, "--script needs a file name"},
      {{"--source", kJet, "--dest", kDsn, "extra"}, "unknown argument \"extra\""},
      {{"--source", kJet, "--dest", kDsn, "--no-such"}, "unknown argument \"--no-such\""},
      {{"--source", kJet, "--script-only"}, "--script-only needs --script FILE"},
      {{"--source", kJet, "--script-only", "--script", "s.sql"},
       "--script-only without --dest needs --dest-kind"},
      {{"--source", "Data Source=x", "--dest", kDsn},
       "the source connection string names no known Provider; give --source-kind"},
      {{"--source", kJet, "--dest", "Provider=Oracle"},
       "the destination connection string names no known Provider; give --dest-kind"},
  };
  for (const auto& c : cases) {
    try {
      ParseArguments(c.args);
      ADD_FAILURE() << "accepted: " << c.message;
    } catch (const TUsageError& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }
}

TEST(CliArguments, HelpPrintsTheUsageAndABadLineAddsTheReason) {
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  EXPECT_EQ(cli::RunCli({"--help"}, "quillmark-cli", out, err), cli::kExitOk);
  EXPECT_EQ(StreamText(out), cli::UsageText());
  EXPECT_EQ(StreamText(err), "");
  EXPECT_NE(cli::UsageText().find("Usage: quillmark-cli --source CONNSTR --dest CONNSTR"),
            std::string::npos);

  std::FILE* out2 = std::tmpfile();
  std::FILE* err2 = std::tmpfile();
  EXPECT_EQ(cli::RunCli({"--source"}, "quillmark-cli", out2, err2), cli::kExitUsage);
  EXPECT_EQ(StreamText(out2), "");
  EXPECT_EQ(StreamText(err2), "quillmark-cli: --source needs a value\n\n" + cli::UsageText());
  for (std::FILE* f : {out, err, out2, err2}) std::fclose(f);
}

}  // namespace
