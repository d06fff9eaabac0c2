// What a run of the job in the editor would save, shown while it is edited:
// the files and bytes saved, how many entries are left out for each kind of
// reason, and the entries left out with their reason in a list the user can
// filter by typing. It is the dry run's own finding (job_preview.h).
//
// The preview is computed on a worker (preview_worker.h) once the panel has
// been shown, and again after each change of the job, when typing has paused
// for a moment; a change meanwhile stops the preview under way. Window
// thread only.
#pragma once

#include <wx/dataview.h>
#include <wx/panel.h>
#include <wx/textctrl.h>
#include <wx/timer.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "job/backup_job.h"
#include "run/job_preview.h"
#include "ui/windows/preview_worker.h"

namespace kelvane {
class LanguageTable;
}

namespace kelvane::ui {

class CLabelText;

class CJobPreviewPanel : public wxPanel {
 public:
  CJobPreviewPanel(wxWindow* parent, const LanguageTable& texts);
  ~CJobPreviewPanel() override;

  // The job as it is now.
  void JobChanged(const BackupJob& job);
  // The panel is in sight: from now on it follows the job.
  void Activate();
  // Stops the preview under way and waits for it (before a run).
  void Stop();

  // Whether the preview shown is of the job as it is now, and complete.
  bool current() const;
  const JobPreview& preview() const { return preview_; }
  // The entries the list shows (after the filter).
  const std::vector<const LeftOutEntry*>& shown() const;
  wxTextCtrl& filterField() { return *filter_; }
  wxDataViewCtrl& list() { return *list_; }
  // The words the panel uses for a kind of reason.
  wxString KindText(LeftOutKind kind) const;

 private:
  class Rows;
  void Ask();
  void Show(uint64_t request, JobPreview preview);
  void ApplyFilter();
  wxString Text(const wchar_t* key) const;
  wxString WhyText(const LeftOutEntry& entry) const;

  const LanguageTable& texts_;
  CLabelText* summary_;
  CLabelText* counts_;
  wxTextCtrl* filter_;
  wxDataViewCtrl* list_;
  wxObjectDataPtr<Rows> rows_;
  wxTimer pause_;
  std::optional<BackupJob> job_;
  bool active_ = false;  // shown once: follows the job from then on
  bool stale_ = true;    // the job changed since the newest request
  uint64_t latest_ = 0;  // the newest request
  uint64_t shown_ = 0;   // the request whose answer is shown
  JobPreview preview_;
  std::unique_ptr<PreviewWorker> worker_;  // last: stopped before the rest goes
};

}  // namespace kelvane::ui
