// The connections of a streamed MySQL source: one read to its end is kept for the next
// query, one left before its end is closed instead of read to its end.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "integration/job/job_databases.h"
#include "integration/job/job_run.h"
#include "platform/ado/mysql/mysql_stream.h"

namespace jobtest {
namespace {

using ado::mysqlstream::ClientPool;
using ado::mysqlstream::StreamQuery;

class SourceStream : public JobDatabases {
 protected:
  std::shared_ptr<ClientPool> Pool() {
    std::string why;
    const auto address = ado::mysqlstream::AddressFor(ado::ConnectionString(kSourceString), &why);
    if (!address) throw std::runtime_error("the source does not qualify: " + why);
    return std::make_shared<ClientPool>(*address, ado::odbc::Timeouts{});
  }
  // The server's connections in the source database: the stream's, as the admin
  // connection stays in qm_test.
  std::string Connections() {
    return Scalar("SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE DB = '" + srcDb + "'");
  }
};

// Also when the server has closed the kept one meanwhile (a window left open overnight
// outlives wait_timeout): the next query gets a new connection, not a lost one.
TEST_F(SourceStream, AStreamReadToItsEndKeepsItsConnectionForTheNext) {
  OnSource({"CREATE TABLE t (id INT PRIMARY KEY)", "INSERT INTO t VALUES (1), (2)"});
  const auto pool = Pool();
  for (int round = 0; round < 3; ++round) {
    if (round == 2)
      admin.execute("KILL " + Scalar("SELECT ID FROM information_schema.PROCESSLIST WHERE DB = '" +
                                     srcDb + "'"));
    StreamQuery q(pool, "SELECT id FROM t;");
    int rows = 0;
    for (; !q.eof(); q.next()) ++rows;
    EXPECT_EQ(rows, 2) << "round " << round;
    // The killed one may still be on its way out.
    if (round < 2) {
      EXPECT_EQ(Connections(), "1") << "round " << round;
    }
  }
}

// Each row takes the server 0.2 s: reading the rest of 2,000 rows before the connection
// could go on would outlast the test's time-out; closing does not wait for them.
TEST_F(SourceStream, AStreamLeftBeforeItsEndClosesItsConnectionInsteadOfReadingTheRest) {
  const auto pool = Pool();
  StreamQuery q(pool, "SELECT seq, REPEAT('x', 20000) AS v, SLEEP(0.2) FROM seq_1_to_2000;");
  ASSERT_FALSE(q.eof());
  EXPECT_EQ(ado::VariantToText(q.value(0)), "1");
  q.close();
  EXPECT_TRUE(q.eof());
}

// A source query whose first row takes longer than the connection's Command Timeout
// fails on either route, as a lost connection that names the time-out, so a user knows
// what to raise; with Command Timeout=0 it waits.
TEST_F(SourceStream, ASlowSourceQueryEndsAtTheCommandTimeoutAndSaysSo) {
  OnSource({"CREATE VIEW slow AS SELECT seq AS id, SLEEP(IF(seq = 1, 2, 0)) AS s FROM seq_1_to_3"});
  struct Case {
    SourceRoute route;
    int timeout;
    bool fails;
  };
  const Case cases[] = {{SourceRoute::Streamed, 1, true},
                        {SourceRoute::Odbc, 1, true},
                        {SourceRoute::Streamed, 0, false},
                        {SourceRoute::Odbc, 0, false}};
  for (const Case& c : cases) {
    const std::string where = std::string(c.route == SourceRoute::Odbc ? "ODBC" : "streamed") +
                              ", Command Timeout=" + std::to_string(c.timeout);
    const std::string source = kSourceString + ";Command Timeout=" + std::to_string(c.timeout);
    UseSourceRoute(c.route, source);
    ado::Connection connection(source);
    connection.open();
    try {
      auto rows = connection.openStream("SELECT * FROM slow");
      int n = 0;
      for (; !rows->eof(); rows->next()) ++n;
      EXPECT_FALSE(c.fails) << where;
      EXPECT_EQ(n, 3) << where;
    } catch (const ado::DatabaseError& e) {
      EXPECT_TRUE(c.fails) << where << ": " << e.what();
      EXPECT_TRUE(ado::IsConnectionLost(e)) << where << ": " << e.what();
      EXPECT_NE(std::string(e.what()).find("no answer within the Command Timeout of 1 s"),
                std::string::npos)
          << where << ": " << e.what();
    }
  }
  unsetenv("QUILLMARK_MYSQL_STREAM");
}

}  // namespace
}  // namespace jobtest
