// Streams a table of 8 mixed columns with the built-in client (UseResult/FetchRow) and
// with libmariadb (mysql_use_result/mysql_fetch_row), plain and compressed. Each run
// is a child process of its own, so its peak memory is its own.
//
//   mysql_stream_bench SERVER_ENV [ROWS] [REPEATS]
// SERVER_ENV is the server.env that scripts/test-server writes.
#include <mysql.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "mysql/protocol/client.h"

namespace {

struct Server {
  std::string host, user, password;
  unsigned port = 0;
};

Server ReadEnv(const char* path) {
  std::ifstream in(path);
  std::map<std::string, std::string> env;
  for (std::string line; std::getline(in, line);) {
    auto eq = line.find('=');
    if (eq != std::string::npos) env[line.substr(0, eq)] = line.substr(eq + 1);
  }
  Server s{env["QM_MYSQL_HOST"], env["QM_MYSQL_USER"], env["QM_MYSQL_PASSWORD"],
           static_cast<unsigned>(std::atoi(env["QM_MYSQL_PORT"].c_str()))};
  if (s.host.empty()) {
    std::fprintf(stderr, "no server described in %s\n", path);
    std::exit(2);
  }
  return s;
}

const char* kTable = "qm_test.bench_rows";

// The table of `rows` rows, made once.
void Prepare(const Server& s, long rows) {
  mysql::TMysqlClient c;
  c.SetCompress(false);
  if (!c.Connect(s.host, s.user, s.password, "qm_test", s.port, "", false,
                 mysql::kDefaultClientFlags)) {
    std::fprintf(stderr, "connect: %s\n", c.ErrorText().c_str());
    std::exit(1);
  }
  auto run = [&](const std::string& sql) {
    if (c.Query(sql) != 0) {
      std::fprintf(stderr, "%s: %s\n", sql.c_str(), c.ErrorText().c_str());
      std::exit(1);
    }
    auto r = c.UseResult();
    std::string first;
    if (r) {
      if (const char* const* row = r->FetchRow()) first = row[0] ? row[0] : "";
      mysql::FreeResult(r);
    }
    return first;
  };
  std::string have =
      run(std::string("SELECT COUNT(*) FROM information_schema.tables WHERE "
                      "table_schema='qm_test' AND table_name='bench_rows'"));
  if (have == "1" && run(std::string("SELECT COUNT(*) FROM ") + kTable) == std::to_string(rows)) {
    return;
  }
  run(std::string("DROP TABLE IF EXISTS ") + kTable);
  run(std::string("CREATE TABLE ") + kTable +
      " (id INT PRIMARY KEY, big BIGINT, name VARCHAR(40), price DECIMAL(12,2), ratio DOUBLE,"
      " day DATE, stamp DATETIME, note VARCHAR(100) NULL) ENGINE=InnoDB");
  run(std::string("INSERT INTO ") + kTable + " SELECT seq, seq * 1000003, CONCAT('name-', seq)," +
      " seq / 7, seq / 3.0, '2024-01-01' + INTERVAL (seq % 3000) DAY," +
      " '2024-01-01 00:00:00' + INTERVAL seq SECOND," +
      " IF(seq % 5 = 0, NULL, REPEAT(CHAR(65 + seq % 26), seq % 50))" + " FROM seq_1_to_" +
      std::to_string(rows));
}

std::string Statement(long rows) {
  return std::string("SELECT id, big, name, price, ratio, day, stamp, note FROM ") + kTable +
         " LIMIT " + std::to_string(rows);
}

// Returns rows read and a checksum of the bytes, so nothing is optimised away.
long StreamBuiltIn(const Server& s, bool compress, long rows, unsigned long& sum) {
  mysql::TMysqlClient c;
  c.SetReconnectAllowed(false);
  c.SetCompress(compress);
  if (!c.Connect(s.host, s.user, s.password, "", s.port, "", false, mysql::kDefaultClientFlags) ||
      c.Query(Statement(rows)) != 0) {
    std::fprintf(stderr, "built-in: %s\n", c.ErrorText().c_str());
    return -1;
  }
  auto r = c.UseResult();
  long n = 0;
  while (const char* const* row = r->FetchRow()) {
    const uint32_t* len = r->FetchLengths();
    for (uint32_t i = 0; i < 8; ++i) {
      if (row[i]) sum += len[i] + static_cast<unsigned char>(row[i][0]);
    }
    ++n;
  }
  return r->LastReadResult() == 1 ? n : -1;
}

long StreamLibmariadb(const Server& s, bool compress, long rows, unsigned long& sum) {
  MYSQL* m = mysql_init(nullptr);
  if (compress) mysql_options(m, MYSQL_OPT_COMPRESS, nullptr);
  if (!mysql_real_connect(m, s.host.c_str(), s.user.c_str(), s.password.c_str(), nullptr, s.port,
                          nullptr, 0)) {
    std::fprintf(stderr, "libmariadb: %s\n", mysql_error(m));
    return -1;
  }
  std::string sql = Statement(rows);
  if (mysql_real_query(m, sql.data(), sql.size()) != 0) {
    std::fprintf(stderr, "libmariadb: %s\n", mysql_error(m));
    return -1;
  }
  MYSQL_RES* r = mysql_use_result(m);
  long n = 0;
  while (MYSQL_ROW row = mysql_fetch_row(r)) {
    unsigned long* len = mysql_fetch_lengths(r);
    for (unsigned i = 0; i < 8; ++i) {
      if (row[i]) sum += len[i] + static_cast<unsigned char>(row[i][0]);
    }
    ++n;
  }
  bool ok = mysql_errno(m) == 0;
  mysql_free_result(r);
  mysql_close(m);
  return ok ? n : -1;
}

struct Run {
  double seconds = 0;
  double cpuSeconds = 0;
  long maxRssKiB = 0;
  long rows = 0;
};

// One streaming run in a child process: its time and its own peak memory.
Run Child(const Server& s, bool builtIn, bool compress, long rows) {
  int fds[2];
  if (::pipe(fds) != 0) std::exit(1);
  pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    unsigned long sum = 0;
    auto t0 = std::chrono::steady_clock::now();
    long n =
        builtIn ? StreamBuiltIn(s, compress, rows, sum) : StreamLibmariadb(s, compress, rows, sum);
    double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    char buf[128];
    int len = std::snprintf(buf, sizeof(buf), "%ld %.6f %lu\n", n, secs, sum);
    if (::write(fds[1], buf, static_cast<size_t>(len)) != len) ::_exit(1);
    ::_exit(n >= 0 ? 0 : 1);
  }
  ::close(fds[1]);
  char buf[128] = {};
  ssize_t got = ::read(fds[0], buf, sizeof(buf) - 1);
  ::close(fds[0]);
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  Run r;
  unsigned long sum = 0;
  if (got <= 0 || std::sscanf(buf, "%ld %lf %lu", &r.rows, &r.seconds, &sum) != 3 ||
      !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "a run failed\n");
    std::exit(1);
  }
  r.maxRssKiB = usage.ru_maxrss;
  r.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                 static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s SERVER_ENV [ROWS] [REPEATS]\n", argv[0]);
    return 2;
  }
  const Server server = ReadEnv(argv[1]);
  const long rows = argc > 2 ? std::atol(argv[2]) : 1000000;
  const int repeats = argc > 3 ? std::atoi(argv[3]) : 3;
  Prepare(server, rows);

  std::printf(
      "%ld rows of 8 columns, best of %d runs each, interleaved, alternating which goes first\n",
      rows, repeats);
  std::printf("%-12s %-11s %10s %12s %12s %12s\n", "packets", "client", "seconds", "rows/s",
              "client CPU s", "peak RSS KiB");
  for (bool compress : {false, true}) {
    Run best[2];
    for (int i = 0; i < repeats; ++i) {
      // Alternate which client goes first, so neither always meets a server just warmed
      // (or just disturbed) by the other.
      for (int k = 0; k < 2; ++k) {
        const int which = (i % 2 == 0) ? k : 1 - k;
        Run r = Child(server, which == 0, compress, rows);
        if (r.rows != rows) {
          std::fprintf(stderr, "read %ld rows, expected %ld\n", r.rows, rows);
          return 1;
        }
        if (i == 0 || r.seconds < best[which].seconds) best[which].seconds = r.seconds;
        if (i == 0 || r.cpuSeconds < best[which].cpuSeconds) {
          best[which].cpuSeconds = r.cpuSeconds;
        }
        best[which].maxRssKiB = std::max(best[which].maxRssKiB, r.maxRssKiB);
      }
    }
    for (int which = 0; which < 2; ++which) {
      std::printf("%-12s %-11s %10.3f %12.0f %12.3f %12ld\n", compress ? "compressed" : "plain",
                  which == 0 ? "built-in" : "libmariadb", best[which].seconds,
                  static_cast<double>(rows) / best[which].seconds, best[which].cpuSeconds,
                  best[which].maxRssKiB);
    }
    std::printf("%-12s ratio built-in / libmariadb (time): %.3f\n",
                compress ? "compressed" : "plain", best[0].seconds / best[1].seconds);
  }
  return 0;
}
