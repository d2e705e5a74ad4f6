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

// How the job reads a MySQL source: through ODBC, or streamed through the built-in
// client. The route is chosen when a session opens.
enum class SourceRoute { Odbc, Streamed };
// For the sessions opened from now on; a test fails when the streamed route is asked
// for and the data source does not qualify for it.
void UseSourceRoute(SourceRoute route, const std::string& sourceString = kSourceString);
std::string SourceRouteName(const ::testing::TestParamInfo<SourceRoute>& info);

// Runs a fixture's cases in both modes: row by row, and the fast transfer in groups of
// kTestBatchRows, few enough that the cases' rows span several groups. A fixture
// deriving from it gets AllPhases with the case's mode; its file instantiates it with
// INSTANTIATE_TEST_SUITE_P(Modes, Fixture, BothModeValues(), ModeName).
inline constexpr std::int32_t kTestBatchRows = 3;
template <class Param>
class ModesOf : public ::testing::WithParamInterface<Param> {
 protected:
  // 0 row by row, else the rows in a group.
  std::int32_t Batch() const { return BatchOf(this->GetParam()); }
  TProjectSettings AllPhases(const std::string& scriptFile = {}) const {
    TProjectSettings s = jobtest::AllPhases(scriptFile);
    s.BatchRows = Batch();
    return s;
  }

 private:
  static std::int32_t BatchOf(std::int32_t batch) { return batch; }
  template <class P>
  static std::int32_t BatchOf(const P& p) { return p.batch; }
};
using BothModes = ModesOf<std::int32_t>;
inline auto BothModeValues() {
  return ::testing::Values(std::int32_t{0}, kTestBatchRows);
}
inline std::string ModeName(const ::testing::TestParamInfo<std::int32_t>& info) {
  return info.param == 0 ? "RowByRow" : "InGroups";
}

// Both source routes, each in both modes: for the fixtures whose rows come from MySQL.
struct RouteAndMode {
  SourceRoute route;
  std::int32_t batch;
};
using RoutesAndModes = ModesOf<RouteAndMode>;
inline auto RouteAndModeValues() {
  return ::testing::Values(RouteAndMode{SourceRoute::Odbc, 0},
                           RouteAndMode{SourceRoute::Odbc, kTestBatchRows},
                           RouteAndMode{SourceRoute::Streamed, 0},
                           RouteAndMode{SourceRoute::Streamed, kTestBatchRows});
}
inline std::string RouteAndModeName(const ::testing::TestParamInfo<RouteAndMode>& info) {
  return std::string(info.param.route == SourceRoute::Odbc ? "Odbc" : "Streamed") +
         (info.param.batch == 0 ? "RowByRow" : "InGroups");
}

// Loads the source catalogue through sourceString (qm_src), applies the selection rules
// and runs the job into destString (qm_dst). Messages are recorded in messages.
job::TJobTotals RunMySQLJob(const TProjectSettings& settings, RecordingView& view,
                            ui::RecordingMessages& messages,
                            const std::string& destString = kDestString,
                            const std::string& sourceString = kSourceString);

}  // namespace jobtest
