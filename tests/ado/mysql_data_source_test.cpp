#include "platform/ado/mysql/data_source.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

using ado::mysqlstream::AddressFor;
using ado::mysqlstream::ProfileKeys;
using ado::mysqlstream::ServerAddress;

constexpr const char* kMariaDb = "/usr/lib/x86_64-linux-gnu/odbc/libmaodbc.so";
constexpr const char* kPlainString = "Provider=MSDASQL.1;Data Source=src";

ProfileKeys Keys(ProfileKeys extra) {
  ProfileKeys keys{{"Driver", "MariaDB Unicode"}, {"SERVER", "127.0.0.1"}, {"PORT", "3307"},
                   {"DATABASE", "shop"},          {"USER", "qm"},          {"PASSWORD", "pw"},
                   {"CHARSET", "utf8mb4"}};
  keys.insert(keys.end(), extra.begin(), extra.end());
  return keys;
}

ServerAddress Tcp(std::string user = "qm", std::string password = "pw") {
  ServerAddress a;
  a.host = "127.0.0.1";
  a.port = 3307;
  a.database = "shop";
  a.user = std::move(user);
  a.password = std::move(password);
  return a;
}

ServerAddress Socket(std::string path) {
  ServerAddress a;
  a.viaSocket = true;
  a.socket = std::move(path);
  a.user = "qm";
  return a;
}

TEST(MySQLDataSource, TheAddressComesFromTheKeysTheClientHonours) {
  struct Case {
    const char* what;
    ProfileKeys keys;
    const char* connectionString;
    ServerAddress expected;
  } cases[] = {
      {"TCP", Keys({}), kPlainString, Tcp()},
      {"keys in any case, empty values absent, aliases",
       {{"driver", "x"}, {"Server", "127.0.0.1"}, {"port", "3307"}, {"db", "shop"},
        {"uid", "qm"}, {"pwd", "pw"}, {"SSLCA", ""}, {"OPTION", "0"}, {"Description", "d"}},
       kPlainString, Tcp()},
      {"the connection string's user and password win",
       Keys({}), "Provider=MSDASQL.1;Data Source=src;User ID=other;Password=secret",
       Tcp("other", "secret")},
      {"an empty password given in the connection string wins too", Keys({}),
       "Provider=MSDASQL.1;Data Source=src;Password=", Tcp("qm", "")},
      {"localhost goes through the socket",
       {{"SERVER", "localhost"}, {"SOCKET", "/tmp/s.sock"}, {"USER", "qm"}}, kPlainString,
       Socket("/tmp/s.sock")},
      {"no server: the socket too", {{"USER", "qm"}}, kPlainString, Socket("")},
  };
  for (const Case& c : cases) {
    std::string why;
    const std::optional<ServerAddress> got =
        AddressFor(c.keys, kMariaDb, ado::ConnectionString(c.connectionString), &why);
    ASSERT_TRUE(got) << c.what << ": " << why;
    if (!c.expected.viaSocket) {
      EXPECT_EQ(*got, c.expected) << c.what;
    } else {
      EXPECT_TRUE(got->viaSocket) << c.what;
      EXPECT_EQ(got->socket, c.expected.socket) << c.what;
      EXPECT_EQ(got->user, "qm") << c.what;
    }
  }
}

// What the client cannot do as the driver would leaves the data source to ODBC, and
// the reason names it.
TEST(MySQLDataSource, ADataSourceTheClientCannotHonourIsRefusedWithItsReason) {
  struct Case {
    ProfileKeys keys;
    const char* driverLibrary;
    const char* reason;
  } cases[] = {
      {Keys({}), "/usr/lib/x86_64-linux-gnu/odbc/libmyodbc8w.so", "libmyodbc8w.so"},
      {Keys({}), "", "none found"},
      {Keys({{"SSLCA", "/etc/ssl/ca.pem"}}), kMariaDb, "TLS (SSLCA)"},
      {Keys({{"FORCETLS", "1"}}), kMariaDb, "TLS (FORCETLS)"},
      {Keys({{"TLSVERSION", "TLSv1.3"}}), kMariaDb, "TLS (TLSVERSION)"},
      {{{"CHARSET", "latin1"}}, kMariaDb, "CHARSET is latin1"},
      {{{"PORT", "33o6"}}, kMariaDb, "PORT is no port number (33o6)"},
      {{{"PORT", "70000"}}, kMariaDb, "PORT is no port number (70000)"},
      {{{"OPTION", "3"}}, kMariaDb, "key OPTION"},
      {{{"INITSTMT", "SET sql_mode=''"}}, kMariaDb, "key INITSTMT"},
      {{{"READ_TIMEOUT", "5"}}, kMariaDb, "key READ_TIMEOUT"},
  };
  for (const Case& c : cases) {
    std::string why;
    EXPECT_FALSE(AddressFor(c.keys, c.driverLibrary, ado::ConnectionString(kPlainString), &why))
        << c.reason;
    EXPECT_NE(why.find(c.reason), std::string::npos) << why;
  }
}

}  // namespace
