#include "restore/restore_run.h"

#include <atomic>
#include <unordered_map>

#include "log/run_log.h"
#include "operation/operation_host.h"
#include "operation/operation_pump.h"
#include "platform/environment.h"
#include "platform/text_codec.h"
#include "restore/restore_points.h"
#include "restore/restore_writer.h"
#include "util/byte_size.h"
#include "util/error_text.h"
#include "util/format_text.h"
#include "util/path_util.h"

namespace kelvane {
namespace {

std::wstring Joined(const std::vector<std::wstring>& parts) {
  std::wstring text;
  for (const std::wstring& part : parts) text += (text.empty() ? L"" : L", ") + part;
  return text;
}

RestoreReport Refused(std::wstring why, RunLog& log) {
  log.WriteLogLine(why);
  RestoreReport report;
  report.refusal = std::move(why);
  return report;
}

// Each needed archive opened, or why one cannot be.
std::wstring OpenArchives(
    const RestoreRequest& request, const std::atomic<bool>* stop,
    std::vector<std::pair<std::string, std::unique_ptr<TargetReader>>>* open) {
  for (const auto& [archive, id] : request.plan.NeededArchives()) {
    const platform::DirectoryEntry* entry = nullptr;
    for (const platform::DirectoryEntry& listed : request.listing) {
      if (listed.nativeName == archive) entry = &listed;
    }
    std::unique_ptr<TargetReader> reader;
    platform::Status opened =
        entry ? OpenTargetReader(*request.archiveFolder, *entry, request.keys, stop, &reader)
              : platform::Status::Error(ENOENT, platform::FromNative(archive));
    // Without a password, what could not be read is damage, which the
    // restore names file by file.
    if (opened.ok() && !request.keys.password.empty()) opened = CheckPassword(*reader);
    if (!opened.ok()) {
      return FormatText(L"Restore refused: %s cannot be read (%s).%s",
                        platform::FromNative(archive), opened.context(),
                        ErrorText(static_cast<uint32_t>(opened.code())));
    }
    open->emplace_back(archive, std::move(reader));
  }
  return {};
}

// Links come from the manifest, which holds their targets: checked against
// the SHA-256 the backup took of the target it read.
void MakeLinks(const RestorePlan& plan, RestoreWriter& writer) {
  for (const ManifestEntry& entry : plan.entries) {
    if (entry.type != ManifestEntry::Type::kLink) continue;
    if (entry.hasDigest && platform::DigestOf(entry.target).sha256 != entry.sha256) {
      writer.Fail(entry.path, L"its link target is not the one the backup read (SHA-256 differs)");
      continue;
    }
    writer.MakeLink(entry);
  }
}

// Everything a restore checks before it writes anything: every archive
// there with its id and readable, and a folder that may take the restore;
// why not, when one of them fails.
std::wstring Prepare(const RestoreRequest& request, const std::atomic<bool>* stop,
                     std::vector<std::pair<std::string, std::unique_ptr<TargetReader>>>* archives,
                     platform::Folder* top) {
  if (const std::vector<std::wstring> missing =
          MissingArchives(*request.archiveFolder, request.listing, request.plan, request.keys);
      !missing.empty()) {
    return L"Restore refused: archives it needs are missing: " + Joined(missing) + L".";
  }
  if (std::wstring why = OpenArchives(request, stop, archives); !why.empty()) return why;
  return PrepareRestoreFolder(request.targetPath, request.overwrite, top);
}

// How the restore ended, said in the log's last line.
RestoreReport Finished(const RestoreWriter& writer, const RestorePlan& plan, bool cancelled,
                       RunLog& log) {
  RestoreReport report;
  report.files = writer.restoredFiles();
  report.bytes = writer.restoredBytes();
  report.failures = writer.failures() + plan.refusals.size();
  report.outcome = cancelled              ? RestoreOutcome::kCancelled
                   : report.failures != 0 ? RestoreOutcome::kSomeFailed
                                          : RestoreOutcome::kRestored;
  log.WriteLogFormat(L"Restored %s (%s); %lu not restored%s.",
                     CountOf(report.files, L"file", L"files"), FormatByteSize(report.bytes),
                     report.failures, cancelled ? L"; cancelled" : L"");
  return report;
}

class Progress {
 public:
  Progress(OperationHost& host, const RestoreWriter& writer, const RestorePlan& plan)
      : host_(host), writer_(writer), files_(plan.FileCount()), bytes_(plan.FileBytes()) {
    host_.SetProgressMarquee(false);
    host_.SetProgressRange(1000);
    host_.ShowProgressPercent(true);
  }
  void Show() {
    const uint64_t done = writer_.restoredBytes();
    host_.SetProgressPosition(
        bytes_ == 0 ? 1000 : static_cast<uint32_t>(std::min<uint64_t>(1000, done * 1000 / bytes_)));
    host_.SetStatusLines(FormatText(L"Restored %lu of %lu files", writer_.restoredFiles(), files_),
                         FormatText(L"%s of %s", FormatByteSize(done), FormatByteSize(bytes_)),
                         L"");
  }

