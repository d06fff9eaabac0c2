#include "run/folder_target.h"

// Everything below the archive folder is made and written through open
// folders and never through a symbolic link, so nothing planted in the
// target tree can send a copy elsewhere. The folders are made for their owner
// only: a folder of someone else's that nobody else could enter stays closed
// in the copy.
//
// A target that is not there yet is built in a staging folder of the run's
// own beside it and renamed into place by the driver once the run has
// succeeded, as an archive's work file is: a half-made copy never looks like
// a backup, and each file is created at its name in a tree nobody else can
// enter, which costs no more than cp -a. A target that is there is updated:
// each copy is written under a temporary name in its own folder and renamed
// over the old one, and a mark in the target says an update is under way,
// so the sweep of a killed run's leftovers knows to look in every folder.
#include <atomic>
#include <future>
#include <memory>
#include <vector>

#include "log/run_log.h"
#include "manifest/manifest_line.h"
#include "platform/file_system.h"
#include "platform/paths.h"
#include "run/backup_class.h"
#include "run/manifest_spool.h"
#include "run/output_names.h"
#include "scan/scan_context.h"
#include "scan/source_opener.h"
#include "util/error_text.h"
#include "util/every_core.h"
#include "util/format_text.h"

namespace kelvane {
namespace {

// Opens (making what is missing) the folders of `relative`, a path of at
// least one component ending in the separator, one below the other from
// `base`.
int MakeFolders(const platform::Folder& base, const std::wstring& relative,
                platform::Folder* folder) {
  const platform::Folder* parent = &base;
  for (size_t start = 0; start < relative.size();) {
    size_t end = relative.find(platform::kPathSeparator, start);
    if (end == std::wstring::npos) end = relative.size();
    if (end > start) {
      platform::Folder next;
      if (const int error =
              platform::Fs().MakeFolder(*parent, relative.substr(start, end - start), &next).code();
          error != 0) {
        return error;
      }
      *folder = std::move(next);
      parent = folder;
    }
    start = end + 1;
  }
  return 0;
}

// A folder whose mode, owner or times could not be given to its copy is an
// error of the run, said with the reason.
void SayFolderFailure(vxstl::BackupClass& run, const platform::Status& copied,
                      const std::wstring& stored) {
  if (copied.ok()) return;
  run.log.WriteLogFormat(L"Backup folder %s failed.%s", run.archivePath + stored,
                         ErrorText(static_cast<uint32_t>(copied.code())));
  ++run.errorCount;
}

// A folder of the target that cannot be made ends the task, said in words.
uint32_t FolderFailed(vxstl::BackupClass& run, const std::wstring& path, int error) {
  run.failureText =
      FormatText(L"Create Folder %s failed.%s", path, ErrorText(static_cast<uint32_t>(error)));
  run.log.WriteLogLine(run.failureText);
  ++run.errorCount;
  return static_cast<uint32_t>(error);
}

}  // namespace

uint32_t FolderTarget::Write(vxstl::BackupClass& run) {
  run.processedBytes = 0;
  std::future<uint32_t> task =
      std::async(std::launch::async, [this, &run] { return CopyToFolderTask(run); });
  return run.PumpingWait(task);
}

TargetCheck FolderTarget::Verify(vxstl::BackupClass& run) {
  TargetCheck check;
  std::future<uint32_t> task = std::async(std::launch::async, [&] {
    check = CheckCopies(run);
    return 0u;
  });
  run.PumpingWait(task);
  return check;
}

TargetCheck FolderTarget::CheckCopies(vxstl::BackupClass& run) {
  TargetCheck check;
  platform::FileSystem& fs = platform::Fs();
  platform::Folder root;
  const std::wstring& written = run.workName.empty() ? run.targetName : run.workName;
  if (const int error = fs.OpenSubfolder(*run.archiveFolder, written, nullptr, &root).code();
      error != 0) {
    check.unreadable = L"cannot be opened." + ErrorText(static_cast<uint32_t>(error));
    return check;
  }
  const std::unique_ptr<TaskPool> helpers = CoreHelpers();
  // What each file of a folder came to, said afterwards in the folder's order.
  constexpr int kNotChecked = -1, kSame = 0, kDiffers = -2;  // else an errno value
  std::vector<int> outcomes;
  size_t number = 0;
  for (const ScannedFolder& folder : run.scan->results) {
    if (run.cancelRequested) break;
    const std::wstring stored = folder.path.substr(vxstl::StoredPathStart(folder.path));
    platform::Folder made;
    const int opened = stored.empty() ? 0 : MakeFolders(root, stored, &made);
    const platform::Folder& target = stored.empty() ? root : made;
    outcomes.assign(folder.files.size(), kNotChecked);
    OnEveryCore(
        helpers.get(), folder.files.size(), &run.cancelRequested, [&, first = number](size_t i) {
          const vxstl::SavedFile& saved = run.savedFiles[first + i];
          if (run.HasFailed(folder.files[i]) || !saved.taken) return;
          platform::ContentDigest actual;
          const int error = opened != 0
                                ? opened
                                : fs.ReadBack(target, folder.Name(folder.files[i]), &actual).code();
          outcomes[i] = error != 0 ? error : actual == saved.digest ? kSame : kDiffers;
          ++run.verifiedFiles;
        });
    number += folder.files.size();
    for (size_t i = 0; i < folder.files.size(); ++i) {
      if (outcomes[i] == kNotChecked) continue;
      ++check.checked;
      if (outcomes[i] == kSame) continue;
      run.log.WriteLogFormat(
          L"Check of %s failed: %s.", run.archivePath + stored + folder.Name(folder.files[i]),
          outcomes[i] != kDiffers
              ? L"cannot be read back." + ErrorText(static_cast<uint32_t>(outcomes[i]))
              : std::wstring(L"the copy differs from what was read"));
      ++check.failed;
      run.FileFailed(folder.files[i]);
    }
  }
  return check;
}

int FolderTarget::MarkUpdate(const platform::Folder& root, bool begun) {
  platform::FileSystem& fs = platform::Fs();
  platform::Folder own;
  if (const int error = fs.MakeFolder(root, kManifestFolder, &own).code(); error != 0) return error;
  if (!begun) return fs.RemoveFile(own, kUpdateMark).code();
  std::unique_ptr<platform::FileStream> mark;
  const int error = fs.CreateFile(own, kUpdateMark, &mark).code();
  return error == EEXIST ? 0 : error;
}

int FolderTarget::OpenTheTarget(vxstl::BackupClass& run, platform::Folder* root,
                                platform::CopyMode* mode) {
  platform::FileSystem& fs = platform::Fs();
  const int opened = fs.OpenSubfolder(*run.archiveFolder, run.targetName, nullptr, root).code();
  if (opened == ENOENT) {
    *mode = platform::CopyMode::kCreateNew;
    return fs
        .MakeTemporaryFolder(*run.archiveFolder, OutputNames::WorkStem(run.targetName),
                             &run.workName, root)
        .code();
  }
  if (opened != 0) return opened;
  *mode = platform::CopyMode::kReplace;
  run.updatedInPlace = true;
  return MarkUpdate(*root, true);
}

uint32_t FolderTarget::CopyToFolderTask(vxstl::BackupClass& run) {
  platform::FileSystem& fs = platform::Fs();
  platform::Folder root;
  platform::CopyMode mode = platform::CopyMode::kReplace;
  if (const int opened = OpenTheTarget(run, &root, &mode); opened != 0) {
    return FolderFailed(run, run.archivePath, opened);
  }
  SourceOpener sources;
  const std::unique_ptr<TaskPool> helpers = CoreHelpers();
  size_t number = 0;
  for (const ScannedFolder& folder : run.scan->results) {
    if (run.cancelRequested) break;
    const std::wstring stored = folder.path.substr(vxstl::StoredPathStart(folder.path));
    // The files of an include folder "/" go into the top folder itself.
    platform::Folder made;
    const platform::Folder* target = &root;
    if (!stored.empty()) {
      if (const int error = MakeFolders(root, stored, &made); error != 0) {
        return FolderFailed(run, run.archivePath + stored, error);
      }
      target = &made;
    }
    const platform::Folder* source = nullptr;
    const int sourceError = sources.Enter(folder, &source);
    // The failures are said afterwards in the folder's order, so the log
    // reads the same however the files fell to the workers.
    std::vector<int> errors(folder.files.size(), 0);
    OnEveryCore(
        helpers.get(), folder.files.size(), &run.cancelRequested, [&, first = number](size_t i) {
          const ScannedFile& file = folder.files[i];
          const std::wstring name = folder.Name(file);
          platform::FileContent content;
          errors[i] =
              sourceError != 0 ? sourceError
              : file.IsLink()
                  ? fs.CopyLink(*source, name, file.id, *target, name, mode, &content).code()
                  : fs.CopyFile(*source, name, file.id, *target, name, mode, &content).code();
          vxstl::SavedFile& saved = run.savedFiles[first + i];
          saved.status = content.status;
          saved.digest = content.digest;
          saved.taken = errors[i] == 0;
          if (saved.taken) run.KeepAttributes(first + i, std::move(content.attributes));
          run.processedBytes += file.size;
          ++run.processedFiles;
        });
    for (size_t i = 0; i < folder.files.size(); ++i) {
      if (errors[i] == 0) continue;
      run.log.WriteLogFormat(L"Backup file %s failed.%s",
                             run.archivePath + stored + folder.Name(folder.files[i]),
                             ErrorText(static_cast<uint32_t>(errors[i])));
      ++run.errorCount;
      run.FileFailed(folder.files[i]);
    }
    number += folder.files.size();
    // The folder as it was once its content is in (the results come
    // depth-first, each folder after its subfolders); the top folder stays
    // the run's own.
    if (!stored.empty() && sourceError == 0 && !run.cancelRequested) {
      SayFolderFailure(run, fs.CopyFolderStatus(*source, *target), stored);
    }
  }
  if (!run.cancelRequested) WriteManifest(run, root);
  // Every temporary of this run is gone: a copy that fails removes its own.
  if (run.updatedInPlace) (void)MarkUpdate(root, false);
  return 0;
}

void FolderTarget::WriteManifest(vxstl::BackupClass& run, const platform::Folder& root) {
  if (!run.manifest) return;
  ManifestSpool* spool = nullptr;
  platform::Status written = run.manifest(&spool);
  // A killed run's half goes with the next run's sweep.
  platform::Folder own;
  if (written.ok()) written = platform::Fs().MakeFolder(root, kManifestFolder, &own);
  if (written.ok()) written = spool->CopyTo(own, kManifestFile);
  if (written.ok()) return;
  run.log.WriteLogFormat(L"Write %s%s/%s failed.%s", run.archivePath, kManifestFolder,
                         kManifestFile, ErrorText(static_cast<uint32_t>(written.code())));
  ++run.errorCount;
}

}  // namespace kelvane
