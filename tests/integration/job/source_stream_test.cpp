// The connections of a streamed MySQL source: one read to its end is kept for the next
// query, one left before its end is closed instead of read to its end.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "integration/job/job_databases.h"
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

}  // namespace
}  // namespace jobtest
