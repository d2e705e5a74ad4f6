// What the job benchmarks share: the private server's two databases through the ODBC
// data sources, a table of 8 mixed columns, and the job run on one table of it as
// quillmark-cli runs it.
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/terminal_view.h"
#include "core/project_settings.h"
#include "job/job_start.h"
#include "job/process_state.h"
#include "platform/ado/connection.h"
#include "support/odbc_bench.h"

inline const char* const kBenchSource = "Provider=MSDASQL.1;Data Source=qm_src";
inline const char* const kBenchDest = "Provider=MSDASQL.1;Data Source=qm_dst";

// `table` made anew on `db` with `rows` rows of 8 mixed columns: key, text with a
// non-ASCII letter, integer, decimal, double, date and time, flag, and text of 0 to 49
// bytes or NULL.
inline void MakeMixedTable(ado::Connection& db, const std::string& table, long long rows) {
  db.execute("DROP TABLE IF EXISTS " + table);
  db.execute("CREATE TABLE " + table +
             " (id INT PRIMARY KEY, name VARCHAR(40), qty INT, amount DECIMAL(12,2), ratio "
             "DOUBLE, created DATETIME, flag TINYINT(1), note TEXT)");
  db.execute("INSERT INTO " + table +
             " SELECT seq, CONCAT('name ', seq, ' é'), seq % 1000, seq / 100, seq / 7, "
             "'2024-01-01' + INTERVAL seq SECOND, seq % 2, "
             "IF(seq % 7 = 0, NULL, REPEAT('x', seq % 50)) FROM seq_1_to_" +
             std::to_string(rows));
}

struct TimedJob {
  job::TJobTotals totals;
  double seconds = 0;
};

// The job MySQL to MySQL from qm_src to qm_dst on `table` alone (qm_src may hold other
// tables, of other benchmarks or of a hand-run test), with the settings given and the
// kinds, drop, create and transfer set; its log goes to /dev/null. The time covers the
// connections, the catalogue and the run. Ends the program when the job logs an error
// or a row fails.
inline TimedJob RunJobOnTable(TProjectSettings s, const std::string& table) {
  std::FILE* devnull = std::fopen("/dev/null", "w");
  cli::TTerminalView view(devnull, devnull, false, false, false);
  const auto start = std::chrono::steady_clock::now();
  ado::Connection source(kBenchSource);
  ado::Connection dest(kBenchDest);
  dest.open();
  s.SourceKind = s.DestKind = dkMySQL;
  s.DropIfExist = s.CreateObject = s.TransferData = true;
  job::TJobStart jobStart(s, source, dest);
  jobStart.NewCatalogue();
  if (!jobStart.LoadCatalogue()) std::exit(1);
  job::TSourceTree tree;
  jobStart.BuildTree(tree);
  for (auto& o : jobStart.Catalogue()->Objects)
    if (o.ObjectName != table) o.SelectAllChildObject(false);
  TimedJob run;
  run.totals = jobStart.Run(view);
  run.seconds = Seconds(start);
  if (!ErrorLog.empty() || run.totals.insertFailed) {
    std::fprintf(stderr, "job failed: %s\n", ErrorLog.empty() ? "rows failed" : ErrorLog[0].c_str());
    std::exit(1);
  }
  std::fclose(devnull);
  return run;
}
