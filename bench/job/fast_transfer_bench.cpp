// The fast transfer against row by row and against the tool a user would otherwise
// pick, on one table of 8 mixed columns MySQL to MySQL, with the default durability
// (innodb_flush_log_at_trx_commit=1: every commit waits for the disk):
//   - the job in groups of 1000 rows on the whole table, and on a quarter of it (peak
//     memory should not grow with the rows);
//   - the job row by row on the slice, its time scaled to the whole table;
//   - mariadb-dump --no-create-info qm_src table | mariadb qm_dst.
// Each side runs once, in a child process, so its peak memory is its own. Start the
// The source is read through the built-in client when its data source qualifies (the
// test server's do), through ODBC with QUILLMARK_MYSQL_STREAM=0. Start the
// private server first (scripts/test-server start <build>/test-data/mariadb) and run
// QUILLMARK_TEST_DIR=<build>/test-data <build>/bench/job/fast_transfer_bench [rows] [slice].
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/ado/connection.h"
#include "platform/ado/mysql/data_source.h"
#include "support/job_bench.h"
#include "support/odbc_bench.h"
#include "support/test_server.h"

namespace {

// Drop, create and transfer one table, as quillmark-cli --no-update does.
double RunTheJob(const std::string& table, std::int32_t batchRows, long long rows) {
  TProjectSettings s;
  s.BatchRows = batchRows;
  const TimedJob run = RunJobOnTable(s, table);
  if (run.totals.inserted != rows) {
    std::fprintf(stderr, "job failed: rows missing\n");
    std::exit(1);
  }
  return run.seconds;
}

double DumpAndLoad(const std::string& table) {
  const TestServer& server = TestServer::Get();
  const std::string login = " --no-defaults --protocol=socket -S '" + server.socket + "' -u " +
                            server.user + " -p'" + server.password + "' ";
  const std::string command = "mariadb-dump" + login + "--no-create-info qm_src " + table +
                              " | mariadb" + login + "qm_dst";
  const auto start = std::chrono::steady_clock::now();
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "the dump and load failed: %s\n", command.c_str());
    std::exit(1);
  }
  return Seconds(start);
}

void Report(const char* what, const Measure& m, long long rows) {
  std::printf("%-34s %9.2f s %10.0f rows/s  peak %6.1f MB\n", what, m.seconds, rows / m.seconds,
              m.peakMB);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  const long long rows = argc > 1 ? std::atoll(argv[1]) : 1000000;
  const long long slice = argc > 2 ? std::atoll(argv[2]) : 50000;
  TestServer::Get().UseOdbc();
  {
    ado::Connection src(kBenchSource);
    ado::Connection dst(kBenchDest);
    src.open();
    dst.open();
    dst.execute("SET GLOBAL innodb_flush_log_at_trx_commit = 1");
    for (const char* t : {"bench_fast", "bench_quarter", "bench_slice"}) {
      src.execute(std::string("DROP TABLE IF EXISTS ") + t);
      dst.execute(std::string("DROP TABLE IF EXISTS ") + t);
    }
    MakeMixedTable(src, "bench_fast", rows);
    src.execute("CREATE TABLE bench_quarter LIKE bench_fast");
    src.execute("INSERT INTO bench_quarter SELECT * FROM bench_fast WHERE id <= " +
                std::to_string(rows / 4));
    src.execute("CREATE TABLE bench_slice LIKE bench_fast");
    src.execute("INSERT INTO bench_slice SELECT * FROM bench_fast WHERE id <= " +
                std::to_string(slice));
  }
  std::printf("%lld rows x 8 columns, MySQL to MySQL, innodb_flush_log_at_trx_commit=1\n", rows);
  std::string why;
  const char* off = std::getenv("QUILLMARK_MYSQL_STREAM");
  if (off && std::string(off) == "0")
    why = "QUILLMARK_MYSQL_STREAM=0";
  else
    ado::mysqlstream::AddressFor(ado::ConnectionString(kBenchSource), &why);
  std::printf("source read %s%s\n", why.empty() ? "streamed" : "through ODBC: ", why.c_str());
  const Measure fast = InChild([&] { return RunTheJob("bench_fast", 1000, rows); });
  Report("fast transfer (groups of 1000)", fast, rows);
  {
    ado::Connection dst(kBenchDest);
    dst.open();
    dst.execute("TRUNCATE TABLE bench_fast");
  }
  const Measure dump = InChild([&] { return DumpAndLoad("bench_fast"); });
  Report("mariadb-dump | mariadb", dump, rows);
  const Measure fastQuarter = InChild([&] { return RunTheJob("bench_quarter", 1000, rows / 4); });
  Report("fast transfer, a quarter", fastQuarter, rows / 4);
  const Measure rowByRow = InChild([&] { return RunTheJob("bench_slice", 0, slice); });
  Report("row by row, slice", rowByRow, slice);
  const double scaled = rowByRow.seconds * static_cast<double>(rows) / static_cast<double>(slice);
  std::printf("row by row scaled to %lld rows: %.1f s\n", rows, scaled);
  std::printf("fast vs row by row: %.1fx faster; fast vs dump|load: %.2fx its time; peak memory "
              "fast %.1f MB on %lld rows, %.1f MB on %lld\n",
              scaled / fast.seconds, fast.seconds / dump.seconds, fast.peakMB, rows,
              fastQuarter.peakMB, rows / 4);
  return 0;
}
