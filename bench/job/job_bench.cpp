// A 200,000-row table of 8 mixed columns copied MySQL to MySQL by the job (catalogue,
// drop, create, transfer, script saved to a file, log printed as quillmark-cli prints
// it) and by a bare ODBC loop over the same driver (one prepared INSERT, one execute per
// row, autocommit), alternately, each in a child process so its peak memory is its own.
// With QM_BENCH_LAYER set it also times the data-access layer's own loop (query, table
// dataset, one post per row), which tells the job's cost apart from the layer's.
#include <sql.h>
#include <sqlext.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/ado/connection.h"
#include "support/job_bench.h"
#include "support/odbc_bench.h"
#include "support/test_server.h"

namespace {

double RunTheJob(const std::string& script) {
  TProjectSettings s;
  s.SaveScripts = true;
  s.ScriptFileName = script;
  const TimedJob run = RunJobOnTable(s, "bench_job");
  if (run.totals.objects != 1) {
    std::fprintf(stderr, "job failed: the table was not copied\n");
    std::exit(1);
  }
  return run.seconds;
}

double BareLoop() {
  SQLHENV env = OdbcEnvironment();
  const auto start = std::chrono::steady_clock::now();
  SQLHDBC src = OdbcConnect(env, "DSN=qm_src;");
  SQLHDBC dst = OdbcConnect(env, "DSN=qm_dst;");
  SQLHSTMT sel, ins;
  SQLAllocHandle(SQL_HANDLE_STMT, dst, &ins);
  Ok(SQLExecDirect(ins, (SQLCHAR*)"TRUNCATE TABLE bench_job", SQL_NTS), "truncate", SQL_HANDLE_STMT,
     ins);
  SQLAllocHandle(SQL_HANDLE_STMT, src, &sel);
  Ok(SQLExecDirect(sel, (SQLCHAR*)"SELECT * FROM `bench_job`;", SQL_NTS), "select", SQL_HANDLE_STMT,
     sel);
  Ok(SQLPrepare(
         ins,
         (SQLCHAR*)"INSERT INTO `bench_job` (`id`, `name`, `qty`, `amount`, `ratio`, `created`, "
                   "`flag`, `note`) VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
         SQL_NTS),
     "prepare", SQL_HANDLE_STMT, ins);
  SQLINTEGER id = 0, qty = 0;
  char name[256], amount[64], note[4096];
  double ratio = 0;
  SQL_TIMESTAMP_STRUCT created{};
  SQLSCHAR flag = 0;
  SQLLEN ind[8];
  SQLBindParameter(ins, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 10, 0, &id, 0, &ind[0]);
  SQLBindParameter(ins, 2, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 255, 0, name, sizeof name,
                   &ind[1]);
  SQLBindParameter(ins, 3, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 10, 0, &qty, 0, &ind[2]);
  SQLBindParameter(ins, 4, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_DECIMAL, 12, 2, amount, sizeof amount,
                   &ind[3]);
  SQLBindParameter(ins, 5, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 15, 0, &ratio, 0, &ind[4]);
  SQLBindParameter(ins, 6, SQL_PARAM_INPUT, SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, 19, 0,
                   &created, 0, &ind[5]);
  SQLBindParameter(ins, 7, SQL_PARAM_INPUT, SQL_C_STINYINT, SQL_TINYINT, 3, 0, &flag, 0, &ind[6]);
  SQLBindParameter(ins, 8, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_LONGVARCHAR, 4095, 0, note, sizeof note,
                   &ind[7]);
  for (;;) {
    const SQLRETURN rc = SQLFetch(sel);
    if (rc == SQL_NO_DATA) break;
    Ok(rc, "fetch", SQL_HANDLE_STMT, sel);
    SQLGetData(sel, 1, SQL_C_SLONG, &id, 0, &ind[0]);
    SQLGetData(sel, 2, SQL_C_CHAR, name, sizeof name, &ind[1]);
    SQLGetData(sel, 3, SQL_C_SLONG, &qty, 0, &ind[2]);
    SQLGetData(sel, 4, SQL_C_CHAR, amount, sizeof amount, &ind[3]);
    SQLGetData(sel, 5, SQL_C_DOUBLE, &ratio, 0, &ind[4]);
    SQLGetData(sel, 6, SQL_C_TYPE_TIMESTAMP, &created, sizeof created, &ind[5]);
    SQLGetData(sel, 7, SQL_C_STINYINT, &flag, 0, &ind[6]);
    SQLGetData(sel, 8, SQL_C_CHAR, note, sizeof note, &ind[7]);
    Ok(SQLExecute(ins), "insert", SQL_HANDLE_STMT, ins);
  }
  const double seconds = Seconds(start);
  OdbcRelease(env, src, dst, sel, ins);
  return seconds;
}

double LayerLoop() {
  const auto start = std::chrono::steady_clock::now();
  ado::Connection src(kBenchSource);
  ado::Connection dst(kBenchDest);
  src.open();
  dst.open();
  dst.execute("TRUNCATE TABLE bench_job");
  auto q = src.openQuery("SELECT * FROM `bench_job`;");
  auto t = dst.openTable("`bench_job`");
  for (q->first(); !q->eof(); q->next()) {
    t->append();
    for (int c = 0; c < q->fieldCount(); ++c) t->setField(q->fieldName(c), q->value(c));
    t->post();
  }
  return Seconds(start);
}


}  // namespace

