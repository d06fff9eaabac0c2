// The editor's job file: new, load, save, and the question before changes
// are dropped.
#include "job/job_edits.h"
#include "json/json_document.h"
#include "language/language_table.h"
#include "language/load_failure_text.h"
#include "profile/profile_store.h"
#include "ui/toolkit/dialog_services.h"
#include "ui/windows/file_dialog.h"
#include "ui/windows/kelvane_document.h"
#include "util/template_format.h"

namespace kelvane::ui {
namespace {

constexpr wchar_t kJobFilter[] = L"Backup|*.kvnjob||";

}  // namespace

void CKelvaneDocument::TakeLoadedJob(const JsonDocument& document) {
  ShowPassword(false);
  job_ = BackupJob();
  job_.ReadJob(document);
  levelText_ = LevelText(job_);
  job_.Modified = false;
  FillFields();
}

bool CKelvaneDocument::MayDropChanges() {
  if (!job_.Modified) return true;
  switch (Dialogs().AskSaveChanges(this, texts_.GetText(L"ui_save_changes"),
                                   texts_.GetText(L"ui_save"), texts_.GetText(L"ui_discard"),
                                   texts_.GetText(L"ui_cancel"))) {
    case DialogServices::SaveChoice::kSave: return SaveJob(false);
    case DialogServices::SaveChoice::kDiscard: return true;
    case DialogServices::SaveChoice::kCancel: return false;
  }
  return false;
}

void CKelvaneDocument::NewJob() {
  if (!MayDropChanges()) return;
  job_.SetDefaults();
  job_.Modified = false;
  path_.clear();
  levelText_ = L"9";
  ShowPassword(false);
  FillFields();
  SetTitleFromPath();
  UpdateStates();
}

bool CKelvaneDocument::LoadJob() {
  if (!MayDropChanges()) return false;
  FileDialog dialog(FileDialog::kOpen, kJobFilter, texts_.GetText(L"ui_open_job"));
  if (dialog.Show(this, path_) != FileDialog::kOk) return false;
  const std::wstring path = dialog.path();
  profile_.WriteString("Main", "RecentFile", path);
  JsonDocument document;
  if (const platform::Status loaded = document.LoadFile(path); !loaded.ok()) {
    // The job in the editor stays as it was, and so does its file name.
    Dialogs().ShowMessage(this, LoadFailureText(document, loaded, path, texts_), true);
    return false;
  }
  BackupJob read;
  if (!read.ReadJob(document)) {
    Dialogs().ShowMessage(this, texts_.GetText(L"load_backup_failed"), true);
    return false;
  }
  path_ = path;
  TakeLoadedJob(document);
  SetTitleFromPath();
  UpdateStates();
  return true;
}

bool CKelvaneDocument::SaveJob(bool saveAs) {
  if (!PasswordsAgree()) return false;
  if (!saveAs && !path_.empty()) {
    if (SaveJobTo(path_)) return true;
    Dialogs().ShowMessage(this, texts_.GetText(L"save_backup_failed"), true);
    return false;
  }
  FileDialog dialog(FileDialog::kSave, kJobFilter, texts_.GetText(L"ui_save_job_as"));
  // A cancelled dialog is the user's choice, not a failure.
  if (dialog.Show(this, path_) != FileDialog::kOk) return false;
  profile_.WriteString("Main", "RecentFile", dialog.path());
  if (SaveJobTo(dialog.path())) return true;
  Dialogs().ShowMessage(this, texts_.GetText(L"save_backup_failed"), true);
  return false;
}

bool CKelvaneDocument::SaveJobTo(const std::wstring& path) {
  job_.ArchiveCompLevel = ParseLevelText(levelText_);
  if (!WriteJobToDocument(job_, document_)) return false;
  const platform::Status saved = document_.SaveFile(path);
  document_.Clear();
  // Only a file that is on disk makes the job unchanged and names the window.
  if (!saved.ok()) return false;
  path_ = path;
  job_.Modified = false;
  SetTitleFromPath();
  UpdateStates();
  return true;
}

}  // namespace kelvane::ui
