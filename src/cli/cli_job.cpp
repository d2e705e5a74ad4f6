#include "cli/cli_job.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cinttypes>
#include <memory>

#include "catalog/corvane.h"
#include "cli/terminal_view.h"
#include "job/job_runner.h"
#include "job/job_start.h"
#include "job/log_time.h"
#include "job/process_state.h"
#include "job/script_file.h"
#include "job/start_checks.h"
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
      throw TUsageError("--objects: \"" + name +
                        "\" is not among the source's tables and views");
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
                " failed, %d not created, %.2f s, %.0f rows per second",
                t.objects, t.inserted, t.updated, t.insertFailed + t.updateFailed,
                t.createFailed, seconds, perSecond);
  return scriptOnly ? std::string(text) + " (script only: nothing was executed)" : text;
}

// The first Ctrl-C (or SIGTERM, SIGHUP) before the job starts ends the process at
// once: nothing has been written to the destination, and a connection attempt may wait
// for a long time. Once the job runs it asks the job to stop, as "Cancel Process" does.
std::atomic<bool> JobStarted{false};
std::atomic<int> StopSignal{0};

void OnStopSignal(int sig) {
  if (!JobStarted) {
    static const char kText[] =
        "quillmark-cli: stopped before the job started; nothing was changed in the "
        "destination.\n";
    [[maybe_unused]] const ssize_t ignored = ::write(2, kText, sizeof kText - 1);
    job::RemovePendingScriptTemporary();  // the check's own, made and removed at start
    ::_exit(128 + sig);
  }
  if (StopSignal != 0) {
    // The second one ends the process at once, also while it waits for the database;
    // a script write it cuts short leaves the old file, and no temporary beside it.
    job::RemovePendingScriptTemporary();
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(sig, &fallback, nullptr);
    ::raise(sig);  // delivered when this handler returns
    return;
  }
  StopSignal = sig;
  StopRequested = true;
}

}  // namespace

void InstallInterruptHandler() {
  static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
                "flags are read in a signal handler");
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&action.sa_mask, sig);
  action.sa_flags = SA_RESTART;
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &action, nullptr);
}

void MarkJobStarted() {
  JobStarted = true;
}

void PrintUsageError(std::FILE* err, const std::string& what) {
  std::fprintf(err, "quillmark-cli: %s\n\n%s", what.c_str(), UsageText().c_str());
  std::fflush(err);
}

int RunJobFromOptions(const TCliOptions& options, const std::string& errorLogPath,
                      std::FILE* out, std::FILE* err) {
  const TProjectSettings settings = SettingsFor(options);
  TTerminalMessages messages(err);
  ui::ScopedMessages scopedMessages(messages);
  TTerminalView view(out, err, IsTerminal(out), IsTerminal(err), options.quiet);
  view.SetTotalsKnown(IsAccessDialect(settings.SourceKind) ||
                      IsSQLServerDialect(settings.SourceKind));
  if (settings.SaveScripts) view.SetScriptFile(options.script);

  // The script file: never a database file, and creatable, before anything is opened.
  if (!options.script.empty()) {
    const std::string clash = job::ScriptFileClashMessage(options.script, options.source,
                                                          options.dest, errorLogPath);
    if (!clash.empty()) {
      messages.show(ui::MessageKind::Error, clash);
      return kExitCannotStart;
    }
    try {
      job::CheckScriptFileCreatable(options.script);
    } catch (const std::exception& e) {
      messages.show(ui::MessageKind::Error, std::string("Cannot create the script file.\n") +
                                                e.what());
      return kExitCannotStart;
    }
  }

  ado::Connection source(options.source);
  ado::Connection dest(options.dest);
  job::TJobStart jobStart(settings, source, dest);
  jobStart.NewCatalogue();
  // Shows its own message ("Cannot connect to database." and the provider's text).
  if (!jobStart.LoadCatalogue()) return kExitCannotStart;

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
    // Every statement and row would fail one by one.
    if (const std::string readOnly = dest.readOnlyMessage(); !readOnly.empty()) {
      messages.show(ui::MessageKind::Error, readOnly);
      return kExitCannotStart;
    }
    if (const std::string same = job::SameDatabaseMessage(source, dest); !same.empty()) {
      messages.show(ui::MessageKind::Error, same);
      return kExitCannotStart;
    }
  }

  job::TSourceTree tree;
  try {
    jobStart.BuildTree(tree);
    KeepNamedObjects(*jobStart.Catalogue(), options.objects);
  } catch (const TUsageError& e) {
    PrintUsageError(err, e.what());
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

  // From here a Ctrl-C asks the runner to stop instead of ending the process.
  MarkJobStarted();
  const auto start = std::chrono::steady_clock::now();
  job::TJobTotals totals;
  int status = kExitOk;
  try {
    totals = jobStart.Run(view);
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
  // A Ctrl-C while the script was written came after the runner's last look at the flag.
  if (totals.stopped || StopRequested) return StopSignal != 0 ? 128 + StopSignal : kExitStopped;
  // A script that could not be saved, an object that could not be created and a log
  // that could not be written are failures too, though no error line says so.
  const bool failed = !ErrorLog.empty() || totals.scriptFailed || totals.createFailed > 0 ||
                      view.WriteError() != 0;
  return failed ? kExitJobErrors : kExitOk;
}

int RunCli(const std::vector<std::string>& args, const std::string& programPath, std::FILE* out,
           std::FILE* err) {
  TCliOptions options;
  try {
    options = ParseArguments(args);
  } catch (const TUsageError& e) {
    PrintUsageError(err, e.what());
    return kExitUsage;
  }
  if (options.help) {
    std::fputs(UsageText().c_str(), out);
    return std::fflush(out) == 0 && !std::ferror(out) ? kExitOk : kExitCannotStart;
  }
  const int status = RunJobFromOptions(options, job::ErrorLogFileName(programPath), out, err);
  job::WriteErrorLogFile(programPath);
  return status;
}

}  // namespace cli
