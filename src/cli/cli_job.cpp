#include "cli/cli_job.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <memory>

#include "catalog/corvane.h"
#include "cli/terminal_view.h"
#include "job/job_runner.h"
#include "job/log_time.h"
#include "job/process_state.h"
#include "job/source_tree.h"
#include "platform/ado/connection.h"
#include "platform/ado/null_session.h"

namespace cli {

namespace {

bool IsTerminal(std::FILE* f) {
  return ::isatty(::fileno(f)) == 1;
}

// Keeps only the named objects among those chosen; every name must be one of them.
void KeepNamedObjects(TCorvane& catalogue, const std::vector<std::string>& names) {
  if (names.empty()) return;
  for (const std::string& name : names) {
    bool found = false;
    for (const auto& o : catalogue.Objects) found = found || (o.Selected && o.ObjectName == name);
    if (!found)
      throw TUsageError("--objects: \"" + name + "\" is not among the source's tables and views");
  }
  for (auto& o : catalogue.Objects)
    if (o.Selected && std::find(names.begin(), names.end(), o.ObjectName) == names.end())
      o.SelectAllChildObject(false);
}

std::string Summary(const job::TJobTotals& t, double seconds, bool scriptOnly) {
  const std::int64_t rows = t.inserted + t.updated + t.insertFailed + t.updateFailed;
  const double perSecond = seconds > 0 ? rows / seconds : 0;
  char text[320];
  std::snprintf(text, sizeof text,
                "Summary: %d objects, %" PRId64 " rows inserted, %" PRId64 " updated, %" PRId64
                " failed, %.2f s, %.0f rows per second",
                t.objects, t.inserted, t.updated, t.insertFailed + t.updateFailed, seconds,
                perSecond);
  return scriptOnly ? std::string(text) + " (script only: nothing was executed)" : text;
}

}  // namespace

int RunJobFromOptions(const TCliOptions& options, std::FILE* out, std::FILE* err) {
  const TProjectSettings settings = SettingsFor(options);
  TTerminalMessages messages(err);
  ui::ScopedMessages scopedMessages(messages);
  TTerminalView view(out, err, IsTerminal(out), IsTerminal(err), options.quiet);

  CurrentSourceKind = settings.SourceKind;
  CurrentDestKind = settings.DestKind;

  ado::Connection source(options.source);
  TCorvane catalogue;
  catalogue.SetDBKind(settings.SourceKind);
  catalogue.SetConnection(&source);
  // Shows its own message ("Cannot connect to database." and the provider's text).
  if (!catalogue.LoadDBInfo()) return kExitCannotStart;

  ado::Connection dest(options.dest);
  if (options.scriptOnly) {
    dest.attach(std::make_unique<ado::NullSession>());
  } else {
    try {
      dest.open();
    } catch (const std::exception& e) {
      messages.show(ui::MessageKind::Error,
                    std::string("Cannot connect to the destination.\n") + e.what());
      return kExitCannotStart;
    }
  }

  job::TSourceTree tree;
  try {
    job::BuildSourceTree(&catalogue, settings.SourceKind, settings.DestKind, tree);
    KeepNamedObjects(catalogue, options.objects);
  } catch (const TUsageError& e) {
    messages.show(ui::MessageKind::Error, e.what());
    return kExitUsage;
  } catch (const std::exception& e) {
    messages.show(ui::MessageKind::Error,
                  std::string("Cannot prepare soure object for selection.\n") + e.what());
    return kExitCannotStart;
  }

  if (options.scriptOnly)
    view.Print(job::LogTimestamp() +
                   " : Script only: no statement and no row is executed on a destination.",
               job::kDefaultColor);

  StopRequested = false;
  const auto start = std::chrono::steady_clock::now();
  job::TJobTotals totals;
  int status = kExitOk;
  try {
    totals = job::RunJob(settings, source, dest, catalogue, view);
  } catch (const std::exception& e) {
    view.EndProgress();
    messages.show(ui::MessageKind::Error, e.what());
    status = kExitJobErrors;
  }
  view.EndProgress();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (options.scriptOnly)
    view.Print(job::LogTimestamp() +
                   " : Script only: nothing was executed; the script holds what the job would run.",
               job::kDefaultColor);
  view.Print(Summary(totals, seconds, options.scriptOnly), job::kDefaultColor, true);

  if (status != kExitOk) return status;
  if (totals.stopped) return kExitStopped;
  // A script that could not be saved is a failure too, though no error line says so.
  return ErrorLog.empty() && !totals.scriptFailed ? kExitOk : kExitJobErrors;
}

int RunCli(const std::vector<std::string>& args, const std::string& programPath, std::FILE* out,
           std::FILE* err) {
  TCliOptions options;
  try {
    options = ParseArguments(args);
  } catch (const TUsageError& e) {
    std::fprintf(err, "quillmark-cli: %s\n\n%s", e.what(), UsageText().c_str());
    return kExitUsage;
  }
  if (options.help) {
    std::fputs(UsageText().c_str(), out);
    return kExitOk;
  }
  const int status = RunJobFromOptions(options, out, err);
  job::WriteErrorLogFile(programPath);
  return status;
}

}  // namespace cli
