// The peak memory of quillmark-cli copying a large MySQL source into a server: the
// source's rows are streamed, the fast transfer holds one group, and the command line
// keeps no pane, so a job of 2,000,000 rows runs in about the memory of one of a few
// rows. Measured as the child's peak resident set.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "integration/job/job_databases.h"

namespace jobtest {
namespace {

constexpr long kRows = 2000000;
constexpr long kLimitKiB = 150 * 1024;

struct Measured {
  int status = -1;
  long maxRssKiB = 0;
  std::string out;
  std::string err;
};

// Runs quillmark-cli in the work folder; while it runs, `watch` is called about every
// 100 ms.
Measured RunCliMeasured(const std::vector<std::string>& args, const std::string& dir,
                        const std::function<void()>& watch) {
  const std::string outFile = dir + "/cli.out", errFile = dir + "/cli.err";
  const pid_t pid = fork();
  if (pid == 0) {
    const int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 || chdir(dir.c_str()) != 0)
      _exit(126);
    std::vector<char*> argv{const_cast<char*>(QM_CLI_PATH)};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(QM_CLI_PATH, argv.data());
    _exit(127);
  }
  if (pid < 0) throw std::runtime_error("cannot run quillmark-cli");
  Measured r;
  int status = 0;
  rusage usage{};
  for (;;) {
    const pid_t done = wait4(pid, &status, WNOHANG, &usage);
    if (done == pid) break;
    if (done < 0) throw std::runtime_error("lost quillmark-cli");
    watch();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.maxRssKiB = usage.ru_maxrss;
  r.out = ReadFile(outFile);
  r.err = ReadFile(errFile);
  return r;
}

class CliMemory : public JobDatabases {
 protected:
  // Row count and a checksum of every cell of a copy of `big`.
  std::vector<std::string> CountAndChecksum(const std::string& db) {
    return Rows("SELECT COUNT(*), SUM(CRC32(CONCAT_WS('|', id, n, name, amount, ratio, day, at, "
                "IFNULL(note, '-')))), MIN(id), MAX(id) FROM `" + db + "`.big")
        .at(0);
  }
};

// A fast transfer (groups of 1000) of 2,000,000 rows of 8 mixed columns, with its
// script file of one INSERT per row. The destination's durability is the default one;
// at groups of 1000 the copy is bounded by reading and writing rows, not by commits.
TEST_F(CliMemory, TwoMillionRowsCopiedWithTheirScriptStayUnder150MB) {
  OnSource({"CREATE TABLE big (id INT PRIMARY KEY, n BIGINT, name VARCHAR(40), amount "
            "DECIMAL(12,2), ratio DOUBLE, day DATE, at DATETIME, note VARCHAR(40))",
            "INSERT INTO big SELECT seq, seq * 7, CONCAT('name ', seq), seq / 100, seq / 3,"
            " '2024-01-01' + INTERVAL (seq % 1000) DAY, '2024-01-01 10:00:00' + INTERVAL seq"
            " SECOND, IF(seq % 5 = 0, NULL, 'note') FROM seq_1_to_" + std::to_string(kRows)});
  const std::string script = WorkDir() + "/big.sql";
  // The streamed route reads on a connection of its own beside the data source's: while
  // the source query runs, two connections of the job are in the source database.
  int mostSourceConnections = 0;
  bool sawTheSourceQuery = false;
  const auto watch = [&] {
    const auto seen = Rows("SELECT COUNT(*), SUM(INFO LIKE 'SELECT%big%') FROM "
                           "information_schema.PROCESSLIST WHERE DB = '" + srcDb + "'");
    if (seen.at(0).at(1) != "NULL" && seen[0][1] != "0") {
      sawTheSourceQuery = true;
      mostSourceConnections = std::max(mostSourceConnections, std::stoi(seen[0][0]));
    }
  };
  const auto start = std::chrono::steady_clock::now();
  const Measured r = RunCliMeasured({"--source", kSourceString, "--dest", kDestString, "--dest-kind",
                                     "mysql", "--script", script, "--batch-rows", "1000",
                                     "--no-update", "--quiet"},
                                    WorkDir(), watch);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("Summary: 1 objects, " + std::to_string(kRows) + " rows inserted"),
            std::string::npos)
      << r.out;
  EXPECT_LT(r.maxRssKiB, kLimitKiB) << "peak resident memory " << r.maxRssKiB / 1024 << " MB";
  std::cout << "quillmark-cli: " << seconds << " s, peak resident memory " << r.maxRssKiB / 1024
            << " MB\n";
  EXPECT_TRUE(sawTheSourceQuery);
  EXPECT_GE(mostSourceConnections, 2) << "the source was not read through the built-in client";

  // Every row arrived, every cell as it was.
  const auto copied = CountAndChecksum(dstDb);
  EXPECT_EQ(copied, CountAndChecksum(srcDb));
  EXPECT_EQ(copied.at(0), std::to_string(kRows));

  // The script holds every row: its end is the last row's INSERT.
  std::ifstream in(script, std::ios::binary | std::ios::ate);
  const std::streamoff size = in.tellg();
  ASSERT_GT(size, 4096);
  std::string tail(4096, '\0');
  in.seekg(size - 4096);
  in.read(tail.data(), 4096);
  EXPECT_NE(tail.find("VALUES(" + std::to_string(kRows) + ", "), std::string::npos) << tail;
  EXPECT_EQ(tail.substr(tail.size() - 2), "\r\n");
}

}  // namespace
}  // namespace jobtest
