#include "app/kelvane_app.h"

#include <cstdio>

#include "app/command_line.h"
#include "language/language_table.h"
#include "profile/profile_store.h"
#include "job/json_document.h"
#include "platform/environment.h"
#include "platform/file_system.h"
#include "run/console_run_host.h"
#include "run/run_driver.h"
#include "platform/paths.h"
#include "util/byte_size.h"
#include "util/result_codes.h"
#include "util/text_util.h"

namespace kelvane {
namespace {

void PrintError(const std::wstring& message) {
  std::fprintf(stderr, "kelvane: %s\n", WideToUtf8(message).c_str());
}

int ExitStatusOf(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::kCompleted: return kExitDone;
    case RunOutcome::kCompletedWithErrors: return kExitDoneWithErrors;
    case RunOutcome::kAborted: return kExitAborted;
    case RunOutcome::kJobUnreadable: return kExitJobUnreadable;
  }
  return kExitAborted;
}

std::wstring RunSummary(const RunReport& report) {
  switch (report.outcome) {
    case RunOutcome::kCompleted:
    case RunOutcome::kCompletedWithErrors:
      return FormatText(L"Done: %lu of %lu files (%s) into %s, %lu error(s).",
                        report.savedFiles, report.totalFiles,
                        FormatByteSize(report.totalBytes), report.archivePath, report.errorCount);
    case RunOutcome::kAborted:
      return L"Aborted: nothing was kept of an archive; a folder target keeps the files copied "
             L"so far.";
    case RunOutcome::kJobUnreadable:
      return L"The job could not be read.";
  }
  return {};
}

int RunInConsole(const JsonDocument& job, const LanguageTable& texts,
                 const std::wstring& sevenZipLibrary) {
  ConsoleRunHost host(stderr, platform::StandardErrorIsTerminal(), true);
  RunDriver driver = MakeRunDriver(host, texts);
  driver.SetSevenZipLibrary(sevenZipLibrary);
  const RunReport report = driver.Run(job);
  host.Finish(RunSummary(report));
  return ExitStatusOf(report.outcome);
}

}  // namespace

std::string UsageText() {
  return "Usage: kelvane [JOB.kvnjob] [-start] [-console] [-minimize] [-help]\n"
         "\n"
         "  JOB.kvnjob  the backup job to open or run (also: -file JOB.kvnjob)\n"
         "  -start      run the job at once, without the job editor\n"
         "  -console    run in this terminal even when a desktop is available\n"
         "  -minimize   start the run window minimised\n"
         "  -help       show this text\n"
         "\n"
         "Exit status of a run: 0 done, 1 done but errors were logged, 2 aborted\n"
         "(cancelled, too little room, target not created, writer failure),\n"
         "3 job not readable or command line not usable.\n";
}

int RunApplication(const std::vector<std::wstring>& tokens) {
  CommandLineArgs args;
  args.Parse(tokens);
  if (args.Has(L"help") || args.Has(L"h") || args.Has(L"?")) {
    std::fputs(UsageText().c_str(), stdout);
    return kExitDone;
  }
  if (const auto unknown = args.UnknownSwitches(); !unknown.empty()) {
    PrintError(L"unknown switch -" + unknown.front());
    std::fputs(UsageText().c_str(), stderr);
    return kExitJobUnreadable;
  }
  const bool start = args.Flag(L"start");

  ProfileStore profile;
  std::wstring path = args.Value(L"file");
  if (path.empty() && profile.GetInt("Main", "LoadRecentFile", 0) != 0) {
    path = profile.GetString("Main", "RecentFile", L"");
  }
  if (!path.empty() && !platform::Fs().Exists(path)) path.clear();

  JsonDocument jobDocument;
  if (!path.empty()) jobDocument.LoadFile(path);

  LanguageTable texts;
  texts.LoadLanguage([](const std::wstring& message) { PrintError(message); });

  if (!start) {
    // The job editor needs a desktop; without one there is nothing to do here.
    std::fputs(UsageText().c_str(), stderr);
    return kExitJobUnreadable;
  }
  if (path.empty()) {
    const std::wstring given = args.Value(L"file");
    PrintError(texts.GetText(L"load_backup_failed") +
               (given.empty() ? L" (no job file given)" : L" (" + given + L": not found)"));
    return kExitJobUnreadable;
  }
  // Absolute, so the recent file still names this job when a scheduler or
  // the desktop starts the program from another folder.
  path = platform::AbsolutePath(path);
  profile.WriteString("Main", "RecentFile", path);
  if (const uint32_t error = jobDocument.LoadFile(path); error != 0) {
    // For bad JSON the document keeps the rest of the text; where it broke is
    // what a user needs.
    const std::wstring reason =
        error == kResultInvalidData && jobDocument.errorText().rfind(L"Read file", 0) != 0
            ? FormatText(L"not valid JSON at byte %llu",
                         static_cast<unsigned long long>(jobDocument.errorOffset()))
        : jobDocument.errorText().empty() ? FormatText(L"code %lu", error)
                                          : jobDocument.errorText();
    PrintError(texts.GetText(L"load_backup_failed") + L" (" + path + L": " + reason + L")");
    return kExitJobUnreadable;
  }
  // The run dialog arrives with the desktop build; until then every run, with
  // or without -console, is a console run with the same outcome and status.
  return RunInConsole(jobDocument, texts, profile.GetString("Main", "SevenZip", L""));
}

}  // namespace kelvane
