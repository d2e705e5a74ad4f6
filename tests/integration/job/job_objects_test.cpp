// Which objects a job touches, under which names and in which order: names as the
// catalogue holds them, destination-name collisions, views, foreign keys, refreshing
// an existing destination, zero dates.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "integration/job/job_run.h"
#include "job/process_state.h"
#include "platform/ado/null_session.h"

namespace jobtest {
namespace {

using Lines = std::vector<std::string>;
using Table = std::vector<std::vector<std::string>>;

bool Has(const Lines& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class JobObjects : public JobDatabases, public BothModes {
 protected:
  std::string Count(const std::string& table) {
    return Scalar("SELECT COUNT(*) FROM `" + dstDb + "`.`" + table + "`");
  }
  // The log's red lines, without timestamps.
  Lines Red() const {
    Lines out;
    const Lines log = view.LogTexts();
    const auto colors = view.LogColors();
    for (std::size_t i = 0; i < log.size(); ++i)
      if (colors[i] == job::kRed) out.push_back(log[i]);
    return out;
  }

  // Runs the job from the source into dest, through a view of the test's choice.
  void RunInto(const TProjectSettings& s, ado::Connection& dest, RecordingView& into) {
    ui::ScopedMessages scoped(messages);
    ado::Connection source(kSourceString);
    TCorvane catalogue;
    catalogue.SetDBKind(dkMySQL);
    catalogue.SetConnection(&source);
    ASSERT_TRUE(catalogue.LoadDBInfo());
    catalogue.SelectAllChildObject(true);
    StopRequested = false;
    job::RunJob(s, source, dest, catalogue, into);
  }
  // Runs the job toward a null session of s.DestKind's dialect.
  void RunTowardNullSession(const TProjectSettings& s) {
    ado::Connection dest;
    dest.attach(std::make_unique<ado::NullSession>());
    RunInto(s, dest, view);
  }

  RecordingView view;
  ui::RecordingMessages messages;
};

// " x" is read as " x", not as x; of two objects with one destination name only the
// first is copied, and two columns with one destination name keep their table out.
TEST_P(JobObjects, NamesAreReadExactlyAndCollisionsTouchNothing) {
  OnSource({"CREATE TABLE ` x` (id INT PRIMARY KEY, v VARCHAR(10))",
            "INSERT INTO ` x` VALUES (1, 'blank x')",
            "CREATE TABLE x (id INT PRIMARY KEY, v VARCHAR(10))",
            "INSERT INTO x VALUES (1, 'plain x'), (2, 'plain x')",
            "CREATE TABLE ` y` (` id` INT PRIMARY KEY, v VARCHAR(10))",
            "INSERT INTO ` y` VALUES (7, 'blank y')", "CREATE TABLE `a b` (id INT)",
            "INSERT INTO `a b` VALUES (1)", "CREATE TABLE a_b (id INT)",
            "INSERT INTO a_b VALUES (2), (3)", "CREATE TABLE cols (id INT, ` v` INT, v INT)",
            "INSERT INTO cols VALUES (1, 2, 3)"});
  const job::TJobTotals totals = RunMySQLJob(AllPhases(WorkDir() + "/names.sql"), view, messages);
  EXPECT_EQ(Rows("SELECT id, v FROM `" + dstDb + "`.x"), (Table{{"1", "blank x"}}));
  EXPECT_EQ(Rows("SELECT id, v FROM `" + dstDb + "`.y"), (Table{{"7", "blank y"}}));
  EXPECT_EQ(Rows("SELECT id FROM `" + dstDb + "`.a_b"), (Table{{"1"}}));
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_SCHEMA = '" + dstDb +
                   "' AND TABLE_NAME = 'cols'"),
            "0");
  EXPECT_EQ(Red(), (Lines{"[a_b] is not copied: its destination name `a_b` is that of [a b] too.",
                          "[cols] is not copied: its columns [ v] and [v] have one destination "
                          "name, `v`.",
                          "[x] is not copied: its destination name `x` is that of [ x] too."}))
      << view.LogLines().text();
  // Said before the first phase, and the job ends with errors.
  EXPECT_EQ(view.LogColors()[0], job::kRed);
  EXPECT_EQ(ErrorLog.size(), 3u);
  EXPECT_EQ(totals.skipped, 3);
  for (const auto& l : view.ScriptTexts()) EXPECT_EQ(l.find("`cols`"), std::string::npos) << l;
}

// Names that differ only by the case of a letter beyond ASCII are one name toward a
// destination that ignores case: the second would drop the first's table.
TEST_P(JobObjects, NamesThatDifferByUnicodeCaseCollideWhereCaseIsIgnored) {
  OnSource({"CREATE TABLE `\xC3\x9Cn` (id INT PRIMARY KEY)", "INSERT INTO `\xC3\x9Cn` VALUES (1)",
            "CREATE TABLE `\xC3\xBCn` (id INT PRIMARY KEY)", "INSERT INTO `\xC3\xBCn` VALUES (2)"});
  // A MySQL destination here keeps table names apart by case.
  RunMySQLJob(AllPhases(), view, messages);
  EXPECT_TRUE(Red().empty()) << view.LogLines().text();
  EXPECT_EQ(Rows("SELECT id FROM `" + dstDb + "`.`\xC3\xBCn`"), (Table{{"2"}}));

  TProjectSettings s = AllPhases(WorkDir() + "/case.sql");
  s.DestKind = dkSQLServer;
  RunTowardNullSession(s);
  const Lines red = Red();
  ASSERT_EQ(red.size(), 1u) << view.LogLines().text();
  // Whichever of the two the catalogue lists second.
  EXPECT_TRUE(red[0].rfind("[\xC3\xBCn] is not copied: its destination name ", 0) == 0 ||
              red[0].rfind("[\xC3\x9Cn] is not copied: its destination name ", 0) == 0)
      << red[0];
  int creates = 0;
  for (const auto& l : view.ScriptTexts()) creates += l.rfind("CREATE TABLE", 0) == 0;
  EXPECT_EQ(creates, 1);
}

// A view copied as a view: created after every table and after the view it reads, no
// rows appended through it, dropped as a view on the next run, named by the table rule.
TEST_P(JobObjects, ViewsComeAfterTablesAndAreNeitherFilledNorUpdated) {
  OnSource({"CREATE TABLE base (id INT PRIMARY KEY, v INT)", "INSERT INTO base VALUES (1, 10), (2, 20)",
            "CREATE TABLE plain (v INT)", "INSERT INTO plain VALUES (5)",
            "CREATE VIEW `my view` AS SELECT id, v FROM base",
            "CREATE VIEW v_mid AS SELECT id FROM base",
            // Sorts before the view it reads: its first create fails.
            "CREATE VIEW `a over` AS SELECT id FROM v_mid",
            "CREATE VIEW plain_v AS SELECT v FROM plain"});
  for (int run = 0; run < 2; ++run) {
    RunMySQLJob(AllPhases(WorkDir() + "/views.sql"), view, messages);
    EXPECT_TRUE(ErrorLog.empty()) << view.LogLines().text();
    const Lines log = view.LogTexts();
    for (const char* name : {"my view", "v_mid", "a over", "plain_v"}) {
      EXPECT_TRUE(Has(log, "[" + std::string(name) + "] created.")) << name << view.LogLines().text();
      EXPECT_TRUE(Has(log, std::string(name) +
                               " is created as a view, its rows come from its tables: no transfer "
                               "data."))
          << name;
      EXPECT_TRUE(Has(log, std::string(name) +
                               " is created as a view, its rows come from its tables: no update "
                               "data."))
          << name;
      EXPECT_FALSE(Has(log, "Begin transfer data of " + std::string(name) + ".")) << name;
    }
    if (run == 1) {
      EXPECT_TRUE(Has(log, "[my view] dropped.")) << view.LogLines().text();
      EXPECT_TRUE(Has(log, "[a over] dropped."));
    }
    // Rows are not passed on to the base tables: none doubled, no key errors.
    EXPECT_EQ(Count("base"), "2");
    EXPECT_EQ(Count("plain"), "1");
    EXPECT_EQ(Rows("SELECT id FROM `" + dstDb + "`.a_over ORDER BY id"), (Table{{"1"}, {"2"}}));
  }
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM INFORMATION_SCHEMA.VIEWS WHERE TABLE_SCHEMA = '" + dstDb +
                   "'"),
            "4");
  // Every table's statements come before any view's; the view read by another first.
  const Lines script = view.ScriptTexts();
  auto at = [&](const std::string& head) {
    return std::find_if(script.begin(), script.end(),
                        [&](const std::string& l) { return l.rfind(head, 0) == 0; }) -
           script.begin();
  };
  EXPECT_LT(at("INSERT INTO `plain`"), at("DROP VIEW `my_view`;"));
  EXPECT_LT(at("CREATE VIEW `v_mid`"), at("CREATE VIEW `a_over`"));
  EXPECT_EQ(Rows("SELECT id, v FROM `" + dstDb + "`.my_view ORDER BY id"),
            (Table{{"1", "10"}, {"2", "20"}}));
}