int main(int argc, char** argv) {
  const int rows = argc > 1 ? std::atoi(argv[1]) : 200000;
  const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
  TestServer::Get().UseOdbc();
  const std::string script = TestDataDir() + "/job_bench.sql";
  {
    ado::Connection src(kBenchSource);
    ado::Connection dst(kBenchDest);
    src.open();
    dst.open();
    MakeMixedTable(src, "bench_job", rows);
    dst.execute("DROP TABLE IF EXISTS bench_job");
    dst.execute("CREATE TABLE bench_job LIKE `qm_src`.bench_job");
    // Each row commits on its own on both sides; without this the disk's flush time per
    // commit hides what the two loops themselves cost. Restored at the end.
    dst.execute("SET GLOBAL innodb_flush_log_at_trx_commit = 2");
  }
  std::vector<Measure> job, bare;
  for (int r = 0; r < runs; ++r) {
    // Which side goes first alternates: a run leaves the server work to do (dirty pages
    // to flush, a dropped table to purge) that the next run pays for.
    if (r % 2 == 0) {
      job.push_back(InChild([&] { return RunTheJob(script); }));
      bare.push_back(InChild(BareLoop));
    } else {
      bare.push_back(InChild(BareLoop));
      job.push_back(InChild([&] { return RunTheJob(script); }));
    }
    if (std::getenv("QM_BENCH_LAYER"))
      std::printf("layer loop %.3f s\n", InChild(LayerLoop).seconds);
    std::printf(
        "run %d (%s first): job %.3f s (cpu %.2f s, peak %.1f MB), bare ODBC %.3f s (cpu %.2f s, "
        "peak %.1f MB)\n",
        r + 1, r % 2 == 0 ? "job" : "bare", job.back().seconds, job.back().cpuSeconds,
        job.back().peakMB, bare.back().seconds, bare.back().cpuSeconds, bare.back().peakMB);
    std::fflush(stdout);
  }
  auto best = [](const std::vector<Measure>& m) {
    return std::min_element(m.begin(), m.end(),
                            [](auto& a, auto& b) { return a.seconds < b.seconds; })
        ->seconds;
  };
  auto peak = [](const std::vector<Measure>& m) {
    return std::max_element(m.begin(), m.end(),
                            [](auto& a, auto& b) { return a.peakMB < b.peakMB; })
        ->peakMB;
  };
  // The machine may be shared: the ratio of each pair run side by side, and their median,
  // say more than the best times alone.
  std::vector<double> ratios;
  for (int r = 0; r < runs; ++r) ratios.push_back(job[r].seconds / bare[r].seconds);
  std::sort(ratios.begin(), ratios.end());
  const double median = ratios[ratios.size() / 2];
  const double j = best(job), b = best(bare);
  std::printf(
      "%d rows, best of %d: job %.3f s, bare ODBC %.3f s, ratio %.3f; median ratio of the pairs "
      "%.3f; peak memory job %.1f MB, bare %.1f MB\n",
      rows, runs, j, b, j / b, median, peak(job), peak(bare));
  ado::Connection dst(kBenchDest);
  dst.open();
  dst.execute("SET GLOBAL innodb_flush_log_at_trx_commit = 1");
  return 0;
}
