// The user's choices for one job, and the database kinds they are made of.
#pragma once

#include <cstdint>
#include <string>

// One byte; 1 and 3 are never assigned. Code branches by dialect through the
// helpers below, never by comparing with the names.
enum TDatabaseKind : std::uint8_t { dkAccess = 0, dkSQLServer = 2, dkMySQL = 4, dkNone = 5 };

inline bool IsAccessDialect(TDatabaseKind k) {
  return k < 2;
}
inline bool IsSQLServerDialect(TDatabaseKind k) {
  return k == 2 || k == 3;
}
inline bool IsMySQLDialect(TDatabaseKind k) {
  return k == 4;
}
inline bool HasDialect(TDatabaseKind k) {
  return k <= 4;
}
// True when both kinds write the same SQL dialect.
inline bool SameDialect(TDatabaseKind a, TDatabaseKind b) {
  return (IsAccessDialect(a) && IsAccessDialect(b)) ||
         (IsSQLServerDialect(a) && IsSQLServerDialect(b)) ||
         (IsMySQLDialect(a) && IsMySQLDialect(b));
}

// The kind of a main-window kind list item ("Microsoft Access", "Microsoft SQL Server",
// "MySQL" at 0, 1, 2); dkNone for any other index.
TDatabaseKind KindFromListIndex(int index);

class TProjectSettings {
 public:
  bool UpdateData = false;
  bool TransferData = false;
  bool DropIfExist = false;
  std::string ReplaceChar;
  TDatabaseKind DestKind = dkAccess;
  TDatabaseKind SourceKind = dkAccess;
  // -1 or 0: all rows; above 0: at most that many rows per object and pass.
  std::int32_t RecordLimit = 0;
  bool CreateObject = false;
  bool SaveScripts = false;
  std::string ScriptFileName;
  // 0: rows are written one by one. Above 0, the fast transfer: the transfer pass sends
  // that many rows in one transaction, the update pass commits once per that many.
  std::int32_t BatchRows = 0;

  void SetUpdateData(bool v) { UpdateData = v; }
  void SetTransferData(bool v) { TransferData = v; }
  void SetDropIfExist(bool v) { DropIfExist = v; }
  void SetReplaceChar(const std::string& v) { ReplaceChar = v; }
  void SetDestKind(TDatabaseKind v) { DestKind = v; }
  void SetSourceKind(TDatabaseKind v) { SourceKind = v; }
  void SetRecordLimit(std::int32_t v) { RecordLimit = v; }
  void SetCreateObject(bool v) { CreateObject = v; }
  void SetSaveScripts(bool v) { SaveScripts = v; }
  void SetScriptFileName(const std::string& v) { ScriptFileName = v; }
  void SetBatchRows(std::int32_t v) { BatchRows = v; }
};

// The one instance for the program's life.
TProjectSettings& ProjectSettings();

// Process-wide current kinds: dkNone at start, written by every GO (FillSettings) and
// nowhere else. Job code reads the kinds from the settings it is given.
extern TDatabaseKind CurrentSourceKind;
extern TDatabaseKind CurrentDestKind;
