// The job against a server of the test's own: a destination whose sql_mode holds
// NO_BACKSLASH_ESCAPES with a small packet limit, a destination killed in the middle of
// a pass (with the source read through ODBC and streamed), and a streamed source killed
// in the middle of a pass.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "integration/job/job_run.h"
#include "job/process_state.h"

namespace jobtest {
namespace {

using Lines = std::vector<std::string>;
using Table = std::vector<std::vector<std::string>>;

class OwnServer : public JobDatabases {
 protected:
  Table OwnRows(const std::string& sql) {
    ado::Connection own(kOwnDestString);
    own.open();
    Table out;
    auto rs = own.openQuery(sql);
    for (rs->first(); !rs->eof(); rs->next()) {
      std::vector<std::string> row;
      for (int i = 0; i < rs->fieldCount(); ++i)
        row.push_back(rs->value(i).isNull() ? "NULL" : ado::VariantToText(rs->value(i)));
      out.push_back(std::move(row));
    }
    return out;
  }

  // Kills the own server when a pass reaches its 500th row.
  void KillAtRow500() {
    view.onEvents = [this](RecordingView& v) {
      if (!killed && v.ProgressPosition() == 500) {
        killed = true;
        KillOwnServer();
      }
    };
  }
  // The log's one red line says the transfer pass ended with the connection lost; no
  // row was dumped in yellow.
  void ExpectOneLostTransferLine() {
    const Lines log = view.LogTexts();
    const auto colors = view.LogColors();
    Lines red;
    int yellow = 0;
    for (std::size_t i = 0; i < log.size(); ++i) {
      if (colors[i] == job::kRed) red.push_back(log[i]);
      yellow += colors[i] == job::kYellow;
    }
    ASSERT_EQ(red.size(), 1u) << view.LogLines().text();
    EXPECT_EQ(red[0].rfind("Transfer data error. ", 0), 0u) << red[0];
    EXPECT_TRUE(ado::IsConnectionLost(ado::DatabaseError(red[0].substr(21)))) << red[0];
    EXPECT_EQ(yellow, 0);
  }