// Filling an existing destination whose tables check their foreign keys: parents
// first, and a cycle with the checks off for the session, said in the log.
TEST_P(JobObjects, AnExistingDestinationWithForeignKeysTakesEveryRow) {
  const std::initializer_list<std::string> schema = {
      "CREATE TABLE b_parent (id INT PRIMARY KEY)",
      "CREATE TABLE a_child (id INT PRIMARY KEY, p INT, FOREIGN KEY (p) REFERENCES b_parent(id))",
      "CREATE TABLE c_one (id INT PRIMARY KEY, other INT)",
      "CREATE TABLE d_two (id INT PRIMARY KEY, other INT, FOREIGN KEY (other) REFERENCES "
      "c_one(id))",
      "ALTER TABLE c_one ADD FOREIGN KEY (other) REFERENCES d_two(id)",
      "CREATE TABLE e_self (id INT PRIMARY KEY, up INT, FOREIGN KEY (up) REFERENCES e_self(id))"};
  OnSource(schema);
  OnSource({"SET FOREIGN_KEY_CHECKS = 0", "INSERT INTO b_parent VALUES (1)",
            "INSERT INTO a_child VALUES (1, 1)", "INSERT INTO c_one VALUES (1, 1)",
            "INSERT INTO d_two VALUES (1, 1)", "INSERT INTO e_self VALUES (1, 2), (2, NULL)",
            "SET FOREIGN_KEY_CHECKS = 1"});
  OnDest(schema);
  TProjectSettings s = AllPhases();
  s.DropIfExist = s.CreateObject = false;
  RunMySQLJob(s, view, messages);
  EXPECT_TRUE(ErrorLog.empty()) << view.LogLines().text();
  for (const char* t : {"b_parent", "a_child", "c_one", "d_two"}) EXPECT_EQ(Count(t), "1") << t;
  EXPECT_EQ(Count("e_self"), "2");
  const Lines log = view.LogTexts();
  const auto begin = [&](const char* t) {
    return std::find(log.begin(), log.end(), "Begin transfer data of " + std::string(t) + ".") -
           log.begin();
  };
  EXPECT_LT(begin("b_parent"), begin("a_child"));
  EXPECT_TRUE(Has(log, "[c_one], [d_two] refer to each other by foreign keys: filled with "
                       "foreign-key checks off."))
      << view.LogLines().text();
  EXPECT_TRUE(Has(log, "[e_self] refer to each other by foreign keys: filled with foreign-key "
                       "checks off."));
  // The checks are on again for what follows in the session.
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM `" + dstDb + "`.a_child"), "1");
}

