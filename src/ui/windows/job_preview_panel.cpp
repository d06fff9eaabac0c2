#include "ui/windows/job_preview_panel.h"

#include <wx/sizer.h>

#include <cwctype>

#include "language/language_table.h"
#include "ui/toolkit/accessible.h"
#include "ui/toolkit/label_text.h"
#include "util/byte_size.h"
#include "util/format_text.h"
#include "util/template_format.h"

namespace kelvane::ui {
namespace {

// How long typing must pause before the preview follows it.
constexpr int kPauseMs = 300;

// The text keys of the kinds of reason, in the order of LeftOutKind.
constexpr const wchar_t* kKindKeys[kLeftOutKinds] = {
    L"ui_left_out_no_extension",    L"ui_left_out_hidden",
    L"ui_left_out_black_list",      L"ui_left_out_not_in_white_list",
    L"ui_left_out_excluded_folder", L"ui_left_out_link",
    L"ui_left_out_unchanged",       L"ui_left_out_other"};

std::wstring Lowered(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

}  // namespace

// The list's rows: the shown entries, path and reason, read on demand.
class CJobPreviewPanel::Rows : public wxDataViewVirtualListModel {
 public:
  explicit Rows(const CJobPreviewPanel& panel) : wxDataViewVirtualListModel(0), panel_(panel) {}

  unsigned int GetColumnCount() const override { return 2; }
  wxString GetColumnType(unsigned int) const override { return "string"; }
  void GetValueByRow(wxVariant& value, unsigned int row, unsigned int column) const override {
    const std::vector<const LeftOutEntry*>& shown = panel_.shown();
    if (row >= shown.size()) return;
    value = column == 0 ? wxString(shown[row]->path) : panel_.WhyText(*shown[row]);
  }
  bool SetValueByRow(const wxVariant&, unsigned int, unsigned int) override { return false; }

  std::vector<const LeftOutEntry*> entries;

