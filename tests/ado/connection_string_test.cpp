#include "platform/ado/connection_string.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/ado/odbc/odbc_schema.h"
#include "platform/ado/odbc/sqlserver.h"
#include "platform/ado/provider.h"

namespace {

TEST(ConnectionString, ParsesOleDbPairs) {
  struct Case {
    const char* text;
    const char* key;
    std::optional<std::string> value;
  } cases[] = {
      {"Provider=MSDASQL.1;Persist Security Info=False;Data Source=qm_src", "data source",
       "qm_src"},
      {"Provider=MSDASQL.1;Data Source = qm src ;", "Data Source", "qm src"},
      {"Password='a;b''c';User ID=sa", "password", "a;b'c"},
      {"Password=\"x\"\"y\" ;User ID=sa", "PASSWORD", "x\"y"},
      {"Password=;User ID=sa", "Password", ""},
      {"a==b=1", "a=b", "1"},
      {"Provider=A;provider=B", "Provider", "B"},  // the last one holds
      {";;junk;Data Source=x", "Data Source", "x"},
      {"Data Source=x", "Initial Catalog", std::nullopt},
      {"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=/tmp/a b.accdb;Persist Security Info=False",
       "Data Source", "/tmp/a b.accdb"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ado::ConnectionString(c.text).get(c.key), c.value) << c.text;
}

TEST(ConnectionString, AQuoteLeftOpenIsNamedByItsKeyAndRefusedOnOpen) {
  struct Case {
    const char* text;
    std::optional<std::string> key;
    const char* named;  // as the message names the key
  } cases[] = {
      {"Provider=MSDASQL.1;Password='a;b''c';Data Source=x", std::nullopt, ""},
      {"Provider=MSDASQL.1;=\"x\";Data Source=x", std::nullopt, ""},
      {"Provider=MSDASQL.1;Password='a;Data Source=x", "Password", "Password"},
      {"Data Source=\"x;Provider=MSDASQL.1", "Data Source", "Data Source"},
      {"User ID=a;Password= 'x'';Data Source=y", "Password", "Password"},  // doubled: no end
      // An empty key is no pair, but its quote swallows what follows all the same.
      {"=\" ;Provider=x", "", "an empty key"},
      {";=\"x", "", "an empty key"},
      {"= 'abc", "", "an empty key"},
      {"Data Source=qm_src; \t='x;Provider=SQLOLEDB", "", "an empty key"},
  };
  for (const Case& c : cases) {
    const ado::ConnectionString cs(c.text);
    EXPECT_EQ(cs.unclosedQuoteKey(), c.key) << c.text;
    EXPECT_EQ(cs.unclosedQuoteKeyName(), c.named) << c.text;
    if (!c.key) continue;
    try {
      ado::OpenProviderSession(c.text);
      ADD_FAILURE() << "opened " << c.text;
    } catch (const ado::DatabaseError& e) {
      EXPECT_EQ(e.what(), std::string("The value of ") + c.named +
                              " in the connection string opens a quote that is never closed.");
    }
  }
}

TEST(ConnectionString, TimeoutsAreWholeSecondsWithThirtyWhenAbsent) {
  struct Case {
    const char* text;
    unsigned login;
    unsigned catalogue;
  } cases[] = {
      {"Provider=MSDASQL.1;Data Source=x", 30, 30},
      {"Provider=MSDASQL.1;Connect Timeout=5;Command Timeout=0", 5, 0},
      {"connect timeout = 120 ", 120, 30},
  };
  for (const Case& c : cases) {
    const auto t = ado::TimeoutsOf(ado::ConnectionString(c.text));
    EXPECT_EQ(t.loginSeconds, c.login) << c.text;
    EXPECT_EQ(t.catalogueSeconds, c.catalogue) << c.text;
  }
  for (const char* bad : {"Connect Timeout=-1", "Connect Timeout=", "Command Timeout=2s"})
    EXPECT_THROW(ado::TimeoutsOf(ado::ConnectionString(bad)), ado::DatabaseError) << bad;
}

TEST(ConnectionString, ProviderNamesLoseTheirVersion) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {{"MSDASQL.1", "MSDASQL"},
               {"msdasql", "MSDASQL"},
               {"Microsoft.Jet.OLEDB.4.0", "MICROSOFT.JET.OLEDB"},
               {" Microsoft.ACE.OLEDB.12.0 ", "MICROSOFT.ACE.OLEDB"},
               {"SQLNCLI.1", "SQLNCLI"},
               {"SQLOLEDB", "SQLOLEDB"}};
  for (const Case& c : cases) EXPECT_EQ(ado::ProviderBaseName(c.in), c.out) << c.in;
}

TEST(ConnectionString, OdbcValuesAreBracedWhenTheyCouldEndTheAttribute) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {{"qm_src", "qm_src"}, {"a;b", "{a;b}"}, {"a}b", "{a}}b}"},
               {"", "{}"},           {" x", "{ x}"},   {"a=b", "{a=b}"}};
  for (const Case& c : cases) EXPECT_EQ(ado::OdbcAttributeValue(c.in), c.out) << c.in;
}