// A job that ends by an error in the middle of a cycle leaves the checks on: the
// window's next job runs on the same destination session.
TEST_P(JobObjects, ForeignKeyChecksAreOnAgainWhenACycleEndsTheJob) {
  OnSource(
      {"CREATE TABLE e_self (id INT PRIMARY KEY, up INT, FOREIGN KEY (up) REFERENCES "
       "e_self(id))",
       "INSERT INTO e_self VALUES (1, NULL)"});
  struct FailingView : RecordingView {
    void LogLineAdded(std::size_t index) override {
      if (LogLines().line(index).find(" inserted, ") != std::string_view::npos)
        throw std::runtime_error("the view failed");
    }
  } failing;
  ado::Connection dest(kDestString);
  dest.open();
  EXPECT_THROW(RunInto(AllPhases(), dest, failing), std::runtime_error);
  auto rs = dest.openQuery("SELECT @@foreign_key_checks");
  EXPECT_EQ(ado::VariantToText(rs->value(0)), "1") << failing.LogLines().text();
}

// Refreshing an existing destination: every column outside the key is brought back,
// indexed and binary ones too, and a float key finds its row.
TEST_P(JobObjects, RefreshingAnExistingDestinationLeavesNoStaleValue) {
  const std::initializer_list<std::string> schema = {
      "CREATE TABLE items (id INT PRIMARY KEY, code VARCHAR(10), pic BLOB, UNIQUE KEY (code))",
      "CREATE TABLE fk (k FLOAT NOT NULL PRIMARY KEY, v INT)"};
  OnSource(schema);
  OnSource({"INSERT INTO items VALUES (1, 'new', X'00275C01')",
            "INSERT INTO fk VALUES (1.1, 1), (0.333333343267, 2), (-3.4028234e38, 3)"});
  OnDest(schema);
  OnDest({"INSERT INTO items VALUES (1, 'old', X'FF')",
          "INSERT INTO fk VALUES (1.1, 0), (0.333333343267, 0), (-3.4028234e38, 0)"});
  TProjectSettings s = AllPhases(WorkDir() + "/refresh.sql");
  s.DropIfExist = s.CreateObject = s.TransferData = false;
  RunMySQLJob(s, view, messages);
  EXPECT_TRUE(ErrorLog.empty()) << view.LogLines().text();
  EXPECT_EQ(Rows("SELECT id, code, HEX(pic) FROM `" + dstDb + "`.items"),
            (Table{{"1", "new", "00275C01"}}));
  EXPECT_EQ(Rows("SELECT v FROM `" + dstDb + "`.fk ORDER BY v"), (Table{{"1"}, {"2"}, {"3"}}));
}

