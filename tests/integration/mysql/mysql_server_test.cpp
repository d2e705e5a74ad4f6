// TMySQLServer against the private MariaDB server: through the direct driver, and the
// main paths again through the library driver.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/data_module.h"
#include "mysql/components/mysql_server.h"
#include "support/test_server.h"
#include "integration/mysql/recording_driver.h"
#include "integration/mysql/server_setup.h"

namespace {

mysql::TSBStringList Lines(std::initializer_list<std::string> lines) {
  mysql::TSBStringList l;
  for (const auto& s : lines) l.Add(s);
  return l;
}

// A server whose driver records what it is asked and can claim another server version.
struct Recorded {
  TMySQLServer server;
  TRecordingDriver* driver;
  Recorded() {
    auto d = std::make_unique<TRecordingDriver>();
    driver = d.get();
    server.SetDriverProperties(std::move(d));
    UseTestServer(server);
  }
};

// The first column of every row of a query on the component's main handle.
std::vector<std::string> Column(TMySQLServer& server, const std::string& sql) {
  return QueryFirstColumn(*server.DriverProperties(), server.Handle(), sql);
}

class Login : public TMySQLLoginPrompt {
 public:
  bool answer = true;
  std::string password;
  TMySQLLoginData shown;
  int calls = 0;
  bool Execute(TMySQLLoginData& data) override {
    ++calls;
    shown = data;
    if (answer) data.Password = password;
    return answer;
  }
};

TEST(MySQLServerSettings, DefaultsAndClientFlags) {
  TMySQLServer server;
  EXPECT_EQ(server.Host(), "localhost");
  EXPECT_EQ(server.Port(), 3306);
  EXPECT_EQ(server.UserName(), "root");
  EXPECT_EQ(server.Password(), "");
  EXPECT_EQ(server.DriverKind(), dtDirect);
  EXPECT_EQ(server.Protocol(), ptTCP);
  EXPECT_FALSE(server.LoginPrompt);
  EXPECT_FALSE(server.Connected());
  EXPECT_EQ(server.ServerVersion(), "-1");
  EXPECT_EQ(ClientFlags(server.Options()), 0x2600u);
  EXPECT_EQ(server.Options().Bits(), (1u << 9) | (1u << 11) | (1u << 12));
  EXPECT_NE(server.DriverProperties(), nullptr);

  // Bit 9 is 0x400 and bit 12 is 0x200; the component's own bits send nothing.
  struct Case {
    TMySQLServerOption option;
    std::uint32_t flag;
  };
  for (Case c : {Case{coLongPassword, 0x1}, Case{coConnectWithDB, 0x8}, Case{coCompress, 0x20},
                 Case{coInteractive, 0x400}, Case{coIgnoreSigpipe, 0x1000},
                 Case{coProtocol41, 0x200}, Case{coSecureConnection, 0x8000},
                 Case{coMultiQueries, 0x10000}, Case{soAutoCreate, 0}, Case{soDropIfExists, 0},
                 Case{soCloseOnChildren, 0}}) {
    EXPECT_EQ(ClientFlags({c.option}), c.flag) << static_cast<int>(c.option);
  }
  server.SetCompression(true);
  EXPECT_TRUE(server.Options().Contains(coCompress));
}

TEST(MySQLServerSettings, DriverAndProtocolSwitchesWriteParams) {
  TMySQLServer server;
  server.SetParams(Lines({"; comment", "[client]", "host=127.0.0.1"}));
  server.SetProtocol(ptPipe);
  EXPECT_EQ(server.Params().Text(), "[client]\r\nhost=127.0.0.1\r\n[direct]\r\nprotocol=pipe\r\n");
  server.SetDriverKind(dtLibrary);
  EXPECT_EQ(server.Params().Text(),
            "[client]\r\nhost=127.0.0.1\r\nprotocol=pipe\r\n[direct]\r\nprotocol=pipe\r\n");
  EXPECT_EQ(DriverOptionsText(*server.DriverProperties()), "host=127.0.0.1\r\nprotocol=pipe");
  server.SetDriverKind(dtDirect);
  EXPECT_EQ(server.DriverKind(), dtDirect);
}

TEST(MySQLServer, ConnectsSelectsAndCloses) {
  std::vector<std::string> events;  // outlives the component, whose destructor disconnects
  Recorded r;
  r.server.BeforeConnect = [&](TCustomConnection&) { events.push_back("BeforeConnect"); };
  r.server.OnLogin = [&](TMySQLServer&, mysql::TSBStringList&) { events.push_back("OnLogin"); };
  r.server.AfterConnect = [&](TCustomConnection&) { events.push_back("AfterConnect"); };
  r.server.BeforeDisconnect = [&](TCustomConnection&) { events.push_back("BeforeDisconnect"); };
  r.server.AfterDisconnect = [&](TCustomConnection&) { events.push_back("AfterDisconnect"); };
  r.server.SetDatabaseName("qm_test");
  r.server.Open();
  ASSERT_TRUE(r.server.Connected());
  EXPECT_EQ(r.driver->connects.back().flags, 0x2600u);
  EXPECT_EQ(r.driver->connects.back().database, "qm_test");
  EXPECT_GE(r.server.ServerVer(), 100000u);
  EXPECT_NE(r.server.ServerVersion(), "-1");
  EXPECT_FALSE(r.server.ClientVersion().empty());
  EXPECT_EQ(r.driver->selected, (std::vector<std::string>{"qm_test"}))
      << "selected after connecting unless coConnectWithDB";
  EXPECT_EQ(Column(r.server, "select database()"), (std::vector<std::string>{"qm_test"}));
  r.server.Close();
  EXPECT_FALSE(r.server.Connected());
  EXPECT_EQ(events, (std::vector<std::string>{"BeforeConnect", "OnLogin", "AfterConnect",
                                              "BeforeDisconnect", "AfterDisconnect"}));

  r.server.SetOptions(r.server.Options() + coConnectWithDB);
  r.driver->selected.clear();
  r.server.Open();
  EXPECT_TRUE(r.driver->selected.empty());
}

TEST(MySQLServer, PortFromParamsAndAPortTextThatIsNotANumber) {
  const TestServer& s = TestServer::Get();
  Recorded r;
  r.server.SetPort(1);
  r.server.SetParams(Lines({"[Client]", "port=" + std::to_string(s.port)}));
  r.server.Open();
  EXPECT_TRUE(r.server.Connected());
  EXPECT_EQ(r.server.Port(), s.port) << "the override stays in Port";
  r.server.Close();

  r.server.SetParams(Lines({"[client]", "port=33o6"}));
  r.server.Open();
  EXPECT_TRUE(r.server.Connected()) << "a port text that is not a number keeps Port";
  EXPECT_EQ(r.server.Port(), s.port);
  r.server.Close();
  r.server.SetParams(Lines({"[client]", "port=99999"}));
  r.server.Open();
  EXPECT_EQ(r.server.Port(), s.port) << "a number above 65535 is no port either";
}

TEST(MySQLServer, SettersDisconnectOnlyOnChange) {
  int disconnects = 0;
  Recorded r;
  r.server.Open();
  const TestServer& s = TestServer::Get();
  r.server.AfterDisconnect = [&](TCustomConnection&) { ++disconnects; };
  r.server.SetHost(s.host);
  r.server.SetPort(static_cast<std::uint16_t>(s.port));
  r.server.SetUserName(s.user);
  r.server.SetPassword(s.password);
  r.server.SetOptions(r.server.Options());
  r.server.SetCompression(false);
  r.server.SetParams(r.server.Params());
  r.server.SetDriverKind(dtDirect);
  r.server.SetProtocol(ptTCP);
  EXPECT_TRUE(r.server.Connected());
  EXPECT_EQ(disconnects, 0);

  struct Change {
    const char* what;
    std::function<void(TMySQLServer&)> set;
  };
  const std::vector<Change> changes = {
      {"Host", [](TMySQLServer& x) { x.SetHost("localhost"); }},
      {"Port", [](TMySQLServer& x) { x.SetPort(1); }},
      {"UserName", [](TMySQLServer& x) { x.SetUserName("someone"); }},
      {"Password", [](TMySQLServer& x) { x.SetPassword("other"); }},
      {"Options", [](TMySQLServer& x) { x.SetOptions(x.Options() + coFoundRows); }},
      {"Compression", [](TMySQLServer& x) { x.SetCompression(true); }},
      {"Params", [](TMySQLServer& x) { x.SetParams(Lines({"[direct]", "read_timeout=30"})); }},
      {"Protocol", [](TMySQLServer& x) { x.SetProtocol(ptPipe); }},
  };
  for (const Change& c : changes) {
    SCOPED_TRACE(c.what);
    Recorded fresh;
    fresh.server.Open();
    ASSERT_TRUE(fresh.server.Connected());
    c.set(fresh.server);
    EXPECT_FALSE(fresh.server.Connected());
  }
}

TEST(MySQLServer, DatabaseNameSwitchesWithoutReconnecting) {
  Recorded r;
  ASSERT_TRUE(r.server.ExecSQL("create database if not exists qm_srv_a"));
  ASSERT_TRUE(r.server.ExecSQL("create database if not exists qm_srv_b"));
  const auto id = Column(r.server, "select connection_id()");
  r.server.SetDatabaseName("qm_srv_b");
  EXPECT_EQ(Column(r.server, "select database()"), (std::vector<std::string>{"qm_srv_b"}));
  r.server.SetDatabaseName("qm_srv_a");
  EXPECT_EQ(Column(r.server, "select database()"), (std::vector<std::string>{"qm_srv_a"}));
  r.driver->selected.clear();
  r.server.SetDatabaseName("");
  EXPECT_TRUE(r.driver->selected.empty()) << "an empty name selects nothing";
  EXPECT_EQ(Column(r.server, "select database()"), (std::vector<std::string>{"qm_srv_a"}));
  EXPECT_EQ(Column(r.server, "select connection_id()"), id);
  EXPECT_EQ(r.driver->connects.size(), 1u);
}

TEST(MySQLServer, TableNamesWithAndWithoutADatabaseName) {
  Recorded r;
  ASSERT_TRUE(r.server.ExecSQLBatch(Lines({"drop database if exists `qm srv blank`;",
                                           "create database `qm srv blank`;",
                                           "create table `qm srv blank`.`order lines` (a int);",
                                           "create table `qm srv blank`.t2 (a int);"})));
  mysql::TSBStringList names;
  r.server.GetTableNames("qm srv blank", names);
  EXPECT_EQ(r.driver->queries.back(), "show tables from `qm srv blank`");
  EXPECT_EQ(names.Lines(), (std::vector<std::string>{"order lines", "t2"}));

  r.server.SetDatabaseName("qm srv blank");
  names.Add("stale");
  r.server.GetTableNames("", names);
  EXPECT_EQ(r.driver->queries.back(), "show tables");
  EXPECT_EQ(names.Count(), 2u) << "the list is cleared first";

  EXPECT_THROW(r.server.GetTableNames("qm_no_such_db", names), ado::DatabaseError);
}

TEST(MySQLServer, SemicolonRuleByServerVersion) {
  for (std::uint32_t version : {32199u, 32200u, 40100u}) {
    SCOPED_TRACE(version);
    Recorded r;
    r.driver->claimedServerVersion = version;
    ASSERT_TRUE(r.server.ExecSQL("select 1;"));
    EXPECT_EQ(r.driver->queries.back(), version < 32200 ? "select 1" : "select 1;");
  }
}

TEST(MySQLServer, TooOldServerIsRefusedAndLeftDisconnected) {
  Recorded r;
  r.driver->claimedServerVersion = 32099;
  try {
    r.server.Open();
    FAIL() << "connected to a 3.20 server";
  } catch (const ado::DatabaseError& e) {
    EXPECT_EQ(std::string(e.what()).rfind(
                  "Only compatible with MySQL Server 3.21.xx and higher. Your version: 32099", 0),
              0u)
        << e.what();
  }
  EXPECT_FALSE(r.server.Connected());
  EXPECT_EQ(r.driver->closes, 1);
}

TEST(MySQLServer, AutoCreateScript) {
  struct Case {
    bool dropFirst;
    std::string script;
  };
  const std::vector<Case> cases = {
      {false, "create database if not exists qm_auto;\r\nuse qm_auto;\r\nuse qm_auto;"},
      {true,
       "drop database if exists qm_auto;\r\ncreate database if not exists qm_auto;\r\n"
       "use qm_auto;\r\nuse qm_auto;"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dropFirst);
    Recorded r;
    auto options = r.server.Options() + soAutoCreate;
    if (c.dropFirst) options.Include(soDropIfExists);
    r.server.SetOptions(options);
    r.server.SetDatabaseName("qm_auto");
    r.server.Open();
    ASSERT_TRUE(r.server.Connected());
    EXPECT_EQ(r.driver->connects.back().database, "") << "opened without the database";
    EXPECT_EQ(r.server.DatabaseName(), "qm_auto");
    std::vector<std::string> expected;
    if (c.dropFirst) expected.push_back("drop database if exists qm_auto;");
    expected.insert(expected.end(), {"create database if not exists qm_auto;", "use qm_auto;",
                                     "use qm_auto;"});
    EXPECT_EQ(r.driver->queries, expected);
    EXPECT_EQ(Column(r.server, "select database()"), (std::vector<std::string>{"qm_auto"}));
    EXPECT_EQ(r.server.CreateDatabaseScript(false), c.script);
  }
}

TEST(MySQLServer, AutoCreateFailureKeepsTheDatabaseNameAndClosesTheHandle) {
  Recorded r;
  r.server.SetOptions(r.server.Options() + soAutoCreate);
  r.server.SetDatabaseName("qm_auto_fail");
  r.driver->failQueriesContaining = "create database";
  EXPECT_THROW(r.server.Open(), ado::DatabaseError);
  EXPECT_FALSE(r.server.Connected());
  EXPECT_EQ(r.server.DatabaseName(), "qm_auto_fail");
  EXPECT_EQ(r.driver->closes, 1);
}

TEST(MySQLServer, ConnectFailureNamesWhatWasUsed) {
  const TestServer& s = TestServer::Get();
  TMySQLServer server;
  server.SetHost("127.0.0.1");
  server.SetPort(1);  // nothing listens there
  server.SetUserName(s.user);
  server.SetDatabaseName("qm_test");
  try {
    server.Open();
    FAIL() << "connected to a closed port";
  } catch (const ado::DatabaseError& e) {
    const std::string text = e.what();
    EXPECT_NE(text.find("Could not connect to mysql server using:\r\nUser: " + s.user +
                        "\r\nHost:127.0.0.1\r\nPort:1\r\nDB:qm_test\r\nPlease check the following:\r\n"
                        "> MySQL Server is running on the host and port specified"),
              std::string::npos)
        << text;
  }
  EXPECT_FALSE(server.Connected());
  UseTestServer(server);
  server.Open();
  EXPECT_TRUE(server.Connected()) << "a failed connect leaves the component able to connect";
}

TEST(MySQLServer, BatchWithCommentsAndAMultiLineString) {
  Recorded r;
  r.server.SetDatabaseName("qm_test");
  ASSERT_TRUE(r.server.ExecSQLBatch(Lines({
      "-- a script as a person writes it",
      "drop table if exists qm_batch; # gone first",
      "create table qm_batch (id int, txt text); /* the table",
      "   spans lines */",
      "insert into qm_batch values (1, 'first line",
      "second line; with a semicolon');",
  })));
  EXPECT_EQ(Column(r.server, "select replace(txt, '\\r\\n', '|') from qm_batch"),
            (std::vector<std::string>{"first line|second line; with a semicolon"}));
  EXPECT_FALSE(r.server.ExecSQLBatch(Lines({"-- only a comment", "/* and another */"})));
  EXPECT_THROW(r.server.ExecSQLBatch(Lines({"select 1;", "selec 2;", "select 3;"})), ado::DatabaseError);
  EXPECT_EQ(r.driver->queries.back(), "selec 2;") << "the rest is not run";
}

TEST(MySQLServer, LoginDialog) {
  const TestServer& s = TestServer::Get();
  Login login;
  bool after = false;
  Recorded r;
  r.server.LoginDialog = &login;
  r.server.LoginPrompt = true;
  r.server.SetPassword("");
  r.server.AfterConnect = [&](TCustomConnection&) { after = true; };

  login.answer = false;
  r.server.Open();
  EXPECT_EQ(login.calls, 1);
  EXPECT_FALSE(r.server.Connected()) << "a cancelled login leaves it disconnected";
  EXPECT_FALSE(after);
  EXPECT_TRUE(r.driver->connects.empty());
  EXPECT_EQ(login.shown.Host, s.host);
  EXPECT_EQ(login.shown.Port, std::to_string(s.port));
  EXPECT_EQ(login.shown.UserName, s.user);
  EXPECT_EQ(login.shown.Password, "");

  login.answer = true;
  login.password = s.password;
  r.server.Open();
  EXPECT_TRUE(r.server.Connected());
  EXPECT_TRUE(after);
  EXPECT_EQ(r.server.Password(), s.password);

  TMySQLServer noDialog;
  noDialog.LoginPrompt = true;
  EXPECT_THROW(noDialog.Open(), ado::DatabaseError) << "never a silent no-op";
}

TEST(MySQLServer, CloseOnChildrenAndAssign) {
  Recorded r;
  r.server.SetOptions(r.server.Options() + soCloseOnChildren);
  ASSERT_TRUE(r.server.ExecSQL("select 1"));
  EXPECT_FALSE(r.server.Connected()) << "no dataset is open, so the statement closes it";

  TMySQLServer copy;
  copy.Assign(r.server);
  EXPECT_EQ(copy.Host(), r.server.Host());
  EXPECT_EQ(copy.Port(), r.server.Port());
  EXPECT_EQ(copy.UserName(), r.server.UserName());
  EXPECT_EQ(copy.Password(), r.server.Password());
  EXPECT_EQ(copy.Options(), r.server.Options());
  copy.Open();
  EXPECT_TRUE(copy.Connected());
  EXPECT_EQ(copy.EscapeString("it's a \\ test"), "it\\'s a \\\\ test");
  EXPECT_EQ(copy.QuoteName("order"), "`order`");
}

TEST(MySQLServer, DataModuleConnectionsAreClosedWithTheOthers) {
  TdmMain dm;
  EXPECT_EQ(dm.cnnMySQLSource.Host(), "localhost");
  EXPECT_EQ(dm.cnnMySQLDest.UserName(), "root");
  EXPECT_FALSE(dm.cnnMySQLSource.Connected());
  UseTestServer(dm.cnnMySQLDest);
  dm.cnnMySQLDest.Open();
  ASSERT_TRUE(dm.cnnMySQLDest.Connected());
  dm.CloseConnections();
  EXPECT_FALSE(dm.cnnMySQLDest.Connected());
}

// The main paths through the client library (libmariadb.so.3) instead of the built-in client.
TEST(MySQLServerLibrary, ConnectStatementsTablesAndFailure) {
  TMySQLServer server;
  server.SetDriverKind(dtLibrary);
  UseTestServer(server);
  server.SetDatabaseName("qm_test");
  server.Open();
  ASSERT_TRUE(server.Connected());
  EXPECT_GE(server.ServerVer(), 100000u);
  ASSERT_TRUE(server.ExecSQLBatch(Lines({"drop table if exists qm_lib;", "create table qm_lib (a int);"})));
  mysql::TSBStringList names;
  server.GetTableNames("qm_test", names);
  EXPECT_NE(std::find(names.begin(), names.end(), "qm_lib"), names.end());
  server.SetDatabaseName("mysql");
  EXPECT_EQ(Column(server, "select database()"), (std::vector<std::string>{"mysql"}));
  EXPECT_THROW(server.ExecSQL("selec 1"), ado::DatabaseError);
  server.Close();
  server.SetPort(1);
  EXPECT_THROW(server.Open(), ado::DatabaseError);
  EXPECT_FALSE(server.Connected());
}

}  // namespace
