// The job: for every chosen object in catalogue order, drop it in the destination,
// create it, copy its rows and update the rows that match by primary key, reporting
// each step in the process log and every statement in the generated-scripts pane.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "catalog/corvane.h"
#include "core/project_settings.h"
#include "job/job_view.h"
#include "platform/ado/connection.h"

namespace job {

// What a job did, for summaries; the log holds the same counts per pass.
struct TJobTotals {
  int objects = 0;        // chosen objects the job reached
  int createFailed = 0;   // objects that could not be created: nothing of them is copied
  std::int64_t inserted = 0;
  std::int64_t insertFailed = 0;
  std::int64_t updated = 0;
  std::int64_t updateFailed = 0;
  int skipped = 0;  // chosen objects left untouched: a name collision, a lost connection
  bool connectionLost = false;  // a connection went away and ended the job
  bool stopped = false;       // StopRequested was set at the end of the job
  bool scriptFailed = false;  // scripts were to be saved and the file could not be written
};

// True for the log line of an object that could not be created ("Cannot create [").
bool IsCannotCreateLine(std::string_view line);

// Runs one job. The caller sets StopRequested to false first (GO does). Empties
// ErrorLog and both panes; reads the source through source, writes through dest
// (neither is owned). Failed statements, rows and passes are logged and added to
// ErrorLog, not thrown. An error outside those guards (building a CREATE statement)
// ends the job: the end of job runs (stop line, script file) and the error is
// rethrown. When SaveScripts is set the script file is written at the end, with its
// message through ui.
TJobTotals RunJob(const TProjectSettings& settings, ado::Connection& source, ado::Connection& dest,
                  TCorvane& catalogue, TJobView& view);

}  // namespace job
