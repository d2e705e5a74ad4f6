// Running one job in this process against the test's own databases.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "catalog/corvane.h"
#include "integration/job/job_databases.h"
#include "job/job_runner.h"
#include "platform/ui/messages.h"

namespace jobtest {

// Settings with every phase on, MySQL to MySQL, scripts saved to file when given.
TProjectSettings AllPhases(const std::string& scriptFile = {});

// Runs a fixture's cases in both modes: row by row, and the fast transfer in groups of
// kTestBatchRows, few enough that the cases' rows span several groups. A fixture
// deriving from it gets AllPhases with the case's mode; its file instantiates it with
// INSTANTIATE_TEST_SUITE_P(Modes, Fixture, BothModeValues(), ModeName).
inline constexpr std::int32_t kTestBatchRows = 3;
class BothModes : public ::testing::WithParamInterface<std::int32_t> {
 protected:
  // 0 row by row, else the rows in a group.
  std::int32_t Batch() const { return GetParam(); }
  TProjectSettings AllPhases(const std::string& scriptFile = {}) const {
    TProjectSettings s = jobtest::AllPhases(scriptFile);
    s.BatchRows = GetParam();
    return s;
  }
};
inline auto BothModeValues() {
  return ::testing::Values(std::int32_t{0}, kTestBatchRows);
}
inline std::string ModeName(const ::testing::TestParamInfo<std::int32_t>& info) {
  return info.param == 0 ? "RowByRow" : "InGroups";
}

// Loads the source catalogue through qm_src, applies the selection rules and runs the
// job into destString (qm_dst). Messages are recorded in messages.
job::TJobTotals RunMySQLJob(const TProjectSettings& settings, RecordingView& view,
                            ui::RecordingMessages& messages,
                            const std::string& destString = kDestString);

}  // namespace jobtest
