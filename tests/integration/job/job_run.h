// Running one job in this process against the test's own databases.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "catalog/corvane.h"
#include "integration/job/job_databases.h"
#include "job/job_runner.h"
#include "platform/ui/messages.h"

namespace jobtest {

// Settings with every phase on, MySQL to MySQL, scripts saved to file when given.
TProjectSettings AllPhases(const std::string& scriptFile = {});

// Loads the source catalogue through sourceString (qm_src), applies the selection rules
// and runs the job into destString (qm_dst). Messages are recorded in messages.
job::TJobTotals RunMySQLJob(const TProjectSettings& settings, RecordingView& view,
                            ui::RecordingMessages& messages,
                            const std::string& destString = kDestString,
                            const std::string& sourceString = kSourceString);

// How the job reads a MySQL source: through ODBC, or streamed through the built-in
// client. The route is chosen when a session opens.
enum class SourceRoute { Odbc, Streamed };
// For the sessions opened from now on; a test fails when the streamed route is asked
// for and the data source does not qualify for it.
void UseSourceRoute(SourceRoute route, const std::string& sourceString = kSourceString);
std::string SourceRouteName(const ::testing::TestParamInfo<SourceRoute>& info);

}  // namespace jobtest
