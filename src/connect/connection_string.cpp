#include "connect/connection_string.h"

#include <exception>

#include "platform/ado/connection.h"
#include "platform/text/text.h"
#include "platform/ui/messages.h"

namespace {

// A value as it goes into a template: unchanged, unless a ";" would end it early or a
// leading quote would be read as quoting; then in double quotes, inner ones doubled,
// which the connection-string reader takes back to the value itself. Blanks and
// control characters at both ends go first, as the user cannot see them.
std::string Value(const std::string& raw) {
  const std::string v(text::TrimControls(raw));
  if (v.find(';') == std::string::npos && (v.empty() || (v[0] != '"' && v[0] != '\''))) return v;
  std::string quoted = "\"";
  for (char c : v) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

TEntryCheck Failed(const char* warning, TEntryFocus focus) {
  TEntryCheck c;
  c.warning = warning;
  c.focus = focus;
  return c;
}

TEntryCheck Built(std::string s) {
  TEntryCheck c;
  c.connectionString = std::move(s);
  return c;
}

// The busy cursor for one scope; end() turns it off early, before a message.
class BusyCursor {
 public:
  BusyCursor() { ui::current().setBusy(true); }
  ~BusyCursor() { end(); }
  void end() {
    if (on_) ui::current().setBusy(false);
    on_ = false;
  }

 private:
  bool on_ = true;
};

}  // namespace

TConnectionPage PageForKind(TDatabaseKind kind) {
  if (IsSQLServerDialect(kind)) return TConnectionPage::MSSQL;
  if (IsMySQLDialect(kind)) return TConnectionPage::MySQLODBC;
  return TConnectionPage::MSAccess;
}

TEntryCheck CheckEntries(const TConnectionEntries& e) {
  switch (e.page) {
    case TConnectionPage::MSAccess: {
      const std::string file = Value(e.accessFile);
      if (e.accessVersion == TAccessVersion::Access2007)
        return Built("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + file +
                     ";Persist Security Info=False");
      return Built("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + file +
                   ";Persist Security Info=False;");
    }
    case TConnectionPage::MSSQL: {
      const bool withLogin = e.sqlConnectionType == TMSSQLConnectionType::UserAndPassword;
      const std::string server = Value(e.serverName);
      const std::string database = Value(e.databaseName);
      const std::string user = Value(e.userName);
      if (server.empty())
        return Failed("Please provide Server name or IP Address of your MSSQL Server.",
                      TEntryFocus::ServerName);
      if (withLogin && user.empty())
        return Failed("Please provide username.", TEntryFocus::UserName);
      if (database.empty())
        return Failed("Please provide target MSSQL database name", TEntryFocus::DatabaseName);
      const std::string provider =
          e.sqlVersion == TMSSQLVersion::MSSQL2005 ? "SQLNCLI.1" : "SQLOLEDB.1";
      if (!withLogin)
        return Built("Provider=" + provider +
                     ";Integrated Security=SSPI;Persist Security Info=False;Data Source=" + server +
                     ";Initial Catalog=" + database + ";");
      return Built("Provider=" + provider + ";Data Source=" + server +
                   ";Initial Catalog=" + database + ";User ID=" + user +
                   ";Password=" + Value(e.password) + ";Persist Security Info=True;");
    }
    case TConnectionPage::MySQLODBC: {
      const std::string dsn = Value(e.odbcSource);
      // Checked on the text as it stands: a name of blanks only passes and then
      // fails to open, which names the cause.
      if (e.odbcSource.empty())
        return Failed("Please select your mysql odbc connection setting.", TEntryFocus::ODBCSource);
      return Built("Provider=MSDASQL.1;Persist Security Info=False;Data Source=" + dsn);
    }
  }
  return Failed("Please select your mysql odbc connection setting.", TEntryFocus::ODBCSource);
}

std::string AccessFileFilter(TAccessVersion version) {
  return version == TAccessVersion::Access2007 ? "Microsoft Access 2007 (*.accdb)|*.accdb"
                                               : "Microsoft Access 97/2000/2003 (*.mdb)|*.mdb";
}

bool TestConnection(ado::Connection& connection, const TConnectionEntries& entries,
                    bool showMessages, TEntryFocus* focus) {
  if (focus) *focus = TEntryFocus::None;
  BusyCursor busy;
  connection.close();
  const TEntryCheck check = CheckEntries(entries);
  if (!check.passed()) {
    busy.end();
    ui::ShowMessage(ui::MessageKind::Warning, check.warning);
    if (focus) *focus = check.focus;
    return false;
  }
  std::string error;
  try {
    connection.setConnectionString(check.connectionString);
    connection.open();
  } catch (const std::exception& ex) {
    error = ex.what();
    if (error.empty()) error = "Unknown error.";
  }
  busy.end();
  if (error.empty()) {
    if (showMessages) ui::ShowMessage(ui::MessageKind::Information, "Test connection succeeded.");
    return true;
  }
  if (showMessages)
    ui::ShowMessage(
        ui::MessageKind::Error,
        "Test connection failed because of an error in initializing provider. \r\n" + error);
  return false;
}
