// Loads the catalogue of a database of 200 tables of 10 columns (each with a primary
// key and one more index) through a MySQL data source, and reports the time.
#include <chrono>
#include <cstdio>
#include <string>

#include "catalog/corvane.h"
#include "platform/ado/connection.h"
#include "platform/ui/messages.h"
#include "support/test_server.h"

int main(int argc, char** argv) {
  const int tables = argc > 1 ? std::atoi(argv[1]) : 200;
  const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
  TestServer::Get().UseOdbc();
  ado::Connection db("Provider=MSDASQL.1;Persist Security Info=False;Data Source=qm_test");
  db.open();
  db.execute("DROP DATABASE IF EXISTS qm_bench_catalogue");
  db.execute("CREATE DATABASE qm_bench_catalogue");
  db.execute("USE qm_bench_catalogue");
  for (int t = 0; t < tables; ++t) {
    std::string sql = "CREATE TABLE t" + std::to_string(t) + " (id INT PRIMARY KEY";
    const char* types[] = {"VARCHAR(40)", "DECIMAL(12,2)", "DATETIME", "TEXT", "DOUBLE", "BIGINT",
                           "CHAR(3)", "BLOB", "TINYINT(1)"};
    for (int c = 0; c < 9; ++c) sql += ", c" + std::to_string(c) + " " + types[c];
    sql += ", KEY ix (c0, c5))";
    db.execute(sql);
  }
  ui::RecordingMessages messages;
  ui::ScopedMessages scope(messages);
  double best = 1e9, total = 0;
  for (int r = 0; r < runs; ++r) {
    TCorvane catalogue;
    catalogue.SetDBKind(dkMySQL);
    catalogue.SetConnection(&db);
    const auto start = std::chrono::steady_clock::now();
    if (!catalogue.LoadDBInfo() || catalogue.Objects.size() != static_cast<std::size_t>(tables)) {
      std::fprintf(stderr, "loading failed: %s\n", messages.entries.empty() ? "" : messages.entries[0].text.c_str());
      return 1;
    }
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    best = std::min(best, s);
    total += s;
  }
  std::printf("catalogue of %d tables x 10 columns: best %.3f s, mean %.3f s over %d runs\n", tables, best,
              total / runs, runs);
  db.execute("DROP DATABASE qm_bench_catalogue");
  return 0;
}
