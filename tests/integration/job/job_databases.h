// Two fresh databases of the test's own on the private server, behind ODBC data
// sources named qm_src and qm_dst in an ODBC set-up of the test's own (CTest runs the
// cases as parallel processes, so no two of them may share a database). Also the
// helpers every job test needs: a recording view, reading rows back, log texts
// without their timestamps.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "job/job_view.h"
#include "platform/ado/connection.h"

namespace jobtest {

inline const std::string kSourceString = "Provider=MSDASQL.1;Data Source=qm_src";
inline const std::string kDestString = "Provider=MSDASQL.1;Data Source=qm_dst";
// Database qm_dst on the test's own server (OwnServer), through its socket.
inline const std::string kOwnDestString = "Provider=MSDASQL.1;Data Source=qm_own";

class JobDatabases : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Runs statements on the source or the destination database.
  void OnSource(std::initializer_list<std::string> statements);
  void OnDest(std::initializer_list<std::string> statements);
  // Every row of a query on the server (either database, names qualified where
  // needed), each value as text and "NULL" for null.
  std::vector<std::vector<std::string>> Rows(const std::string& sql);
  std::string Scalar(const std::string& sql);

  // Where the test may write files (script, error log); removed at the end.
  std::string WorkDir() const { return workDir_; }

  // A private server of the test's own, for what the shared one must not see (a
  // server-wide sql_mode, being killed): started with extra mariadbd options, reached
  // through data source qm_own, stopped at the end of the test. Throws when it does
  // not start.
  void StartOwnServer(const std::string& options);
  // Kills the own server at once (SIGKILL) and waits until it is gone.
  void KillOwnServer();

  std::string srcDb;
  std::string dstDb;
  ado::Connection admin;  // through qm_test; sees both databases

 private:
  std::string workDir_;
  std::string ownDir_;
  bool ownStarted_ = false;
};

// Records the panes and lets a test act at every pending-events call.
class RecordingView : public job::TPanesView {
 public:
  void ProcessEvents() override {
    ++eventRuns;
    if (onEvents) onEvents(*this);
  }
  void SetBusy(bool busy) override { busyChanges.push_back(busy); }

  // Log lines with the timestamp and " : " removed where a line starts with one.
  std::vector<std::string> LogTexts() const;
  std::vector<job::TLogColor> LogColors() const;
  std::vector<std::string> ScriptTexts() const;

  std::function<void(RecordingView&)> onEvents;
  int eventRuns = 0;
  std::vector<bool> busyChanges;
};

// The log line without its leading timestamp: everything after the first " : ", when
// the text before it has a digit; the line itself otherwise.
std::string WithoutTimestamp(std::string_view line);

std::string ReadFile(const std::string& path);

}  // namespace jobtest
