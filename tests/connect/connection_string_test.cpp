#include "connect/connection_string.h"

#include <gtest/gtest.h>

#include "platform/ado/connection.h"
#include "platform/ado/connection_string.h"
#include "platform/ui/messages.h"

namespace {

TConnectionEntries Access(TAccessVersion v, std::string file) {
  TConnectionEntries e;
  e.page = TConnectionPage::MSAccess;
  e.accessVersion = v;
  e.accessFile = std::move(file);
  return e;
}

TConnectionEntries MSSQL(TMSSQLVersion v, TMSSQLConnectionType t, std::string server,
                         std::string database, std::string user, std::string password) {
  TConnectionEntries e;
  e.page = TConnectionPage::MSSQL;
  e.sqlVersion = v;
  e.sqlConnectionType = t;
  e.serverName = std::move(server);
  e.databaseName = std::move(database);
  e.userName = std::move(user);
  e.password = std::move(password);
  return e;
}

TConnectionEntries MySQL(std::string dsn) {
  TConnectionEntries e;
  e.page = TConnectionPage::MySQLODBC;
  e.odbcSource = std::move(dsn);
  return e;
}

using V = TMSSQLVersion;
using T = TMSSQLConnectionType;

TEST(ConnectionStrings, EveryPageAndChoiceWithTrimmedValues) {
  struct Case {
    const char* name;
    TConnectionEntries entries;
    const char* expected;
  };
  const Case cases[] = {
      {"access 97-2003 keeps its trailing semicolon",
       Access(TAccessVersion::Access2003, "  /data/North wind.mdb "),
       "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/data/North wind.mdb;Persist Security "
       "Info=False;"},
      {"access 2007 has none", Access(TAccessVersion::Access2007, "\t/data/a.accdb"),
       "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=/data/a.accdb;Persist Security Info=False"},
      {"empty access file is not checked", Access(TAccessVersion::Access2003, ""),
       "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=;Persist Security Info=False;"},
      {"sql 2000 windows security",
       MSSQL(V::MSSQL2000, T::WindowsSecurity, " (local) ", " Sales ", "sa", "pw"),
       "Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;Data "
       "Source=(local);Initial Catalog=Sales;"},
      {"sql 2005 windows security ignores an empty user",
       MSSQL(V::MSSQL2005, T::WindowsSecurity, "db1\\SQLEXPRESS", "Sales", "", ""),
       "Provider=SQLNCLI.1;Integrated Security=SSPI;Persist Security Info=False;Data "
       "Source=db1\\SQLEXPRESS;Initial Catalog=Sales;"},
      {"sql 2000 user and password, password trimmed",
       MSSQL(V::MSSQL2000, T::UserAndPassword, "127.0.0.1,1433", "Sales", " sa ", "  s3 cret  "),
       "Provider=SQLOLEDB.1;Data Source=127.0.0.1,1433;Initial Catalog=Sales;User "
       "ID=sa;Password=s3 cret;Persist Security Info=True;"},
      {"sql 2005 user and password, empty password",
       MSSQL(V::MSSQL2005, T::UserAndPassword, "(local)", "Sales", "sa", ""),
       "Provider=SQLNCLI.1;Data Source=(local);Initial Catalog=Sales;User "
       "ID=sa;Password=;Persist Security Info=True;"},
      {"mysql data source", MySQL("  qm_src "),
       "Provider=MSDASQL.1;Persist Security Info=False;Data Source=qm_src"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TEntryCheck check = CheckEntries(c.entries);
    EXPECT_TRUE(check.passed()) << check.warning;
    EXPECT_EQ(check.connectionString, c.expected);
  }
}

TEST(ConnectionStrings, ChecksInOrderWithTheirFocus) {
  struct Case {
    const char* name;
    TConnectionEntries entries;
    const char* warning;
    TEntryFocus focus;
  };
  const Case cases[] = {
      {"server first, even with everything else empty",
       MSSQL(V::MSSQL2000, T::UserAndPassword, "   ", "", "", ""),
       "Please provide Server name or IP Address of your MSSQL Server.", TEntryFocus::ServerName},
      {"user before database", MSSQL(V::MSSQL2000, T::UserAndPassword, "srv", "", " ", ""),
       "Please provide username.", TEntryFocus::UserName},
      {"database last", MSSQL(V::MSSQL2005, T::UserAndPassword, "srv", " ", "sa", ""),
       "Please provide target MSSQL database name", TEntryFocus::DatabaseName},
      {"windows security skips the user",
       MSSQL(V::MSSQL2000, T::WindowsSecurity, "srv", "", "", ""),
       "Please provide target MSSQL database name", TEntryFocus::DatabaseName},
      {"no data source", MySQL(""), "Please select your mysql odbc connection setting.",
       TEntryFocus::ODBCSource},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TEntryCheck check = CheckEntries(c.entries);
    EXPECT_FALSE(check.passed());
    EXPECT_EQ(check.warning, c.warning);
    EXPECT_EQ(check.focus, c.focus);
    EXPECT_EQ(check.connectionString, "");
  }
}

TEST(ConnectionStrings, PageOfEachKind) {
  EXPECT_EQ(PageForKind(dkAccess), TConnectionPage::MSAccess);
  EXPECT_EQ(PageForKind(static_cast<TDatabaseKind>(1)), TConnectionPage::MSAccess);
  EXPECT_EQ(PageForKind(dkSQLServer), TConnectionPage::MSSQL);
  EXPECT_EQ(PageForKind(static_cast<TDatabaseKind>(3)), TConnectionPage::MSSQL);
  EXPECT_EQ(PageForKind(dkMySQL), TConnectionPage::MySQLODBC);
  EXPECT_EQ(PageForKind(dkNone), TConnectionPage::MSAccess);
}

TEST(ConnectionStrings, AccessFileFilterFollowsTheVersion) {
  EXPECT_EQ(AccessFileFilter(TAccessVersion::Access2003),
            "Microsoft Access 97/2000/2003 (*.mdb)|*.mdb");
  EXPECT_EQ(AccessFileFilter(TAccessVersion::Access2007),
            "Microsoft Access 2007 (*.accdb)|*.accdb");
}

class TestConnectionMessages : public ::testing::Test {
 protected:
  ui::RecordingMessages messages;
  ui::ScopedMessages scope{messages};
  ado::Connection connection;
};

TEST_F(TestConnectionMessages, FailedCheckWarnsEvenWithoutMessagesAndLeavesCursorNormal) {
  TEntryFocus focus = TEntryFocus::None;
  EXPECT_FALSE(TestConnection(connection, MySQL(""), false, &focus));
  ASSERT_EQ(messages.entries.size(), 1u);
  EXPECT_EQ(messages.entries[0].kind, ui::MessageKind::Warning);
  EXPECT_EQ(messages.entries[0].text, "Please select your mysql odbc connection setting.");
  EXPECT_EQ(focus, TEntryFocus::ODBCSource);
  EXPECT_EQ(messages.busyChanges, (std::vector<bool>{true, false}));
  EXPECT_FALSE(connection.isOpen());
}

TEST_F(TestConnectionMessages, OpenFailureGivesTheProvidersTextOnlyWhenAsked) {
  // No such provider exists: opening fails with the layer's own message.
  TConnectionEntries e = MySQL("qm_src");
  e.page = TConnectionPage::MSAccess;
  e.accessFile = "/nonexistent/quillmark-test.mdb";
  EXPECT_FALSE(TestConnection(connection, e, false, nullptr));
  EXPECT_TRUE(messages.entries.empty());

  EXPECT_FALSE(TestConnection(connection, e, true, nullptr));
  ASSERT_EQ(messages.entries.size(), 1u);
  EXPECT_EQ(messages.entries[0].kind, ui::MessageKind::Error);
  const std::string prefix =
      "Test connection failed because of an error in initializing provider. \r\n";
  EXPECT_EQ(messages.entries[0].text.substr(0, prefix.size()), prefix);
  EXPECT_GT(messages.entries[0].text.size(), prefix.size()) << "the provider's text is missing";
  EXPECT_EQ(messages.busyChanges.back(), false);
  EXPECT_EQ(connection.connectionString(),
            "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/nonexistent/quillmark-test.mdb;"
            "Persist Security Info=False;");
}

}  // namespace

namespace {

TEST(ConnectionStrings, ValuesThatWouldBreakTheStringArriveWhole) {
  struct Case {
    TConnectionEntries entries;
    const char* key;
    const char* value;
    std::size_t keys;  // of the template: a value must add none
  };
  const Case cases[] = {
      {MSSQL(V::MSSQL2000, T::UserAndPassword, "srv", "Sales", "sa", " pa;ss "), "Password",
       "pa;ss", 6},
      {MSSQL(V::MSSQL2000, T::UserAndPassword, "srv", "Sales", "sa", "\"quoted\""), "Password",
       "\"quoted\"", 6},
      {MSSQL(V::MSSQL2000, T::UserAndPassword, "srv", "Sales", "sa", "'x"), "Password", "'x", 6},
      {MSSQL(V::MSSQL2000, T::UserAndPassword, "srv", "Sales;Extra=1", "sa", ""), "Initial Catalog",
       "Sales;Extra=1", 6},
      {Access(TAccessVersion::Access2003, "/data/a;b.mdb"), "Data Source", "/data/a;b.mdb", 3},
      {MySQL("dsn;Provider=SQLOLEDB"), "Data Source", "dsn;Provider=SQLOLEDB", 3},
  };
  for (const Case& c : cases) {
    const TEntryCheck check = CheckEntries(c.entries);
    ASSERT_TRUE(check.passed());
    const ado::ConnectionString parsed(check.connectionString);
    EXPECT_EQ(parsed.value(c.key), c.value) << check.connectionString;
    EXPECT_EQ(parsed.pairs().size(), c.keys) << check.connectionString;
  }
  EXPECT_EQ(CheckEntries(MSSQL(V::MSSQL2000, T::UserAndPassword, "srv", "Sales", "sa", "a;b"))
                .connectionString,
            "Provider=SQLOLEDB.1;Data Source=srv;Initial Catalog=Sales;User "
            "ID=sa;Password=\"a;b\";Persist Security Info=True;");
}

}  // namespace
