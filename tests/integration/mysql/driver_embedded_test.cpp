// The embedded driver: a MariaDB server inside the test process, with its data in a
// temporary folder.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "mysql/driver/library.h"

using mysql::TMySQLEmbedded;
using mysql::TMySQLHandle;

namespace {

std::string gDataDir;

// Runs after the embedded server has ended at exit (registered before it started).
void RemoveDataDir() {
  std::error_code ignored;
  if (!gDataDir.empty()) std::filesystem::remove_all(gDataDir, ignored);
}

std::string Scalar(TMySQLEmbedded& d, TMySQLHandle h, const std::string& sql) {
  mysql::TMySQLResult r = d.Query(h, sql);
  std::string value = "<none>";
  if (mysql::TMySQLRow row = d.FetchRow(r)) {
    if (row[0]) value.assign(row[0], d.FetchLengths(r)[0]);
  }
  d.FreeResult(r);
  return value;
}

void Exec(TMySQLEmbedded& d, TMySQLHandle h, const std::string& sql) {
  mysql::TMySQLResult r = d.Query(h, sql);
  d.FreeResult(r);
}

}  // namespace

TEST(MysqlDriverEmbedded, ServerInATemporaryFolderStaysForTheProcess) {
  char dir[] = "/tmp/qm-embedded-XXXXXX";
  ASSERT_NE(::mkdtemp(dir), nullptr);
  gDataDir = dir;
  std::atexit(RemoveDataDir);

  TMySQLEmbedded d(std::string("datadir=") + dir +
                   "\r\nskip-grant-tables\r\ninnodb-buffer-pool-size=16M\r\nprotocol=tcp");
  TMySQLHandle h = d.Connect("", "", "", 0, 0x2600, "");
  ASSERT_NE(h, nullptr);
  EXPECT_NE(d.ClientInfo().find("MariaDB"), std::string::npos) << d.ClientInfo();
  EXPECT_GE(d.ClientVer(), 100000) << "the embedded library's own version";
  Exec(d, h, "CREATE DATABASE emb");
  EXPECT_TRUE(d.SelectDb(h, "emb"));
  Exec(d, h, "CREATE TABLE t (id INT PRIMARY KEY, v VARCHAR(20))");
  EXPECT_EQ(d.Query(h, "INSERT INTO t VALUES (1, 'one'), (2, 'tw''o')"), nullptr);
  std::string affected;
  d.AffectedRows(h, affected);
  EXPECT_EQ(affected, "2");
  EXPECT_EQ(Scalar(d, h, "SELECT GROUP_CONCAT(v ORDER BY id) FROM t"), "one,tw'o");
  EXPECT_EQ(d.EscapeString("tw'o"), "tw\\'o");
  d.Close(h);
  EXPECT_FALSE(d.Loaded());

  // The server cannot start twice in one process: the next load finds it running,
  // with the data written before.
  h = d.Connect("", "", "", 0, 0x2600, "emb");
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(Scalar(d, h, "SELECT COUNT(*) FROM t"), "2");
  d.Close(h);
  {
    TMySQLEmbedded other("datadir=/nonexistent");
    TMySQLHandle o = other.Connect("", "", "", 0, 0x2600, "emb");
    EXPECT_EQ(Scalar(other, o, "SELECT v FROM t WHERE id = 1"), "one")
        << "a second driver shares the running server; its options no longer reach it";
    other.Close(o);
  }
}
