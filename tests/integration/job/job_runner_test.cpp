// The job end to end: MySQL to MySQL through two real data sources.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "integration/job/job_run.h"
#include "job/log_time.h"
#include "job/process_state.h"
#include "job/script_file.h"

namespace jobtest {
namespace {

using Lines = std::vector<std::string>;
using Table = std::vector<std::vector<std::string>>;

std::string Banner() {
  std::string out;
  for (const auto& l : job::ScriptBannerLines()) out += l + "\r\n";
  return out;
}

std::string CrLf(const Lines& lines) {
  std::string out;
  for (const auto& l : lines) out += l + "\r\n";
  return out;
}

bool StartsWith(const std::string& s, const std::string& head) {
  return s.rfind(head, 0) == 0;
}

class JobRunner : public JobDatabases, public BothModes {
 protected:
  RecordingView view;
  ui::RecordingMessages messages;
};

TEST_P(JobRunner, EveryPhaseCopiesATableWithACompositeKeyAndSavesTheScript) {
  OnSource(
      {"CREATE TABLE orders (region VARCHAR(10) NOT NULL, num INT NOT NULL, "
       "item VARCHAR(40), qty INT, PRIMARY KEY (region, num))",
       "INSERT INTO orders VALUES ('north', 1, 'Zoë 😀', 3), ('north', 2, NULL, NULL), "
       "('south', 1, 'it''s \\\\ here', -7)"});
  const std::string script = WorkDir() + "/job.sql";
  const job::TJobTotals totals = RunMySQLJob(AllPhases(script), view, messages);

  EXPECT_EQ(totals.objects, 1);
  EXPECT_EQ(totals.inserted, 3);
  EXPECT_EQ(totals.updated, 3);
  EXPECT_FALSE(totals.stopped);
  EXPECT_FALSE(totals.scriptFailed);
  EXPECT_TRUE(ErrorLog.empty());
  const Lines log = view.LogTexts();
  ASSERT_EQ(log.size(), 10u) << view.LogLines().text();
  EXPECT_TRUE(StartsWith(log[0], "Cannot drop [orders]. ")) << log[0];
  EXPECT_NE(log[0].find("Unknown table"), std::string::npos) << log[0];
  EXPECT_EQ(Lines(log.begin() + 1, log.end()),
            (Lines{"", std::string(38, '='), "[orders] created.", "Begin transfer data of orders.",
                   "3 inserted, 0 insert failed.", "", "Begin update data of orders.",
                   "3 updated, 0 update failed.", ""}));
  const auto colors = view.LogColors();
  EXPECT_EQ(colors[5], job::kNavy);
  EXPECT_EQ(colors[8], job::kNavy);
  EXPECT_TRUE(colors[4].isDefault);
  // Every line with a timestamp carries the locale's one.
  const std::string stamp =
      std::string(view.LogLines().line(3).substr(0, job::LogTimestamp().size()));
  EXPECT_EQ(std::string(view.LogLines().line(3)), stamp + " : [orders] created.");

  EXPECT_EQ(Rows("SELECT region, num, item, qty FROM `" + dstDb + "`.orders ORDER BY region, num"),
            (Table{{"north", "1", "Zoë 😀", "3"},
                   {"north", "2", "NULL", "NULL"},
                   {"south", "1", "it's \\ here", "-7"}}));
  EXPECT_EQ(
      Rows("SELECT COLUMN_NAME FROM INFORMATION_SCHEMA.KEY_COLUMN_USAGE WHERE TABLE_SCHEMA = '" +
           dstDb + "' AND CONSTRAINT_NAME = 'PRIMARY' ORDER BY ORDINAL_POSITION"),
      (Table{{"region"}, {"num"}}));

  EXPECT_EQ(
      ReadFile(script),
      Banner() + CrLf({"", "DROP TABLE `orders`;", "",
                       "CREATE TABLE `orders` (`region` VARCHAR(10) CHARACTER SET utf8mb4 COLLATE "
                       "utf8mb4_general_ci, `num` INTEGER, `item` VARCHAR(40) CHARACTER SET utf8mb4 "
                       "COLLATE utf8mb4_general_ci, `qty` INTEGER,  PRIMARY KEY `PRIMARY`(`region`, "
                       "`num`));",
                       "",
                       "INSERT INTO `orders`(`region`, `num`, `item`, `qty`) VALUES('north', 1, "
                       "'Zoë 😀', 3);",
                       "INSERT INTO `orders`(`region`, `num`, `item`, `qty`) VALUES('north', 2, "
                       "NULL, NULL);",
                       "INSERT INTO `orders`(`region`, `num`, `item`, `qty`) VALUES('south', 1, "
                       "'it''s \\\\ here', -7);",
                       "",
                       "UPDATE `orders` SET `item` = 'Zoë 😀', `qty` = 3 WHERE (`region`='north') "
                       "AND (`num`= 1)",
                       "UPDATE `orders` SET `item` = NULL, `qty` = NULL WHERE (`region`='north') "
                       "AND (`num`= 2)",
                       "UPDATE `orders` SET `item` = 'it''s \\\\ here', `qty` = -7 WHERE "
                       "(`region`='south') AND (`num`= 1)"}));
  ASSERT_EQ(messages.entries.size(), 1u);
  EXPECT_EQ(messages.entries[0].text, "Created scripts have saved to " + script + ".");
  // The busy cursor is shown around each pass and taken away again.
  EXPECT_EQ(view.busyChanges, (std::vector<bool>{true, false, true, false}));
}

TEST_P(JobRunner, RecordLimitTenOfTwentyFiveRowsInsertsAndUpdatesTen) {
  OnSource({"CREATE TABLE t (id INT PRIMARY KEY, v VARCHAR(10))",
            "INSERT INTO t SELECT seq, CONCAT('v', seq) FROM seq_1_to_25"});
  TProjectSettings s = AllPhases(WorkDir() + "/limit.sql");
  s.RecordLimit = 10;
  const auto totals = RunMySQLJob(s, view, messages);
  EXPECT_EQ(totals.inserted, 10);
  EXPECT_EQ(totals.updated, 10);
  const Lines log = view.LogTexts();
  EXPECT_NE(std::find(log.begin(), log.end(), "10 inserted, 0 insert failed."), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "10 updated, 0 update failed."), log.end());
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM `" + dstDb + "`.t"), "10");
  int inserts = 0, updates = 0;
  for (const auto& l : view.ScriptTexts()) {
    inserts += StartsWith(l, "INSERT INTO");
    updates += StartsWith(l, "UPDATE");
  }
  EXPECT_EQ(inserts, 10);
  EXPECT_EQ(updates, 10);
}

TEST_P(JobRunner, ATableWithoutKeyGetsNoUpdatePass) {
  OnSource({"CREATE TABLE nokey (a INT, b VARCHAR(5))", "INSERT INTO nokey VALUES (1, 'x')"});
  RunMySQLJob(AllPhases(WorkDir() + "/nokey.sql"), view, messages);
  const Lines log = view.LogTexts();
  EXPECT_EQ(log.back(), "nokey do not have key index for update data.");
  EXPECT_TRUE(view.LogColors().back().isDefault);
  for (const auto& l : view.ScriptTexts()) EXPECT_FALSE(StartsWith(l, "UPDATE")) << l;
  EXPECT_EQ(Rows("SELECT a, b FROM `" + dstDb + "`.nokey"), (Table{{"1", "x"}}));
}

// Values are bound, so a binary key names its row; a table whose every column is in
// its key has nothing to set and says so in one line.
TEST_P(JobRunner, ABinaryKeyIsUpdatedAndATableOfKeyColumnsOnlyIsNot) {
  OnSource({"CREATE TABLE binkey (k BLOB NOT NULL, v INT, PRIMARY KEY (k(8)))",
            "INSERT INTO binkey VALUES (X'0001', 1), (X'27005C', 2)",
            "CREATE TABLE allkey (a INT NOT NULL, b INT NOT NULL, PRIMARY KEY (a, b))",
            "INSERT INTO allkey VALUES (1, 2)"});
  OnDest({"CREATE TABLE binkey (k BLOB NOT NULL, v INT, PRIMARY KEY (k(8)))",
          "INSERT INTO binkey VALUES (X'0001', 10), (X'27005C', 20)",
          "CREATE TABLE allkey (a INT NOT NULL, b INT NOT NULL, PRIMARY KEY (a, b))"});
  TProjectSettings s = AllPhases(WorkDir() + "/r1.sql");
  s.DropIfExist = s.CreateObject = s.TransferData = false;
  RunMySQLJob(s, view, messages);
  const Lines log = view.LogTexts();
  EXPECT_NE(std::find(log.begin(), log.end(), "2 updated, 0 update failed."), log.end())
      << view.LogLines().text();
  EXPECT_NE(std::find(log.begin(), log.end(),
                      "allkey has no column outside its primary key to update, nothing to update "
                      "data."),
            log.end())
      << view.LogLines().text();
  EXPECT_TRUE(ErrorLog.empty());
  EXPECT_EQ(Rows("SELECT HEX(k), v FROM `" + dstDb + "`.binkey ORDER BY k"),
            (Table{{"0001", "1"}, {"27005C", "2"}}));
}

TEST_P(JobRunner, AMissingDestinationTableWithCreateOffEndsTheTransferPass) {
  OnSource({"CREATE TABLE gone (id INT PRIMARY KEY, v INT)", "INSERT INTO gone VALUES (1, 1)"});
  TProjectSettings s = AllPhases();
  s.DropIfExist = false;
  s.CreateObject = false;
  s.UpdateData = false;
  RunMySQLJob(s, view, messages);
  const Lines log = view.LogTexts();
  ASSERT_EQ(log.size(), 4u) << view.LogLines().text();
  EXPECT_TRUE(StartsWith(log[0], "Transfer data error. ")) << log[0];
  EXPECT_NE(log[0].find("gone"), std::string::npos) << log[0];
  EXPECT_EQ(view.LogColors()[0], job::kRed);
  EXPECT_EQ(Lines(log.begin() + 1, log.end()), (Lines{"", "0 inserted, 0 insert failed.", ""}));
  ASSERT_EQ(ErrorLog.size(), 1u);
  EXPECT_EQ(ErrorLog[0], "==>" + log[0].substr(std::string("Transfer data error. ").size()));
}

TEST_P(JobRunner, ASourceColumnTheDestinationLacksEndsThePassAtTheFirstRow) {
  OnSource(
      {"CREATE TABLE t (id INT PRIMARY KEY, extra INT)", "INSERT INTO t VALUES (1, 1), (2, 2)"});
  OnDest({"CREATE TABLE t (id INT PRIMARY KEY)"});
  TProjectSettings s = AllPhases(WorkDir() + "/lacks.sql");
  s.DropIfExist = s.CreateObject = s.UpdateData = false;
  RunMySQLJob(s, view, messages);
  const Lines log = view.LogTexts();
  ASSERT_EQ(log.size(), 5u) << view.LogLines().text();
  EXPECT_EQ(log[0], "Begin transfer data of t.");
  EXPECT_TRUE(StartsWith(log[1], "Transfer data error. ")) << log[1];
  EXPECT_NE(log[1].find("extra"), std::string::npos) << log[1];
  EXPECT_EQ(log[3], "0 inserted, 0 insert failed.");
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM `" + dstDb + "`.t"), "0");
  // The statement of the row was generated before the row failed.
  EXPECT_EQ(view.ScriptTexts(), (Lines{"", "INSERT INTO `t`(`id`, `extra`) VALUES(1, 1);"}));
}

TEST_P(JobRunner, BlanksInATableNameBecomeTheReplacementTextEverywhere) {
  OnSource({"CREATE TABLE `Order Details` (id INT PRIMARY KEY, v INT)",
            "INSERT INTO `Order Details` VALUES (1, 10), (2, 20)"});
  RunMySQLJob(AllPhases(WorkDir() + "/blank.sql"), view, messages);
  const Lines log = view.LogTexts();
  EXPECT_NE(std::find(log.begin(), log.end(), "[Order Details] created."), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "Begin transfer data of Order Details."), log.end());
  EXPECT_EQ(Rows("SELECT id, v FROM `" + dstDb + "`.Order_Details ORDER BY id"),
            (Table{{"1", "10"}, {"2", "20"}}));
  EXPECT_EQ(
      Scalar("SELECT COUNT(*) FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_SCHEMA = '" + dstDb + "'"),
      "1");
  const Lines script = view.ScriptTexts();
  EXPECT_EQ(script[1], "DROP TABLE `Order_Details`;");
  EXPECT_TRUE(StartsWith(script[3], "CREATE TABLE `Order_Details` (")) << script[3];
  EXPECT_EQ(script.back(), "UPDATE `Order_Details` SET `v` = 20 WHERE (`id`= 2)");
}

