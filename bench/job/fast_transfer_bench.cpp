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

#include "catalog/corvane.h"
#include "cli/terminal_view.h"
#include "job/job_start.h"
#include "job/process_state.h"
#include "platform/ado/connection.h"
#include "platform/ado/mysql/data_source.h"
#include "support/odbc_bench.h"
#include "support/test_server.h"

namespace {

const char* const kSource = "Provider=MSDASQL.1;Data Source=qm_src";
const char* const kDest = "Provider=MSDASQL.1;Data Source=qm_dst";

// Drop, create and transfer one table, as quillmark-cli --no-update does.
double RunTheJob(const std::string& table, std::int32_t batchRows, long long rows) {
  std::FILE* devnull = std::fopen("/dev/null", "w");
  cli::TTerminalView view(devnull, devnull, false, false, false);
  const auto start = std::chrono::steady_clock::now();
  ado::Connection source(kSource);
  ado::Connection dest(kDest);
  dest.open();
  TProjectSettings s;
  s.SourceKind = s.DestKind = dkMySQL;
  s.DropIfExist = s.CreateObject = s.TransferData = true;
  s.BatchRows = batchRows;
  job::TJobStart jobStart(s, source, dest);
  jobStart.NewCatalogue();
  if (!jobStart.LoadCatalogue()) std::exit(1);
  job::TSourceTree tree;
  jobStart.BuildTree(tree);
  for (auto& o : jobStart.Catalogue()->Objects)
    if (o.ObjectName != table) o.SelectAllChildObject(false);
  const job::TJobTotals totals = jobStart.Run(view);
  const double seconds = Seconds(start);
  if (!ErrorLog.empty() || totals.insertFailed || totals.inserted != rows) {
    std::fprintf(stderr, "job failed: %s\n", ErrorLog.empty() ? "rows missing" : ErrorLog[0].c_str());
    std::exit(1);
  }
  std::fclose(devnull);
  return seconds;
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
    ado::Connection src(kSource);
    ado::Connection dst(kDest);
    src.open();
    dst.open();
    dst.execute("SET GLOBAL innodb_flush_log_at_trx_commit = 1");
    for (const char* t : {"bench_fast", "bench_quarter", "bench_slice"}) {
      src.execute(std::string("DROP TABLE IF EXISTS ") + t);
      dst.execute(std::string("DROP TABLE IF EXISTS ") + t);
    }
    src.execute(
        "CREATE TABLE bench_fast (id INT PRIMARY KEY, name VARCHAR(40), qty INT, amount "
        "DECIMAL(12,2), ratio DOUBLE, created DATETIME, flag TINYINT(1), note TEXT)");
    src.execute(
        "INSERT INTO bench_fast SELECT seq, CONCAT('name ', seq, ' é'), seq % 1000, seq / 100, "
        "seq / 7, '2024-01-01' + INTERVAL seq SECOND, seq % 2, "
        "IF(seq % 7 = 0, NULL, REPEAT('x', seq % 50)) FROM seq_1_to_" +
        std::to_string(rows));
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
    ado::mysqlstream::AddressFor(ado::ConnectionString(kSource), &why);
  std::printf("source read %s%s\n", why.empty() ? "streamed" : "through ODBC: ", why.c_str());
  const Measure fast = InChild([&] { return RunTheJob("bench_fast", 1000, rows); });
  Report("fast transfer (groups of 1000)", fast, rows);
  {
    ado::Connection dst(kDest);
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
