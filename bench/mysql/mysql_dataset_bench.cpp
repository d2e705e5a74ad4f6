// Reading a table of 8 mixed columns through TMySQLDataset, against the bare driver loop:
//   driver       the direct driver's Query/FetchRow/FetchLengths, every value copied as text
//   unidir       TMySQLDataset, rtUnidirectional, every field read with AsString
//   local        TMySQLDataset, rtLocal (all rows held), every field read with AsString
// Each run is a child process of its own, so its peak memory is its own. The figures
// are printed side by side with their ratios to the driver run.
//
//   mysql_dataset_bench SERVER_ENV [ROWS] [REPEATS]
// SERVER_ENV is the server.env that scripts/test-server writes.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "mysql/components/mysql_dataset.h"
#include "mysql/driver/direct.h"
#include "support/child_run.h"
#include "support/server_bench.h"

namespace {

using Env = BenchServer;

void Connect(TMySQLServer& server, const Env& e) {
  server.SetHost(e.host);
  server.SetPort(e.port);
  server.SetUserName(e.user);
  server.SetPassword(e.password);
  server.Open();
}

const char* const kTable = "qm_test.bench_dataset";

std::string Statement(long rows) {
  return std::string("select id, big, name, price, ratio, day, stamp, note from ") + kTable + " limit " +
         std::to_string(rows);
}

// The table of `rows` rows, made once and kept for later runs.
void Prepare(const Env& e, long rows) {
  TMySQLServer server;
  Connect(server, e);
  TMySQLDataset count;
  count.SetServer(&server);
  count.SetOptions(TMySQLDataset::kDefaultOptions - doMacrosEnabled);
  count.SetSQLText(std::string("select count(*) from information_schema.tables where table_schema='qm_test' "
                               "and table_name='bench_dataset'"));
  count.Open();
  const bool exists = count.Fields(0).AsInteger() == 1;
  count.Close();
  if (exists) {
    count.SetSQLText(std::string("select count(*) from ") + kTable);
    count.Open();
    const long have = static_cast<long>(count.Fields(0).AsLargeInt());
    count.Close();
    if (have == rows) return;
  }
  server.ExecSQL("create database if not exists qm_test");
  server.SetDatabaseName("qm_test");  // the sequence tables live in the current database
  server.ExecSQL(std::string("drop table if exists ") + kTable);
  server.ExecSQL(std::string("create table ") + kTable +
                 " (id int primary key, big bigint, name varchar(40), price decimal(12,2), ratio double,"
                 " day date, stamp datetime, note varchar(100) null) engine=InnoDB");
  server.ExecSQL(std::string("insert into ") + kTable +
                 " select seq, seq * 1000003, concat('name-', seq), seq / 7, seq / 3.0,"
                 " '2024-01-01' + interval (seq % 3000) day, '2024-01-01 00:00:00' + interval seq second,"
                 " if(seq % 5 = 0, null, repeat(char(65 + seq % 26), seq % 50)) from seq_1_to_" +
                 std::to_string(rows));
}

enum Kind { kDriver, kUnidirectional, kLocal, kKinds };
const char* const kNames[kKinds] = {"driver", "unidir", "local"};

struct Outcome {
  long rows = 0;
  unsigned long long textBytes = 0;  // the bytes of every value, as the server sent them
  unsigned long sum = 0;             // so that nothing is optimised away
};

Outcome ReadDriver(const Env& e, long rows) {
  mysql::TMySQLDirect driver;
  mysql::TMySQLHandle h = driver.Connect(e.host, e.user, e.password, e.port, 0, "");
  mysql::TMySQLResult r = driver.Query(h, Statement(rows));
  Outcome o;
  std::string text;
  const unsigned n = driver.NumFields(r);
  while (mysql::TMySQLRow row = driver.FetchRow(r)) {
    const unsigned long* len = driver.FetchLengths(r);
    for (unsigned i = 0; i < n; ++i) {
      if (!row[i]) continue;
      text.assign(row[i], len[i]);
      o.textBytes += len[i];
      o.sum += text.size() + (text.empty() ? 0u : static_cast<unsigned char>(text[0]));
    }
    ++o.rows;
  }
  if (driver.ErrorNumber(h) != 0) throw std::runtime_error(driver.ErrorText(h));
  driver.FreeResult(r);
  driver.Close(h);
  return o;
}

Outcome ReadDataset(const Env& e, long rows, TMySQLResultOptions type) {
  TMySQLServer server;
  Connect(server, e);
  TMySQLDataset ds;
  ds.SetServer(&server);
  ds.SetResultType(type);
  ds.SetOptions(ds.Options() - doMacrosEnabled - doUseCursor);
  ds.SetSQLText(Statement(rows));
  ds.Open();
  Outcome o;
  const int n = ds.FieldCount();
  for (; !ds.Eof(); ds.Next()) {
    for (int i = 0; i < n; ++i) {
      const std::string text = ds.Fields(i).AsString();
      o.textBytes += text.size();
      o.sum += text.size() + (text.empty() ? 0u : static_cast<unsigned char>(text[0]));
    }
    ++o.rows;
  }
  ds.Close();
  return o;
}

struct Run : ChildMeasures {
  Outcome outcome;
};

Run Child(const Env& e, Kind kind, long rows) {
  const ChildRun c = RunInChild([&] {
    const Outcome o =
        kind == kDriver ? ReadDriver(e, rows) : ReadDataset(e, rows, kind == kLocal ? rtLocal : rtUnidirectional);
    return std::to_string(o.rows) + " " + std::to_string(o.textBytes) + " " + std::to_string(o.sum);
  });
  Run r;
  static_cast<ChildMeasures&>(r) = c;
  if (!c.ok || std::sscanf(c.answer.c_str(), "%ld %llu %lu", &r.outcome.rows, &r.outcome.textBytes, &r.outcome.sum) != 3) {
    std::fprintf(stderr, "the %s run failed\n", kNames[kind]);
    std::exit(1);
  }
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  const ServerBenchArgs args = ReadServerBenchArgs(argc, argv);
  const Env& env = args.server;
  const long rows = args.rows;
  const int repeats = args.repeats;
  try {
    Prepare(env, rows);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "preparing the table: %s\n", e.what());
    return 1;
  }

