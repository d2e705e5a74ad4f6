// Copies a table of N rows (default 200,000) from qm_src to qm_dst twice over: once
// through the data-access layer (query, table dataset, one post per row) and once
// with a bare ODBC loop (SQLFetch, SQLGetData, one prepared INSERT), alternately,
// and reports both times and their ratio.
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/ado/connection.h"
#include "support/odbc_bench.h"
#include "support/test_server.h"

namespace {

double ThroughLayer() {
  ado::Connection src("Provider=MSDASQL.1;Persist Security Info=False;Data Source=qm_src");
  ado::Connection dst("Provider=MSDASQL.1;Persist Security Info=False;Data Source=qm_dst");
  src.open();
  dst.open();
  dst.execute("TRUNCATE TABLE bench_dst");
  const auto start = std::chrono::steady_clock::now();
  auto q = src.openQuery("SELECT * FROM `bench_src`;");
  auto t = dst.openTable("`bench_dst`");
  for (q->first(); !q->eof(); q->next()) {
    t->append();
    for (int c = 0; c < q->fieldCount(); ++c) t->setField(q->fieldName(c), q->value(c));
    t->post();
  }
  return Seconds(start);
}

double BareOdbc() {
  SQLHENV env = OdbcEnvironment();
  SQLHDBC src = OdbcConnect(env, "DSN=qm_src;");
  SQLHDBC dst = OdbcConnect(env, "DSN=qm_dst;");
  SQLHSTMT trunc;
  SQLAllocHandle(SQL_HANDLE_STMT, dst, &trunc);
  Ok(SQLExecDirect(trunc, (SQLCHAR*)"TRUNCATE TABLE bench_dst", SQL_NTS), "truncate", SQL_HANDLE_STMT, trunc);
  SQLFreeHandle(SQL_HANDLE_STMT, trunc);

  const auto start = std::chrono::steady_clock::now();
  SQLHSTMT sel, ins;
  SQLAllocHandle(SQL_HANDLE_STMT, src, &sel);
  SQLAllocHandle(SQL_HANDLE_STMT, dst, &ins);
  Ok(SQLExecDirect(sel, (SQLCHAR*)"SELECT * FROM `bench_src`;", SQL_NTS), "select", SQL_HANDLE_STMT, sel);
  Ok(SQLPrepare(ins, (SQLCHAR*)"INSERT INTO `bench_dst` (`id`, `name`, `amount`, `created`, `note`) VALUES (?, ?, ?, ?, ?)",
                SQL_NTS),
     "prepare", SQL_HANDLE_STMT, ins);
  SQLBIGINT id = 0;
  char name[256], amount[64], note[4096];
  SQL_TIMESTAMP_STRUCT created{};
  SQLLEN ind[5];
  SQLBindParameter(ins, 1, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 19, 0, &id, 0, &ind[0]);
  SQLBindParameter(ins, 2, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 255, 0, name, sizeof name, &ind[1]);
  SQLBindParameter(ins, 3, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 63, 0, amount, sizeof amount, &ind[2]);
  SQLBindParameter(ins, 4, SQL_PARAM_INPUT, SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, 19, 0, &created, 0, &ind[3]);
  SQLBindParameter(ins, 5, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_LONGVARCHAR, 4095, 0, note, sizeof note, &ind[4]);
  for (;;) {
    SQLRETURN rc = SQLFetch(sel);
    if (rc == SQL_NO_DATA) break;
    Ok(rc, "fetch", SQL_HANDLE_STMT, sel);
    SQLGetData(sel, 1, SQL_C_SBIGINT, &id, 0, &ind[0]);
    SQLGetData(sel, 2, SQL_C_CHAR, name, sizeof name, &ind[1]);
    SQLGetData(sel, 3, SQL_C_CHAR, amount, sizeof amount, &ind[2]);
    SQLGetData(sel, 4, SQL_C_TYPE_TIMESTAMP, &created, sizeof created, &ind[3]);
    SQLGetData(sel, 5, SQL_C_CHAR, note, sizeof note, &ind[4]);
    Ok(SQLExecute(ins), "insert", SQL_HANDLE_STMT, ins);
  }
  const double s = Seconds(start);
  OdbcRelease(env, src, dst, sel, ins);
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  const int rows = argc > 1 ? std::atoi(argv[1]) : 200000;
  const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
  TestServer::Get().UseOdbc();
  {
    ado::Connection src("Provider=MSDASQL.1;Data Source=qm_src");
    ado::Connection dst("Provider=MSDASQL.1;Data Source=qm_dst");
    src.open();
    dst.open();
    const char* columns = "(id INT PRIMARY KEY, name VARCHAR(40), amount DECIMAL(12,2), created DATETIME, note TEXT)";
    src.execute("DROP TABLE IF EXISTS bench_src");
    src.execute(std::string("CREATE TABLE bench_src ") + columns);
    src.execute("INSERT INTO bench_src SELECT seq, CONCAT('name ', seq), seq / 100, "
                "'2024-01-01' + INTERVAL seq SECOND, IF(seq % 7 = 0, NULL, REPEAT('x', seq % 50)) "
                "FROM seq_1_to_" + std::to_string(rows));
    dst.execute("DROP TABLE IF EXISTS bench_dst");
    dst.execute(std::string("CREATE TABLE bench_dst ") + columns);
    // Each post commits on its own; without this the disk's flush time per commit
    // hides what both loops themselves cost. Restored at the end.
    dst.execute("SET GLOBAL innodb_flush_log_at_trx_commit = 2");
  }
  std::vector<double> layer, bare;
  for (int r = 0; r < runs; ++r) {
    layer.push_back(ThroughLayer());
    bare.push_back(BareOdbc());
    std::printf("run %d: layer %.3f s, bare ODBC %.3f s\n", r + 1, layer.back(), bare.back());
  }
  const double l = *std::min_element(layer.begin(), layer.end());
  const double b = *std::min_element(bare.begin(), bare.end());
  std::printf("%d rows, best of %d: layer %.3f s, bare ODBC %.3f s, ratio %.3f\n", rows, runs, l, b, l / b);
  ado::Connection dst("Provider=MSDASQL.1;Data Source=qm_dst");
  dst.open();
  dst.execute("SET GLOBAL innodb_flush_log_at_trx_commit = 1");
  return 0;
}
