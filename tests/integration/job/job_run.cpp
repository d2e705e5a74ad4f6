#include "integration/job/job_run.h"

#include <cstdlib>

#include "job/process_state.h"
#include "job/source_tree.h"
#include "platform/ado/mysql/data_source.h"

namespace jobtest {

TProjectSettings AllPhases(const std::string& scriptFile) {
  TProjectSettings s;
  s.SourceKind = dkMySQL;
  s.DestKind = dkMySQL;
  s.DropIfExist = s.CreateObject = s.TransferData = s.UpdateData = true;
  s.ReplaceChar.assign(1, '_');  // assigning "_" trips a false GCC 12 -Wrestrict
  s.SaveScripts = !scriptFile.empty();
  s.ScriptFileName = scriptFile;
  return s;
}

job::TJobTotals RunMySQLJob(const TProjectSettings& settings, RecordingView& view,
                            ui::RecordingMessages& messages, const std::string& destString,
                            const std::string& sourceString) {
  ui::ScopedMessages scoped(messages);
  ado::Connection source(sourceString);
  ado::Connection dest(destString);
  dest.open();
  TCorvane catalogue;
  catalogue.SetDBKind(settings.SourceKind);
  catalogue.SetConnection(&source);
  if (!catalogue.LoadDBInfo()) throw std::runtime_error("the source catalogue did not load");
  job::TSourceTree tree;
  job::BuildSourceTree(&catalogue, settings.SourceKind, settings.DestKind, tree);
  StopRequested = false;
  return job::RunJob(settings, source, dest, catalogue, view);
}

void UseSourceRoute(SourceRoute route, const std::string& sourceString) {
  setenv("QUILLMARK_MYSQL_STREAM", route == SourceRoute::Odbc ? "0" : "1", 1);
  if (route != SourceRoute::Streamed) return;
  std::string why;
  if (!ado::mysqlstream::AddressFor(ado::ConnectionString(sourceString), &why))
    ADD_FAILURE() << "the data source of " << sourceString << " is read through ODBC: " << why;
}

std::string SourceRouteName(const ::testing::TestParamInfo<SourceRoute>& info) {
  return info.param == SourceRoute::Odbc ? "Odbc" : "Streamed";
}

}  // namespace jobtest
