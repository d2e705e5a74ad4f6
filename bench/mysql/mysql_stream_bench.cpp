// Streams a table of 8 mixed columns, plain and compressed, through four clients: the
// built-in client (UseResult/FetchRow), libmariadb (mysql_use_result/mysql_fetch_row),
// and the driver interface over each of them (the direct driver and the library
// driver: Query/FetchRow/FetchLengths). Each run is a child process of its own, so its
// peak memory is its own.
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
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "mysql/driver/direct.h"
#include "mysql/driver/library.h"
#include "mysql/protocol/client.h"
#include "support/child_run.h"
#include "support/server_bench.h"

namespace {

using Server = BenchServer;

const char* kTable = "qm_test.bench_rows";

// The table of `rows` rows, made once.
void Prepare(const Server& s, long rows) {
  mysql::TMysqlClient c;
  c.SetCompress(false);
  if (c.Connect(s.host, s.user, s.password, "qm_test", s.port, "", false,
                mysql::kDefaultClientFlags) != mysql::ClientResult::kOk) {
    std::fprintf(stderr, "connect: %s\n", c.ErrorText().c_str());
    std::exit(1);
  }
  auto run = [&](const std::string& sql) {
    if (c.Query(sql) != mysql::ClientResult::kOk) {
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
  if (c.Connect(s.host, s.user, s.password, "", s.port, "", false, mysql::kDefaultClientFlags) !=
          mysql::ClientResult::kOk ||
      c.Query(Statement(rows)) != mysql::ClientResult::kOk) {
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
  return r->LastReadResult() == mysql::RowRead::kEnd ? n : -1;
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

// The same loop through the driver interface, over the built-in client or libmariadb.
long StreamDriver(const Server& s, bool library, bool compress, long rows, unsigned long& sum) {
  std::unique_ptr<mysql::TMySQLBase> d;
  if (library) {
    d = std::make_unique<mysql::TMySQLLibrary>("protocol=tcp");
  } else {
    d = std::make_unique<mysql::TMySQLDirect>();
  }
  try {
    mysql::TMySQLHandle h = d->Connect(s.host, s.user, s.password, s.port,
                                       compress ? uint32_t{mysql::kClientCompress} : 0u, "");
    mysql::TMySQLResult r = d->Query(h, Statement(rows));
    long n = 0;
    while (mysql::TMySQLRow row = d->FetchRow(r)) {
      const unsigned long* len = d->FetchLengths(r);
      for (unsigned i = 0; i < 8; ++i) {
        if (row[i]) sum += len[i] + static_cast<unsigned char>(row[i][0]);
      }
      ++n;
    }
    const bool ok = d->ErrorNumber(h) == 0;
    d->FreeResult(r);
    d->Close(h);
    return ok ? n : -1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s driver: %s\n", library ? "library" : "direct", e.what());
    return -1;
  }
}

enum Client { kBuiltIn, kLibmariadb, kDirectDriver, kLibraryDriver, kClients };
const char* const kClientNames[kClients] = {"built-in", "libmariadb", "direct drv", "library drv"};

long Stream(Client c, const Server& s, bool compress, long rows, unsigned long& sum) {
  switch (c) {
    case kBuiltIn: return StreamBuiltIn(s, compress, rows, sum);
    case kLibmariadb: return StreamLibmariadb(s, compress, rows, sum);
    case kDirectDriver: return StreamDriver(s, false, compress, rows, sum);
    default: return StreamDriver(s, true, compress, rows, sum);
  }
}

struct Run : ChildMeasures {
  long rows = 0;
};

// One streaming run in a child process: its time and its own peak memory.
Run Child(const Server& s, Client client, bool compress, long rows) {
  const ChildRun c = RunInChild([&] {
    unsigned long sum = 0;
    const long n = Stream(client, s, compress, rows, sum);
    if (n < 0) throw std::runtime_error("the stream failed");
    return std::to_string(n) + " " + std::to_string(sum);
  });
  Run r;
  static_cast<ChildMeasures&>(r) = c;
  unsigned long sum = 0;
  if (!c.ok || std::sscanf(c.answer.c_str(), "%ld %lu", &r.rows, &sum) != 2) {
    std::fprintf(stderr, "a run failed\n");
    std::exit(1);
  }
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  const ServerBenchArgs args = ReadServerBenchArgs(argc, argv);
  const Server& server = args.server;
  const long rows = args.rows;
  const int repeats = args.repeats;
  Prepare(server, rows);

  std::printf("%ld rows of 8 columns, best of %d runs each, interleaved in a balanced order\n",
              rows, repeats);
  std::printf("%-12s %-12s %10s %12s %12s %12s\n", "packets", "client", "seconds", "rows/s",
              "client CPU s", "peak RSS KiB");
  for (bool compress : {false, true}) {
    Run best[kClients];
    for (int i = 0; i < repeats; ++i) {
      // A balanced order: over four repeats each client goes first once and follows
      // each other client once, so none always meets a server just warmed (or just
      // disturbed) by the same one.
      static const int kOrder[kClients][kClients] = {
          {0, 1, 3, 2}, {1, 2, 0, 3}, {2, 3, 1, 0}, {3, 0, 2, 1}};
      for (int k = 0; k < kClients; ++k) {
        const int which = kOrder[i % kClients][k];
        Run r = Child(server, static_cast<Client>(which), compress, rows);
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
    const char* mode = compress ? "compressed" : "plain";
    for (int which = 0; which < kClients; ++which) {
      std::printf("%-12s %-12s %10.3f %12.0f %12.3f %12ld\n", mode, kClientNames[which],
                  best[which].seconds, static_cast<double>(rows) / best[which].seconds,
                  best[which].cpuSeconds, best[which].maxRssKiB);
    }
    auto ratio = [&](int a, int b, const char* what) {
      std::printf("%-12s %-40s time %.3f  CPU %.3f\n", mode, what,
                  best[a].seconds / best[b].seconds, best[a].cpuSeconds / best[b].cpuSeconds);
    };
    ratio(kBuiltIn, kLibmariadb, "built-in / libmariadb");
    ratio(kDirectDriver, kBuiltIn, "direct driver / built-in");
    ratio(kLibraryDriver, kLibmariadb, "library driver / libmariadb");
  }
  return 0;
}
