#include "app/restore_source.h"

#include "app/command.h"
#include "app/command_support.h"
#include "app/exit_status.h"
#include "cli/command_line.h"
#include "job/backup_job.h"
#include "json/json_document.h"
#include "language/language_table.h"
#include "notify/last_run.h"
#include "platform/clock.h"
#include "platform/terminal_input.h"
#include "platform/text_codec.h"
#include "profile/profile_store.h"
#include "run/output_names.h"
#include "util/error_text.h"
#include "util/path_util.h"
#include "util/template_format.h"

namespace kelvane {
namespace {

// An archive or a folder copy named instead of a job.
bool IsArchivePath(const std::wstring& path) {
  platform::Folder folder;
  return path.ends_with(L".zip") || path.ends_with(L".7z") ||
         platform::Fs().OpenFolder(path, &folder).ok();
}

// A password from standard input (-password-stdin).
std::optional<int> PasswordFromInput(const CommandContext& context, RestoreSource* source) {
  std::string typed;
  if (!platform::ReadInputLine(false, "", &typed)) {
    PrintError(context.texts.GetText(L"console_password_none_read"));
    return kExitJobUnreadable;
  }
  source->keys.password = platform::FromNative(typed);
  return std::nullopt;
}

// The archive's own password: from standard input with -password-stdin,
// else typed on the terminal when its first file cannot be read without one.
std::optional<int> ArchiveKeys(const CommandContext& context, RestoreSource* source,
                               const platform::DirectoryEntry& archive) {
  if (context.args.Flag(L"password-stdin")) return PasswordFromInput(context, source);
  std::string typed;
  std::unique_ptr<TargetReader> reader;
  platform::Status readable =
      OpenTargetReader(source->folder, archive, source->keys, nullptr, &reader);
  if (readable.ok()) readable = CheckPassword(*reader);
  if (readable.ok() || !platform::StandardInputIsTerminal()) return std::nullopt;
  const std::string prompt = platform::ToUtf8(context.texts.GetText(L"console_archive_password"));
  if (platform::ReadInputLine(true, prompt, &typed))
    source->keys.password = platform::FromNative(typed);
  return std::nullopt;
}

}  // namespace

std::optional<int> OpenRestoreSource(const CommandContext& context, RestoreSource* source) {
  const std::wstring given = context.args.Value(L"file");
  if (given.empty() || !platform::Fs().Exists(given)) {
    PrintError(NoJobText(context));
    return kExitJobUnreadable;
  }
  source->given = NormalPath(given);
  source->keys.sevenZipLibrary = context.profile.GetString("Main", "SevenZip", L"");
  std::wstring folderPath;
  std::wstring archiveName;
  if (IsArchivePath(source->given)) {
    folderPath = FolderOf(source->given);
    archiveName = source->given.substr(folderPath.size());
    source->isTarget = [archiveName](const std::wstring& name) { return name == archiveName; };
  } else {
    JsonDocument document;
    BackupJob job;
    if (!LoadJobFile(source->given, context.texts, &document, &job)) return kExitJobUnreadable;
    if (job.ArchivePasswordUnreadable) {
      PrintError(context.texts.GetText(L"password_unreadable"));
      return kExitJobUnreadable;
    }
    source->fromJob = true;
    source->jobName = job.ArchiveName;
    source->locations = job.StorageLocations;
    source->lastBackup = LastBackupLine(job, context.texts, platform::Time().WallSeconds());
    source->keys.password = job.ArchivePassword;
    // Archives made before the job's password was changed need the old one.
    if (context.args.Flag(L"password-stdin")) {
      if (const std::optional<int> unread = PasswordFromInput(context, source)) return unread;
    }
    folderPath = NormalPath(job.ArchiveFolder);
    const OutputNames names(job.ArchiveName, TargetExtension(job.Type));
    source->isTarget = [names](const std::wstring& name) { return names.IsTarget(name); };
  }
  if (const std::wstring from = context.args.Value(L"from"); !from.empty() && from != L"1") {
    if (!source->fromJob) {
      PrintError(context.texts.GetText(L"console_from_needs_job"));
      return kExitJobUnreadable;
    }
    if (const std::optional<std::wstring> failed = ReadFromLocation(from, source)) {
      PrintError(*failed);
      return kExitAborted;
    }
    return std::nullopt;
  }
  platform::Status opened = platform::Fs().OpenFolder(folderPath, &source->folder);
  if (opened.ok()) opened = platform::Fs().ReadDirectory(source->folder, &source->listing);
  if (!opened.ok()) {
    PrintError(folderPath + ErrorText(static_cast<uint32_t>(opened.code())));
    return kExitAborted;
  }
  if (!source->fromJob) {
    for (const platform::DirectoryEntry& entry : source->listing) {
      if (entry.name == archiveName) return ArchiveKeys(context, source, entry);
    }
  }
  return std::nullopt;
}

std::optional<std::wstring> ReadFromLocation(const std::wstring& where, RestoreSource* source) {
  source->location = MakeStorageLocation(where, nullptr);
  if (!source->location) {
    return where + L": neither an absolute folder nor an rclone remote REMOTE:PATH";
  }
  source->view = std::make_unique<LocationView>();
  platform::Status status = source->location->Open();
  if (status.ok()) status = OpenScratchRoot(&source->scratch);
  if (status.ok())
    status =
        source->view->Open(*source->location, source->scratch, L".kvn-location", source->isTarget);
  // The view's own folder, opened once more as the source's.
  if (status.ok())
    status = platform::Fs().OpenFolder(source->view->folder().path(), &source->folder);
  if (status.ok()) status = platform::Fs().ReadDirectory(source->folder, &source->listing);
  if (!status.ok()) return StatusText(status);
  return std::nullopt;
}

std::optional<int> FetchPlanArchives(RestoreSource& source, const RestorePlan& plan) {
  if (!source.view || source.view->inPlace()) return std::nullopt;
  for (const auto& [name, id] : plan.NeededArchives()) {
    const std::wstring archive = platform::FromNative(name);
    if (!source.isTarget(archive)) continue;
    if (const platform::Status fetched = source.view->Fetch(archive); !fetched.ok()) {
      PrintError(StatusText(fetched));
      return kExitAborted;
    }
  }
  if (const platform::Status read = platform::Fs().ReadDirectory(source.folder, &source.listing);
      !read.ok()) {
    PrintError(StatusText(read));
    return kExitAborted;
  }
  return std::nullopt;
}

std::vector<RestorePoint> SourcePoints(const RestoreSource& source) {
  return FindRestorePoints(source.folder, source.listing, source.isTarget, source.keys);
}

std::vector<RestorePoint> PointsToRestore(RestoreSource& source) {
  return FindRestorePoints(source.folder, source.listing, source.isTarget, source.keys,
                           &source.newestPlan);
}

std::optional<size_t> PointAsked(const CommandContext& context,
                                 const std::vector<RestorePoint>& points) {
  const std::wstring at = context.args.Value(L"at");
  const std::optional<size_t> chosen = ChoosePoint(points, at);
  if (!chosen) {
    PrintError(PrintFEx(context.texts.GetText(L"console_restore_no_point"),
                        {at.empty() ? L"latest" : at}));
  }
  return chosen;
}

std::optional<int> ReadPointPlan(RestoreSource& source, const RestorePoint& point,
                                 RestorePlan* plan) {
  if (source.newestPlan && source.newestPlan->target == point.target.name) {
    *plan = std::move(source.newestPlan->plan);
    source.newestPlan.reset();
    return std::nullopt;
  }
  const platform::Status read =
      ReadTargetPlan(source.folder, source.listing, point.target, source.keys, plan);
  if (read.ok()) return std::nullopt;
  PrintError(read.context() + ErrorText(static_cast<uint32_t>(read.code())));
  return kExitAborted;
}

}  // namespace kelvane
