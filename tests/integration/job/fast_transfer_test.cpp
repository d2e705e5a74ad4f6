// The fast transfer against awkward destinations: every route and mode writes the same
// rows, and groups really go in one transaction each wherever a rollback undoes them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "integration/job/job_run.h"
#include "job/process_state.h"

namespace jobtest {
namespace {

using Lines = std::vector<std::string>;
using Table = std::vector<std::vector<std::string>>;

class FastTransfer : public JobDatabases, public RoutesAndModes {
 protected:
  void SetUp() override {
    JobDatabases::SetUp();
    UseSourceRoute(GetParam().route);
  }
  void TearDown() override {
    JobDatabases::TearDown();
    unsetenv("QUILLMARK_MYSQL_STREAM");
  }
  // The job into the existing destination tables: no drop, no create.
  job::TJobTotals RunIntoExisting(bool update = false) {
    TProjectSettings s = AllPhases();
    s.DropIfExist = s.CreateObject = false;
    s.UpdateData = update;
    return RunMySQLJob(s, view, messages);
  }

  RecordingView view;
  ui::RecordingMessages messages;
};

INSTANTIATE_TEST_SUITE_P(RoutesAndModes, FastTransfer, RouteAndModeValues(), RouteAndModeName);

// A trigger notes the session's autocommit for each row: in groups every row goes in
// with it off (inside the group's transaction), row by row with it on. Each source route
// opens its destination session its own way, and neither may fall back to one commit a
// row without a word.
TEST_P(FastTransfer, GroupsGoInWithinTransactions) {
  OnSource({"CREATE TABLE t (id INT PRIMARY KEY, v VARCHAR(10))",
            "INSERT INTO t SELECT seq, CONCAT('v', seq) FROM seq_1_to_7"});
  OnDest({"CREATE TABLE t (id INT PRIMARY KEY, v VARCHAR(10)) ENGINE=InnoDB",
          "CREATE TABLE seen (id INT, autocommit INT)",
          "CREATE TRIGGER t_seen AFTER INSERT ON t FOR EACH ROW "
          "INSERT INTO seen VALUES (NEW.id, @@autocommit)"});
  const job::TJobTotals totals = RunIntoExisting();
  EXPECT_TRUE(ErrorLog.empty()) << view.LogLines().text();
  EXPECT_EQ(totals.inserted, 7);
  const std::string expected = Batch() == 0 ? "1" : "0";
  Table want;
  for (int id = 1; id <= 7; ++id) want.push_back({std::to_string(id), expected});
  EXPECT_EQ(Rows("SELECT id, autocommit FROM `" + dstDb + "`.seen ORDER BY id"), want);
}

// Toward a table without transactions a failed group cannot be undone: its multi-row
// INSERT keeps the rows before the bad one (written again, they failed as duplicates)
// and strict mode cuts a later row's too long value instead of failing it. Such a table
// takes its rows one by one in every mode, with a line saying so in groups.
TEST_P(FastTransfer, ATableWithoutTransactionsGetsExactlyTheRowByRowRows) {
  OnSource({"CREATE TABLE t (id INT PRIMARY KEY, v VARCHAR(10))",
            "INSERT INTO t VALUES (1, 'a'), (2, 'b'), (3, 'c'), (4, 'd'), (5, 'long value'), "
            "(6, 'f'), (7, 'g')"});
  for (const char* engine : {"MyISAM", "Aria", "MEMORY"}) {
    SCOPED_TRACE(engine);
    OnDest({"DROP TABLE IF EXISTS t",
            std::string("CREATE TABLE t (id INT PRIMARY KEY, v VARCHAR(5)) ENGINE=") + engine,
            "INSERT INTO t VALUES (6, 'old')"});
    const job::TJobTotals totals = RunIntoExisting();
    EXPECT_EQ(totals.inserted, 5);
    EXPECT_EQ(totals.insertFailed, 2);
    ASSERT_EQ(ErrorLog.size(), 2u) << view.LogLines().text();
    EXPECT_NE(ErrorLog[0].find("Data too long for column 'v'"), std::string::npos) << ErrorLog[0];
    EXPECT_NE(ErrorLog[1].find("Duplicate entry '6'"), std::string::npos) << ErrorLog[1];
    EXPECT_EQ(Rows("SELECT id, v FROM `" + dstDb + "`.t ORDER BY id"),
              (Table{{"1", "a"}, {"2", "b"}, {"3", "c"}, {"4", "d"}, {"6", "old"}, {"7", "g"}}));
    const Lines log = view.LogTexts();
    const bool noted =
        std::find(log.begin(), log.end(),
                  "t: the destination table has no transactions, its rows go in row by row.") !=
        log.end();
    EXPECT_EQ(noted, Batch() > 0) << view.LogLines().text();
  }
}

}  // namespace
}  // namespace jobtest