// MySQL's zero dates arrive unchanged MySQL to MySQL.
TEST_P(JobObjects, ZeroDatesArriveUnchangedBetweenMySQLDatabases) {
  const std::initializer_list<std::string> schema = {
      "CREATE TABLE z (id INT PRIMARY KEY, dt DATETIME NOT NULL, d DATE NOT NULL, d6 "
      "DATETIME(6), part DATE)"};
  OnSource(schema);
  OnSource({"SET SESSION sql_mode = ''",
            "INSERT INTO z VALUES (1, '0000-00-00 00:00:00', '0000-00-00', '0000-00-00 "
            "00:00:00.000000', '2021-00-00'), (2, '2021-00-05 10:00:00', '2021-03-00', NULL, "
            "'2021-01-02'), (3, '2024-02-29 12:00:00', '2024-02-29', '2024-02-29 "
            "12:00:00.500000', NULL)"});
  const std::string expected =
      "SELECT id, CAST(dt AS CHAR), CAST(d AS CHAR), CAST(d6 AS CHAR), CAST(part AS CHAR) FROM ";
  TProjectSettings copy = AllPhases();
  copy.UpdateData = false;
  RunMySQLJob(copy, view, messages);
  EXPECT_TRUE(ErrorLog.empty()) << view.LogLines().text();
  EXPECT_EQ(Rows(expected + "`" + dstDb + "`.z ORDER BY id"),
            Rows(expected + "`" + srcDb + "`.z ORDER BY id"));
  // The update pass writes them back unchanged too.
  admin.execute("UPDATE `" + dstDb + "`.z SET d6 = NULL, part = NULL");
  TProjectSettings update = AllPhases();
  update.DropIfExist = update.CreateObject = update.TransferData = false;
  RunMySQLJob(update, view, messages);
  EXPECT_TRUE(ErrorLog.empty()) << view.LogLines().text();
  EXPECT_EQ(Rows(expected + "`" + dstDb + "`.z ORDER BY id"),
            Rows(expected + "`" + srcDb + "`.z ORDER BY id"));
}

// Toward a destination that holds no zero dates they are NULL, and each pass says
// so once per column.
TEST_P(JobObjects, ZeroDatesBecomeNullTowardSQLServerWithOneLinePerColumn) {
  OnSource({"CREATE TABLE z (id INT PRIMARY KEY, dt DATETIME, d DATE, ok DATE)",
            "SET SESSION sql_mode = ''",
            "INSERT INTO z VALUES (1, '0000-00-00 00:00:00', '2021-00-00', '2021-01-01'), "
            "(2, '0000-00-00 00:00:00', '0000-00-00', '2021-01-02')"});
  TProjectSettings s = AllPhases(WorkDir() + "/zero.sql");
  s.DestKind = dkSQLServer;
  s.DropIfExist = s.CreateObject = false;
  RunTowardNullSession(s);
  const Lines log = view.LogTexts();
  int lines = 0;
  for (const auto& l : log) lines += l.find("zero dates") != std::string::npos;
  EXPECT_EQ(lines, 4) << view.LogLines().text();  // two columns, two passes
  for (const char* column : {"dt", "d"})
    EXPECT_TRUE(Has(log, "Column " + std::string(column) +
                             ": zero dates, which the destination cannot hold, are written as "
                             "NULL."))
        << column;
  const Lines script = view.ScriptTexts();
  EXPECT_TRUE(Has(script, "INSERT INTO \"z\"(\"id\", \"dt\", \"d\", \"ok\") VALUES(1, NULL, NULL, "
                          "'20210101');"))
      << script[1];
}

INSTANTIATE_TEST_SUITE_P(Modes, JobObjects, BothModeValues(), ModeName);

}  // namespace
}  // namespace jobtest