 private:
  OperationHost& host_;
  const RestoreWriter& writer_;
  uint64_t files_;
  uint64_t bytes_;
};

}  // namespace

std::wstring PrepareRestoreFolder(const std::wstring& path, bool overwrite,
                                  platform::Folder* folder) {
  platform::FileSystem& fs = platform::Fs();
  const std::wstring normal = NormalPath(path);
  platform::Status opened;
  if (fs.Exists(normal)) {
    opened = fs.OpenFolder(normal, folder);
  } else {
    // The last folder made here for its owner only: one another user placed
    // meanwhile is theirs, and the checks below refuse it.
    const std::wstring parentPath = FolderOf(normal);
    platform::Folder parent;
    opened = fs.CreateFolders(parentPath);
    if (opened.ok()) opened = fs.OpenFolder(parentPath, &parent);
    if (opened.ok()) opened = fs.MakeFolder(parent, normal.substr(parentPath.size()), folder);
  }
  if (!opened.ok()) {
    return FormatText(L"Restore refused: %s cannot be made or opened.%s", path,
                      ErrorText(static_cast<uint32_t>(opened.code())));
  }
  if (overwrite) return {};
  platform::DirectoryEntry self;
  std::vector<platform::DirectoryEntry> held;
  if (!fs.DescribeFolder(*folder, &self).ok() || !platform::OnlyTrustedCanWrite(self)) {
    return FormatText(
        L"Restore refused: other users can write in %s, so they could place links where the "
        L"restore writes; choose another folder, or give -overwrite.",
        path);
  }
  if (!fs.ReadDirectory(*folder, &held).ok() || !held.empty()) {
    return FormatText(
        L"Restore refused: %s is not empty; choose a new folder, or give -overwrite to replace "
        L"what the restore brings back.",
        path);
  }
  return {};
}

RestoreReport RunRestore(const RestoreRequest& request, OperationHost& host, RunLog& log) {
  const RestorePlan& plan = request.plan;
  std::atomic<bool> cancelled{false};
  OperationPump pump(host, cancelled);
  for (const std::wstring& refusal : plan.refusals) log.WriteLogLine(refusal);
  host.SetProgressMarquee(true);
  host.SetStatusLines(L"Finding the archives of the restore point", L"", L"");
  std::vector<std::pair<std::string, std::unique_ptr<TargetReader>>> archives;
  platform::Folder top;
  if (std::wstring why = Prepare(request, &cancelled, &archives, &top); !why.empty()) {
    return Refused(std::move(why), log);
  }
  // From here on a signal is a cancel: what is half written must go.
  platform::KeepRunningOnInterrupt();
  log.WriteLogFormat(L"Restoring %s (%s, %s) into %s.", platform::FromNative(plan.header.archive),
                     platform::FromNative(plan.header.kind), platform::FromNative(plan.header.time),
                     top.path());

  RestoreWriter writer(top, log);
  Progress progress(host, writer, plan);
  std::vector<const ManifestEntry*> folders;
  // Where each file's bytes are: archive, then its name there.
  std::unordered_map<std::string, WantedFiles> files;
  for (const ManifestEntry& entry : plan.entries) {
    if (entry.type == ManifestEntry::Type::kFolder) {
      folders.push_back(&entry);
      if (!cancelled) writer.MakeFolder(entry);
    } else if (entry.type == ManifestEntry::Type::kFile) {
      files[entry.archive].emplace(entry.path, &entry);
    }
  }
  for (auto& opened : archives) {
    if (cancelled) break;
    const std::string& archive = opened.first;
    WantedFiles& wanted = files[archive];
    const platform::Status read = ReadWantedFiles(
        *opened.second, wanted,
        [&writer](const ManifestEntry& file) { return writer.FileSink(file); }, &cancelled,
        [&] {
          pump.Pump();
          progress.Show();
        });
    if (cancelled) break;
    if (!read.ok())
      log.WriteLogFormat(L"Archive %s: %s", platform::FromNative(archive), read.context());
    for (const auto& left : wanted) {
      writer.Fail(left.second->path,
                  FormatText(L"%s does not hold it", platform::FromNative(archive)));
    }
  }
  if (!cancelled) MakeLinks(plan, writer);
  writer.FinishFolders(folders);
  progress.Show();

  return Finished(writer, plan, cancelled, log);
}

}  // namespace kelvane