 private:
  const CJobPreviewPanel& panel_;
};

CJobPreviewPanel::CJobPreviewPanel(wxWindow* parent, const LanguageTable& texts)
    : wxPanel(parent, wxID_ANY), texts_(texts), pause_(this) {
  auto* column = new wxBoxSizer(wxVERTICAL);
  summary_ = new CLabelText(this, Text(L"ui_preview_waiting"));
  column->Add(summary_, 0, wxEXPAND | wxBOTTOM, FromDIP(6));
  counts_ = new CLabelText(this, wxString());
  column->Add(counts_, 0, wxEXPAND | wxBOTTOM, FromDIP(6));
  auto* filterRow = new wxBoxSizer(wxHORIZONTAL);
  auto* filterLabel = new CLabelText(this, Text(L"ui_preview_filter"));
  filter_ = new wxTextCtrl(this, wxID_ANY);
  filterRow->Add(filterLabel, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, FromDIP(8));
  filterRow->Add(filter_, 1);
  column->Add(filterRow, 0, wxEXPAND | wxBOTTOM, FromDIP(6));
  list_ = new wxDataViewCtrl(this, wxID_ANY, wxDefaultPosition, wxSize(-1, FromDIP(160)),
                             wxDV_ROW_LINES);
  rows_ = new Rows(*this);
  list_->AssociateModel(rows_.get());
  list_->AppendTextColumn(Text(L"ui_foldercolumn_path"), 0, wxDATAVIEW_CELL_INERT, FromDIP(360),
                          wxALIGN_LEFT, wxDATAVIEW_COL_RESIZABLE);
  list_->AppendTextColumn(Text(L"ui_preview_why"), 1, wxDATAVIEW_CELL_INERT, wxCOL_WIDTH_AUTOSIZE,
                          wxALIGN_LEFT, wxDATAVIEW_COL_RESIZABLE);
  column->Add(list_, 1, wxEXPAND);
  SetSizer(column);
  LabelControl(filterLabel, filter_);
  SetAccessibleName(list_, Text(L"ui_preview_list"));

  filter_->Bind(wxEVT_TEXT, [this](wxCommandEvent&) { ApplyFilter(); });
  Bind(
      wxEVT_TIMER, [this](wxTimerEvent&) { Ask(); }, pause_.GetId());
  worker_ = std::make_unique<PreviewWorker>(texts, [this](uint64_t request, JobPreview preview) {
    CallAfter([this, request, preview = std::move(preview)]() mutable {
      Show(request, std::move(preview));
    });
  });
}

CJobPreviewPanel::~CJobPreviewPanel() {
  pause_.Stop();
  worker_.reset();
}

wxString CJobPreviewPanel::Text(const wchar_t* key) const { return wxString(texts_.GetText(key)); }

wxString CJobPreviewPanel::KindText(LeftOutKind kind) const {
  return Text(kKindKeys[static_cast<size_t>(kind)]);
}

wxString CJobPreviewPanel::WhyText(const LeftOutEntry& entry) const {
  // The other reasons are few and plain enough as the log gives them.
  if (entry.kind == LeftOutKind::kOther) return KindText(entry.kind) + " (" + entry.reason + ")";
  return KindText(entry.kind);
}

void CJobPreviewPanel::JobChanged(const BackupJob& job) {
  job_ = job;
  stale_ = true;  // what is shown no longer answers
  if (active_) pause_.StartOnce(kPauseMs);
}

void CJobPreviewPanel::Activate() {
  active_ = true;
  if (stale_) Ask();
}

void CJobPreviewPanel::Stop() {
  pause_.Stop();
  worker_->StopAndWait();
  // A preview stopped before it was shown is asked again when next in sight.
  if (shown_ != latest_) stale_ = true;
}

bool CJobPreviewPanel::current() const {
  return !stale_ && latest_ != 0 && shown_ == latest_ &&
         preview_.state == JobPreview::State::kComplete;
}

const std::vector<const LeftOutEntry*>& CJobPreviewPanel::shown() const { return rows_->entries; }

void CJobPreviewPanel::Ask() {
  pause_.Stop();
  if (!job_) return;
  summary_->SetLabel(Text(L"ui_preview_waiting"));
  latest_ = worker_->Request(*job_);
  stale_ = false;
}

void CJobPreviewPanel::Show(uint64_t request, JobPreview preview) {
  // Only the answer to the newest request counts; a stopped one has no news.
  if (request != latest_ || preview.state == JobPreview::State::kStopped) return;
  preview_ = std::move(preview);
  shown_ = request;
  if (preview_.state == JobPreview::State::kJobUnreadable) {
    // A new job lacks its name, which is no fault yet; else what a run says.
    summary_->SetLabel(job_ && !job_->ArchiveName.empty() && !preview_.warnings.empty()
                           ? wxString(preview_.warnings.front())
                           : Text(L"ui_preview_incomplete"));
  } else {
    summary_->SetLabel(
        wxString(PrintFEx(texts_.GetText(L"ui_preview_summary"),
                          {FormatText(L"%lu", preview_.files), FormatByteSize(preview_.bytes),
                           FormatText(L"%lu", static_cast<uint32_t>(preview_.leftOut.size()))})));
  }
  wxString counts;
  for (size_t kind = 0; kind < kLeftOutKinds; ++kind) {
    if (preview_.counts[kind] == 0) continue;
    if (!counts.empty()) counts += "\n";
    counts +=
        wxString::Format("%s: %u", KindText(static_cast<LeftOutKind>(kind)), preview_.counts[kind]);
  }
  for (const std::wstring& warning : preview_.warnings) counts += "\n" + wxString(warning);
  counts_->SetLabel(counts);
  ApplyFilter();
  Layout();
  if (GetParent()) GetParent()->Layout();
}

void CJobPreviewPanel::ApplyFilter() {
  const std::wstring wanted = Lowered(filter_->GetValue().ToStdWstring());
  std::vector<const LeftOutEntry*>& entries = rows_->entries;
  entries.clear();
  for (const LeftOutEntry& entry : preview_.leftOut) {
    if (wanted.empty() || Lowered(entry.path).find(wanted) != std::wstring::npos ||
        Lowered(WhyText(entry).ToStdWstring()).find(wanted) != std::wstring::npos) {
      entries.push_back(&entry);
    }
  }
  rows_->Reset(static_cast<unsigned int>(entries.size()));
}

}  // namespace kelvane::ui