  Run best[kKinds];
  for (int i = 0; i < repeats; ++i) {
    // Each kind goes first once in three repeats.
    for (int k = 0; k < kKinds; ++k) {
      const auto kind = static_cast<Kind>((k + i) % kKinds);
      const Run r = Child(env, kind, rows);
      if (r.outcome.rows != rows) {
        std::fprintf(stderr, "%s read %ld rows, expected %ld\n", kNames[kind], r.outcome.rows, rows);
        return 1;
      }
      Run& b = best[kind];
      if (i == 0 || r.seconds < b.seconds) {
        const long rss = i == 0 ? r.maxRssKiB : std::min(b.maxRssKiB, r.maxRssKiB);
        b = r;
        b.maxRssKiB = rss;
      } else {
        b.maxRssKiB = std::min(b.maxRssKiB, r.maxRssKiB);
      }
    }
  }
  for (int k = 1; k < kKinds; ++k) {
    if (best[k].outcome.sum != best[kDriver].outcome.sum || best[k].outcome.textBytes != best[kDriver].outcome.textBytes) {
      std::fprintf(stderr, "%s read other texts than the driver\n", kNames[k]);
      return 1;
    }
  }

  const double textMiB = static_cast<double>(best[kDriver].outcome.textBytes) / (1024.0 * 1024.0);
  std::printf("%ld rows of 8 columns, %.1f MiB of value text; best of %d runs each, in turn\n", rows, textMiB,
              repeats);
  std::printf("%-8s %9s %9s %12s %12s %10s\n", "read", "seconds", "x driver", "CPU s", "peak RSS MiB", "x driver");
  for (int k = 0; k < kKinds; ++k) {
    const Run& r = best[k];
    std::printf("%-8s %9.3f %9.2f %12.3f %12.1f %10.2f\n", kNames[k], r.seconds, r.seconds / best[kDriver].seconds,
                r.cpuSeconds, static_cast<double>(r.maxRssKiB) / 1024.0,
                static_cast<double>(r.maxRssKiB) / static_cast<double>(best[kDriver].maxRssKiB));
  }
  const double heldMiB = static_cast<double>(best[kLocal].maxRssKiB - best[kDriver].maxRssKiB) / 1024.0;
  std::printf("rtLocal holds %.1f MiB above the driver run: %.2f x the rows' text\n", heldMiB, heldMiB / textMiB);
  return 0;
}