TEST_P(JobRunner, AStopAtTheNthRowEndsThePassAndTouchesNothingMore) {
  OnSource({"CREATE TABLE a (id INT PRIMARY KEY, v INT)",
            "INSERT INTO a SELECT seq, seq FROM seq_1_to_20", "CREATE TABLE b (id INT PRIMARY KEY)",
            "INSERT INTO b VALUES (1)"});
  // "Cancel Process" clicked while the events of the fifth row run.
  view.onEvents = [](RecordingView& v) {
    if (v.ProgressPosition() == 5) StopRequested = true;
  };
  const std::string script = WorkDir() + "/stopped.sql";
  const auto totals = RunMySQLJob(AllPhases(script), view, messages);
  EXPECT_TRUE(totals.stopped);
  EXPECT_EQ(totals.inserted, 5);
  const Lines log = view.LogTexts();
  ASSERT_GE(log.size(), 4u);
  EXPECT_EQ(Lines(log.end() - 3, log.end()),
            (Lines{"5 inserted, 0 insert failed.", "", "Process stoppe by USER"}));
  EXPECT_EQ(view.LogColors().back(), job::kBlue);
  for (const auto& l : log) EXPECT_EQ(l.find("update data"), std::string::npos) << l;
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM `" + dstDb + "`.a"), "5");
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_SCHEMA = '" + dstDb +
                   "' AND TABLE_NAME = 'b'"),
            "0");
  // The file holds what was generated up to the stop.
  const std::string text = ReadFile(script);
  EXPECT_NE(text.find("VALUES(5, 5);\r\n"), std::string::npos);
  EXPECT_EQ(text.find("VALUES(6, 6);"), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - std::string("VALUES(5, 5);\r\n").size()),
            "VALUES(5, 5);\r\n");
}

