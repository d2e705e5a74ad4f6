// What the connection settings dialog decides, without a window: the page of a
// database kind, the checks of the user's entries in their fixed order, the
// connection string templates, and the check-and-open routine itself.
#pragma once

#include <string>

#include "core/project_settings.h"

namespace ado {
class Connection;
}

enum class TConnectionPage { MSAccess, MSSQL, MySQLODBC };
// Any kind without a page of its own shows the Access page.
TConnectionPage PageForKind(TDatabaseKind kind);

enum class TAccessVersion { Access2003, Access2007 };
enum class TMSSQLVersion { MSSQL2000, MSSQL2005 };
enum class TMSSQLConnectionType { WindowsSecurity, UserAndPassword };

// The entries of the page in front, untrimmed, as the user left them.
struct TConnectionEntries {
  TConnectionPage page = TConnectionPage::MSAccess;
  TAccessVersion accessVersion = TAccessVersion::Access2003;
  std::string accessFile;
  TMSSQLVersion sqlVersion = TMSSQLVersion::MSSQL2000;
  TMSSQLConnectionType sqlConnectionType = TMSSQLConnectionType::UserAndPassword;
  std::string serverName;
  std::string databaseName;
  std::string userName;
  std::string password;
  std::string odbcSource;
};

// The control a failed check hands the focus to.
enum class TEntryFocus { None, ServerName, UserName, DatabaseName, ODBCSource };

struct TEntryCheck {
  // Empty when a check failed.
  std::string connectionString;
  // The warning of the failed check; empty when every check passed.
  std::string warning;
  TEntryFocus focus = TEntryFocus::None;
  bool passed() const { return warning.empty(); }
};

// Runs the page's checks in order and builds the connection string from the
// trimmed values. An empty Access file name is not checked: opening then fails.
// A value holding ";" or starting with a quote is written in double quotes (inner
// ones doubled), so it reaches the provider whole; every other value as it is.
TEntryCheck CheckEntries(const TConnectionEntries& entries);

// The browse button's file filter of a version, in the "text|pattern" form.
std::string AccessFileFilter(TAccessVersion version);

// Closes the connection, checks the entries, opens the connection with the new
// string and reports through ui messages: a failed check always warns, the result of
// opening only when showMessages is set. The busy cursor is on while it works and
// off again before any message and before returning. focus receives the control a
// failed check names (None otherwise).
bool TestConnection(ado::Connection& connection, const TConnectionEntries& entries,
                    bool showMessages, TEntryFocus* focus);

// Modal results of the dialogs, with the values the main window compares.
enum TModalResult { mrNone = 0, mrOk = 1, mrCancel = 2, mrYes = 6, mrNo = 7 };