TEST(ConnectionString, DataSourceNamesBecomeOdbcStrings) {
  EXPECT_EQ(ado::MsdasqlOdbcConnectionString(ado::ConnectionString(
                "Provider=MSDASQL.1;Persist Security Info=False;Data Source=qm_src")),
            "DSN=qm_src;");
  EXPECT_EQ(ado::MsdasqlOdbcConnectionString(ado::ConnectionString(
                "Provider=MSDASQL.1;Data Source=my dsn;User ID=u;Password=p;w")),
            "DSN=my dsn;UID=u;PWD=p;");
}

TEST(ConnectionString, SqlServerStringsBecomeDriverStrings) {
  const std::string d = "Driver=/x/libtdsodbc.so;";
  struct Case {
    const char* oledb;
    std::string odbc;
  } cases[] = {
      {"Provider=SQLOLEDB.1;Data Source=(local);Initial Catalog=shop;User ID=sa;Password= p w ;"
       "Persist Security Info=True;",
       d + "Server=localhost;Database=shop;UID=sa;PWD=p w;TDS_Version=7.1;ClientCharset=UTF-8;"},
      {"Provider=SQLNCLI.1;Integrated Security=SSPI;Persist Security Info=False;Data Source=.;"
       "Initial Catalog=shop;",
       d + "Server=localhost;Database=shop;Trusted_Connection=Yes;TDS_Version=7.2;ClientCharset="
           "UTF-8;"},
      {"Provider=SQLOLEDB.1;Data Source=127.0.0.1,1433;Initial Catalog=a;b;User ID=sa;Password=;",
       d + "Server=127.0.0.1;Port=1433;Database=a;UID=sa;PWD={};TDS_Version=7.1;ClientCharset=UTF-"
           "8;"},
      {"Provider=SQLNCLI.1;Data Source=(local)\\SQLEXPRESS;Initial Catalog=x y;User "
       "ID=sa;Password=a;b;",
       d + "Server=localhost\\SQLEXPRESS;Database=x "
           "y;UID=sa;PWD=a;TDS_Version=7.2;ClientCharset=UTF-8;"},
      {"Provider=SQLOLEDB.1;Data Source=db1\\INST,1500;Initial Catalog=x;User "
       "ID=sa;Password='p;q';",
       d + "Server=db1\\INST;Port=1500;Database=x;UID=sa;PWD={p;q};TDS_Version=7.1;ClientCharset="
           "UTF-8;"},
  };
  for (const Case& c : cases) {
    const ado::ConnectionString cs(c.oledb);
    const bool native = ado::ProviderBaseName(cs.value("Provider")) == "SQLNCLI";
    EXPECT_EQ(ado::odbc::SqlServerOdbcConnectionString(cs, native, "/x/libtdsodbc.so"), c.odbc)
        << c.oledb;
  }
}

TEST(ConnectionString, SqlServerDriverCanBeChosen) {
  setenv("QUILLMARK_SQLSERVER_ODBC_DRIVER", "ODBC Driver 18 for SQL Server", 1);
  EXPECT_EQ(ado::odbc::SqlServerDriver(), "ODBC Driver 18 for SQL Server");
  unsetenv("QUILLMARK_SQLSERVER_ODBC_DRIVER");
  EXPECT_NE(ado::odbc::SqlServerDriver().find("tds"), std::string::npos);
  EXPECT_NE(ado::odbc::SqlServerOdbcConnectionString(ado::ConnectionString("Data Source=h"), false,
                                                     "ODBC Driver 18 for SQL Server")
                .find("Driver=ODBC Driver 18 for SQL Server;"),
            std::string::npos);
}

TEST(SqlServerTables, SystemViewsAreNoViewsToCopy) {
  struct Case {
    const char* schema;
    const char* type;
    const char* out;
  } cases[] = {{"INFORMATION_SCHEMA", "VIEW", "SYSTEM VIEW"},
               {"sys", "VIEW", "SYSTEM VIEW"},
               {"dbo", "VIEW", "VIEW"},
               {"sys", "SYSTEM TABLE", "SYSTEM TABLE"},
               {"sales", "TABLE", "TABLE"}};
  for (const Case& c : cases)
    EXPECT_EQ(ado::odbc::SqlServerTableType(c.schema, c.type), c.out) << c.schema;
}

TEST(SqlServerTables, NamesInCatalogueArgumentsMatchOnlyThemselves) {
  struct Case {
    const char* name;
    const char* escape;
    const char* out;
  } cases[] = {{"order_items", "\\", "order\\_items"},
               {"100%", "\\", "100\\%"},
               {"a\\b", "\\", "a\\\\b"},
               {"plain", "\\", "plain"},
               {"a_b", "", "a_b"}};
  for (const Case& c : cases)
    EXPECT_EQ(ado::odbc::EscapeSearchPattern(c.name, c.escape), c.out) << c.name;
}

}  // namespace
