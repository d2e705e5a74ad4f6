// Running one job in this process against the test's own databases.
#pragma once

#include "catalog/corvane.h"
#include "integration/job/job_databases.h"
#include "job/job_runner.h"
#include "platform/ui/messages.h"

namespace jobtest {

// Settings with every phase on, MySQL to MySQL, scripts saved to file when given.
TProjectSettings AllPhases(const std::string& scriptFile = {});

// Loads the source catalogue through qm_src, applies the selection rules and runs the
// job into destString (qm_dst). Messages are recorded in messages.
job::TJobTotals RunMySQLJob(const TProjectSettings& settings, RecordingView& view,
                            ui::RecordingMessages& messages,
                            const std::string& destString = kDestString);

}  // namespace jobtest
