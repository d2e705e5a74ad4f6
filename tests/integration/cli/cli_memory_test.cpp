// The peak memory of quillmark-cli over a large MySQL source: the source's rows are
// streamed and the command line keeps no pane, so a job of 2,000,000 rows runs in
// about the memory of one of a few rows. Measured as the child's peak resident set.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iostream>
#include <string>
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

Measured RunCliMeasured(const std::vector<std::string>& args, const std::string& dir) {
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
  Measured r;
  int status = 0;
  rusage usage{};
  if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) throw std::runtime_error("cannot run");
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.maxRssKiB = usage.ru_maxrss;
  r.out = ReadFile(outFile);
  r.err = ReadFile(errFile);
  return r;
}

class CliMemory : public JobDatabases {};

// A whole job's reading and script over 2,000,000 rows of 8 mixed columns: the transfer
// pass streams the source and writes one INSERT per row into the script file. Nothing
// is executed on a destination (--script-only), which keeps the test within a minute
// here: row by row into a server, 2,000,000 rows take several minutes, and posting a
// row holds nothing once it is done.
TEST_F(CliMemory, TwoMillionRowsWithTheirScriptStayUnder150MB) {
  OnSource({"CREATE TABLE big (id INT PRIMARY KEY, n BIGINT, name VARCHAR(40), amount "
            "DECIMAL(12,2), ratio DOUBLE, day DATE, at DATETIME, note VARCHAR(40))",
            "INSERT INTO big SELECT seq, seq * 7, CONCAT('name ', seq), seq / 100, seq / 3,"
            " '2024-01-01' + INTERVAL (seq % 1000) DAY, '2024-01-01 10:00:00' + INTERVAL seq"
            " SECOND, IF(seq % 5 = 0, NULL, 'note') FROM seq_1_to_" + std::to_string(kRows)});
  const std::string script = WorkDir() + "/big.sql";
  const Measured r = RunCliMeasured({"--source", kSourceString, "--dest-kind", "mysql", "--script-only",
                                "--script", script, "--no-update", "--quiet"},
                               WorkDir());
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("Summary: 1 objects, " + std::to_string(kRows) + " rows inserted"),
            std::string::npos)
      << r.out;
  EXPECT_LT(r.maxRssKiB, kLimitKiB) << "peak resident memory " << r.maxRssKiB / 1024 << " MB";
  std::cout << "peak resident memory of quillmark-cli: " << r.maxRssKiB / 1024 << " MB\n";

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