TEST_P(JobRunner, FailedRowsAndUpdatesAreLoggedWithTheirValuesAndTheJobGoesOn) {
  OnSource({"CREATE TABLE t (id INT PRIMARY KEY, name VARCHAR(20), n INT)",
            "INSERT INTO t VALUES (1, 'short', 1), (2, 'far too long', 2), (3, NULL, 3)"});
  // The destination already holds rows 2 and 3 and takes only five characters (the
  // server's default mode is strict).
  OnDest({"CREATE TABLE t (id INT PRIMARY KEY, name VARCHAR(5), n INT)",
          "INSERT INTO t VALUES (2, 'old', 0), (3, 'old', 0)"});
  TProjectSettings s = AllPhases();
  s.DropIfExist = s.CreateObject = false;
  const auto totals = RunMySQLJob(s, view, messages);
  EXPECT_EQ(totals.inserted, 1);
  EXPECT_EQ(totals.insertFailed, 2);
  EXPECT_EQ(totals.updated, 2);
  EXPECT_EQ(totals.updateFailed, 1);
  const Lines log = view.LogTexts();
  const auto colors = view.LogColors();
  std::vector<std::string> red, yellow;
  for (std::size_t i = 0; i < log.size(); ++i) {
    if (colors[i] == job::kRed) red.push_back(log[i]);
    if (colors[i] == job::kYellow) yellow.push_back(log[i]);
  }
  ASSERT_EQ(red.size(), 3u) << view.LogLines().text();
  EXPECT_TRUE(StartsWith(red[0], "Post    : ")) << red[0];
  EXPECT_TRUE(StartsWith(red[1], "Post    : ")) << red[1];
  EXPECT_NE(red[1].find("Duplicate entry '3'"), std::string::npos) << red[1];
  EXPECT_TRUE(StartsWith(red[2], "Update    : ")) << red[2];
  EXPECT_NE(red[2].find("Data too long for column 'name'"), std::string::npos) << red[2];
  EXPECT_EQ(yellow, (Lines{"id :2", "name :far too long", "n :2", "id :3", "name :", "n :3"}));
  EXPECT_NE(std::find(log.begin(), log.end(), "1 inserted, 2 insert failed."), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "2 updated, 1 update failed."), log.end());
  ASSERT_EQ(ErrorLog.size(), 3u);
  EXPECT_EQ(ErrorLog[0], "Post: " + red[0].substr(10));
  EXPECT_EQ(ErrorLog[1], "Post: " + red[1].substr(10));
  EXPECT_EQ(ErrorLog[2], "Update: " + red[2].substr(12));
  // Row 3 was updated to the source's values; row 2 could not be.
  EXPECT_EQ(Rows("SELECT id, name, n FROM `" + dstDb + "`.t ORDER BY id"),
            (Table{{"1", "short", "1"}, {"2", "old", "0"}, {"3", "NULL", "3"}}));
}