  RecordingView view;
  ui::RecordingMessages messages;
  bool killed = false;
};

class JobServer : public OwnServer, public RoutesAndModes {
 protected:
  void SetUp() override {
    OwnServer::SetUp();
    UseSourceRoute(GetParam().route);
  }
  void TearDown() override {
    OwnServer::TearDown();
    unsetenv("QUILLMARK_MYSQL_STREAM");
  }
};

INSTANTIATE_TEST_SUITE_P(RoutesAndModes, JobServer, RouteAndModeValues(), RouteAndModeName);

// The update pass binds its values: backslashes and zero bytes survive a server that
// reads no backslash escapes, and a 9 MB text of quotes, which would take twice its
// size as a literal, fits a 16 MB packet.
TEST_P(JobServer, TheUpdatePassKeepsEveryByteWithoutBackslashEscapes) {
  StartOwnServer("--sql-mode=NO_BACKSLASH_ESCAPES,STRICT_ALL_TABLES --max-allowed-packet=16M");
  OnSource({"CREATE TABLE t (id INT PRIMARY KEY, v VARCHAR(40), txt LONGTEXT, bin BLOB)",
            "INSERT INTO t VALUES (1, 'a \\\\ b \\\\0 c', CONCAT('x', CHAR(0), '\\\\', CHAR(39)), "
            "X'5C00275C30'), (2, '\\\\', REPEAT('''', 9437184), X'00')"});
  const std::string check = "SELECT id, HEX(v), MD5(txt), LENGTH(txt), HEX(bin) FROM t ORDER BY id";
  const Table source = Rows("SELECT id, HEX(v), MD5(txt), LENGTH(txt), HEX(bin) FROM `" + srcDb +
                            "`.t ORDER BY id");
  ASSERT_EQ(source[1][3], "9437184");

  const job::TJobTotals totals =
      RunMySQLJob(AllPhases(WorkDir() + "/nbe.sql"), view, messages, kOwnDestString);
  EXPECT_TRUE(ErrorLog.empty()) << view.LogLines().text().substr(0, 4000);
  EXPECT_EQ(totals.inserted, 2);
  EXPECT_EQ(totals.updated, 2);
  EXPECT_EQ(OwnRows(check), source);

  // The update pass alone rewrites every value from the source.
  {
    ado::Connection own(kOwnDestString);
    own.open();
    own.execute("UPDATE t SET v = 'stale', txt = 'stale', bin = X'FF'");
  }
  TProjectSettings update = AllPhases();
  update.DropIfExist = update.CreateObject = update.TransferData = false;
  RunMySQLJob(update, view, messages, kOwnDestString);
  EXPECT_TRUE(ErrorLog.empty()) << view.LogLines().text().substr(0, 4000);
  EXPECT_EQ(OwnRows(check), source);
}

// A destination that goes away: the pass ends at that row with one red line, the
// objects left are skipped with one line, the script is still saved. In groups, the
// group that was cut is lost with the server: what was committed before it is counted.
TEST_P(JobServer, ALostDestinationEndsTheJobWithOneLineInsteadOfFailingEveryRow) {
  StartOwnServer("");
  OnSource({"CREATE TABLE a (id INT PRIMARY KEY, v VARCHAR(20))",
            "INSERT INTO a SELECT seq, CONCAT('row ', seq) FROM seq_1_to_2000",
            "CREATE TABLE b (id INT PRIMARY KEY)", "INSERT INTO b VALUES (1)",
            "CREATE TABLE c (id INT PRIMARY KEY)"});
  KillAtRow500();
  const std::string script = WorkDir() + "/lost.sql";
  const job::TJobTotals totals = RunMySQLJob(AllPhases(script), view, messages, kOwnDestString);
  ASSERT_TRUE(killed);
  EXPECT_TRUE(totals.connectionLost);
  EXPECT_EQ(totals.skipped, 2);
  // The kill comes at the top of row 501, which fills the group it cuts.
  const std::int64_t committed = Batch() == 0 ? 500 : 501 / Batch() * Batch() - Batch();
  EXPECT_EQ(totals.inserted, committed);
  EXPECT_EQ(totals.insertFailed, 1);

  ExpectOneLostTransferLine();
  const Lines log = view.LogTexts();
  EXPECT_EQ(Lines(log.end() - 3, log.end()),
            (Lines{std::to_string(committed) + " inserted, 1 insert failed.", "",
                   "The connection is lost: the remaining 2 objects of the job are skipped."}))
      << view.LogLines().text();
  for (const auto& l : log) EXPECT_EQ(l.find("update data"), std::string::npos) << l;
  EXPECT_FALSE(ErrorLog.empty());
  // Everything generated up to the lost row is in the file.
  ASSERT_TRUE(std::filesystem::exists(script));
  const std::string text = ReadFile(script);
  EXPECT_NE(text.find("VALUES(501, 'row 501');\r\n"), std::string::npos);
  EXPECT_EQ(text.find("VALUES(502, "), std::string::npos);
  // The shared server saw nothing of it.
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM `" + srcDb + "`.a"), "2000");
}

// The streamed source's server goes away: the rows it sent before still arrive, then the
// pass ends with the lost connection, as with a lost destination, and never reads as the
// end of the table. The rows are large, so the server cannot have sent them all before.
TEST_F(OwnServer, ALostStreamedSourceEndsTheJobInsteadOfEndingTheTable) {
  StartOwnServer("");
  UseSourceRoute(SourceRoute::Streamed, kOwnDestString);
  {
    ado::Connection own(kOwnDestString);
    own.open();
    own.execute("CREATE TABLE a (id INT PRIMARY KEY, v TEXT)");
    own.execute("INSERT INTO a SELECT seq, REPEAT('x', 2000) FROM seq_1_to_20000");
    own.execute("CREATE TABLE b (id INT PRIMARY KEY)");
  }
  KillAtRow500();
  const job::TJobTotals totals = RunMySQLJob(AllPhases(), view, messages, kDestString,
                                             kOwnDestString);
  unsetenv("QUILLMARK_MYSQL_STREAM");
  ASSERT_TRUE(killed);
  EXPECT_TRUE(totals.connectionLost);
  EXPECT_EQ(totals.skipped, 1);
  EXPECT_GE(totals.inserted, 500);
  EXPECT_LT(totals.inserted, 20000);
  EXPECT_EQ(totals.insertFailed, 0);

  ExpectOneLostTransferLine();
  const Lines log = view.LogTexts();
  EXPECT_EQ(Lines(log.end() - 3, log.end()),
            (Lines{std::to_string(totals.inserted) + " inserted, 0 insert failed.", "",
                   "The connection is lost: the remaining 1 objects of the job are skipped."}))
      << view.LogLines().text();
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM `" + dstDb + "`.a"), std::to_string(totals.inserted));
}

}  // namespace
}  // namespace jobtest
