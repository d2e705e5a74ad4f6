#include "integration/job/job_run.h"

#include "job/process_state.h"
#include "job/source_tree.h"

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
                            ui::RecordingMessages& messages, const std::string& destString) {
  ui::ScopedMessages scoped(messages);
  ado::Connection source(kSourceString);
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

}  // namespace jobtest