TEST_P(JobRunner, TheErrorLogHoldsOnlyTheLastJobsErrors) {
  OnSource({"CREATE TABLE t (id INT PRIMARY KEY)", "INSERT INTO t VALUES (1)"});
  TProjectSettings failing = AllPhases();
  failing.DropIfExist = failing.CreateObject = false;
  RunMySQLJob(failing, view, messages);
  ASSERT_EQ(ErrorLog.size(), 1u);
  RunMySQLJob(AllPhases(), view, messages);
  EXPECT_TRUE(ErrorLog.empty());
  // Both panes were emptied at the start of the second job.
  EXPECT_TRUE(StartsWith(view.LogTexts()[0], "Cannot drop [t]. ")) << view.LogTexts()[0];
}

TEST_P(JobRunner, ObjectsNotChosenLeaveNoTrace) {
  OnSource(
      {"CREATE TABLE chosen (id INT PRIMARY KEY)", "CREATE TABLE skipped (id INT PRIMARY KEY)"});
  ui::ScopedMessages scoped(messages);
  ado::Connection source(kSourceString), dest(kDestString);
  dest.open();
  TCorvane catalogue;
  catalogue.SetDBKind(dkMySQL);
  catalogue.SetConnection(&source);
  ASSERT_TRUE(catalogue.LoadDBInfo());
  ASSERT_EQ(catalogue.Objects.size(), 2u);
  catalogue.SelectAllChildObject(true);
  catalogue.Objects[1].SelectAllChildObject(false);
  StopRequested = false;
  const auto totals =
      job::RunJob(AllPhases(WorkDir() + "/chosen.sql"), source, dest, catalogue, view);
  EXPECT_EQ(totals.objects, 1);
  for (const auto& l : view.LogTexts()) EXPECT_EQ(l.find("skipped"), std::string::npos) << l;
  for (const auto& l : view.ScriptTexts()) EXPECT_EQ(l.find("skipped"), std::string::npos) << l;
}

