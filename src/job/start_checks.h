// What must hold before a job may touch the destination, shared by the windows and
// the command line: the two sides are not one database, and the script file is not
// one of the database files.
#pragma once

#include <string>

#include "platform/ado/connection.h"

namespace job {

extern const char* const kSameDatabaseMessage;

// kSameDatabaseMessage when both open connections report the same database (server,
// port and current database; or the same Access file); empty otherwise, also when
// either cannot tell or asking fails.
std::string SameDatabaseMessage(ado::Connection& source, ado::Connection& dest);

// The Access file an OLE DB connection string names (Jet or ACE provider); empty for
// any other provider.
std::string AccessFileOf(const std::string& connectionString);

// Whether two paths name one file: by device and inode where both exist (any path,
// link or hard link), else by their absolute paths with links resolved.
bool SameFile(const std::string& a, const std::string& b);

// A message when the script file is the source's or the destination's Access file,
// or the error log file when one is named (which is written after it); empty
// otherwise.
std::string ScriptFileClashMessage(const std::string& scriptPath,
                                   const std::string& sourceConnectionString,
                                   const std::string& destConnectionString,
                                   const std::string& errorLogPath = {});

}  // namespace job