TEST_P(JobRunner, AnUnwritableScriptFileIsReportedAndTheJobStillEnds) {
  OnSource({"CREATE TABLE t (id INT PRIMARY KEY)"});
  const std::string script = WorkDir() + "/missing/folder/x.sql";
  EXPECT_TRUE(RunMySQLJob(AllPhases(script), view, messages).scriptFailed);
  ASSERT_EQ(messages.entries.size(), 1u);
  EXPECT_EQ(messages.entries[0].kind, ui::MessageKind::Error);
  EXPECT_EQ(messages.entries[0].text,
            "Cannot save generated scripts.\n" + script + ": No such file or directory");
  EXPECT_EQ(
      Scalar("SELECT COUNT(*) FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_SCHEMA = '" + dstDb + "'"),
      "1");
}

INSTANTIATE_TEST_SUITE_P(Modes, JobRunner, BothModeValues(), ModeName);

// What one job leaves behind, to hold the two modes side by side.
struct JobTrace {
  job::TJobTotals totals;
  Lines log;
  std::vector<job::TLogColor> colors;
  Lines errorLog;
  std::string script;
  Table rows;
};

// Bad rows among good ones in groups of 4: a duplicate of a unique value the
// destination holds (row 3) and a value too long for strict mode (row 6, whose key
// the destination holds too), each in its own group, and in the update pass row 6
// again. Row by row and in groups, the job
// counts, logs, dumps, scripts and writes exactly the same.
TEST_F(JobDatabases, GroupsWithBadRowsEndExactlyAsRowByRow) {
  OnSource({"CREATE TABLE t (id INT PRIMARY KEY, code INT, name VARCHAR(20))",
            "INSERT INTO t VALUES (1, 1, 'a'), (2, 2, 'b'), (3, 7, 'dup'), (4, 4, 'd'), "
            "(5, 5, 'e'), (6, 6, 'far too long'), (7, 8, 'g'), (8, 9, NULL), (9, 10, 'i'), "
            "(10, 11, 'j')"});
  auto run = [&](std::int32_t batchRows) {
    OnDest({"DROP TABLE IF EXISTS t",
            "CREATE TABLE t (id INT PRIMARY KEY, code INT UNIQUE, name VARCHAR(5))",
            "INSERT INTO t VALUES (100, 7, 'old'), (6, 60, 'x')"});
    RecordingView view;
    ui::RecordingMessages messages;
    TProjectSettings s = AllPhases(WorkDir() + "/groups.sql");
    s.DropIfExist = s.CreateObject = false;
    s.BatchRows = batchRows;
    JobTrace trace;
    trace.totals = RunMySQLJob(s, view, messages);
    trace.log = view.LogTexts();
    trace.colors = view.LogColors();
    trace.errorLog = ErrorLog;
    trace.script = ReadFile(s.ScriptFileName);
    trace.rows = Rows("SELECT id, code, name FROM `" + dstDb + "`.t ORDER BY id");
    return trace;
  };
  const JobTrace rowByRow = run(0);
  const JobTrace groups = run(4);
  EXPECT_EQ(rowByRow.totals.inserted, 8);
  EXPECT_EQ(rowByRow.totals.insertFailed, 2);
  EXPECT_EQ(rowByRow.totals.updateFailed, 1);
  EXPECT_EQ(groups.totals.inserted, rowByRow.totals.inserted);
  EXPECT_EQ(groups.totals.insertFailed, rowByRow.totals.insertFailed);
  EXPECT_EQ(groups.totals.updated, rowByRow.totals.updated);
  EXPECT_EQ(groups.totals.updateFailed, rowByRow.totals.updateFailed);
  EXPECT_EQ(groups.log, rowByRow.log);
  EXPECT_EQ(groups.colors, rowByRow.colors);
  EXPECT_EQ(groups.errorLog, rowByRow.errorLog);
  EXPECT_EQ(groups.script, rowByRow.script);
  EXPECT_EQ(groups.rows, rowByRow.rows);
  EXPECT_EQ(rowByRow.rows.size(), 10u);
}

}  // namespace
}  // namespace jobtest
