#include "ui/toolkit/property_list.h"

#include <wx/settings.h>
#include <wx/stattext.h>

#include <algorithm>
#include <stdexcept>

#include "ui/toolkit/accessible.h"
#include "ui/toolkit/label_text.h"

namespace kelvane::ui {

CVxPropertyList::CVxPropertyList(wxWindow* parent, int id)
    : wxPanel(parent, id), sizer_(new wxBoxSizer(wxVERTICAL)) {
  SetSizer(sizer_);
}

CVxPropertyList::PageParts& CVxPropertyList::Parts(int pageId) {
  const auto found = pages_.find(pageId);
  if (found == pages_.end()) throw std::logic_error("no such page");
  return found->second;
}

wxWindow* CVxPropertyList::AddPage(int pageId) {
  auto* window = new wxScrolledWindow(this, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                      wxVSCROLL | wxTAB_TRAVERSAL);
  window->SetScrollRate(0, FromDIP(10));
  auto* column = new wxBoxSizer(wxVERTICAL);
  window->SetSizer(column);
  window->Hide();
  sizer_->Add(window, 1, wxEXPAND);
  pages_[pageId] = PageParts{window, column};
  return window;
}

wxWindow* CVxPropertyList::Page(int pageId) const {
  const auto found = pages_.find(pageId);
  return found == pages_.end() ? nullptr : found->second.window;
}

void CVxPropertyList::AddGroup(int pageId, const wxString& title) {
  PageParts& page = Parts(pageId);
  auto* heading = new CLabelText(page.window, title);
  heading->SetFont(heading->GetFont().Bold());
  const int first = page.column->IsEmpty() ? 0 : FromDIP(12);
  page.column->AddSpacer(first);
  page.column->Add(heading, 0, wxLEFT | wxRIGHT, FromDIP(4));
  OpenRows(page);
}

void CVxPropertyList::OpenRows(PageParts& page) {
  page.rows = new wxFlexGridSizer(2, FromDIP(4), FromDIP(10));
  page.rows->AddGrowableCol(1, 1);
  page.column->Add(page.rows, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, FromDIP(6));
}

wxStaticText* CVxPropertyList::AddRow(int pageId, const wxString& label, wxWindow* control) {
  PageParts& page = Parts(pageId);
  if (!page.rows) OpenRows(page);
  auto* text = new CLabelText(page.window, label);
  page.rows->Add(text, 0, wxALIGN_CENTER_VERTICAL);
  page.rows->Add(control, 1, wxEXPAND);
  rowLabels_[text] = control;
  return text;
}

wxStaticText* CVxPropertyList::AddRow(int pageId, const wxString& label, wxSizer* controls,
                                      wxWindow* named) {
  PageParts& page = Parts(pageId);
  if (!page.rows) OpenRows(page);
  auto* text = new CLabelText(page.window, label);
  page.rows->Add(text, 0, wxALIGN_CENTER_VERTICAL);
  page.rows->Add(controls, 1, wxEXPAND);
  rowLabels_[text] = named;
  return text;
}

void CVxPropertyList::RelateLabels() {
  for (const auto& [label, control] : rowLabels_) LabelControl(label, control);
}

void CVxPropertyList::AddWide(int pageId, wxWindow* control, int proportion) {
  PageParts& page = Parts(pageId);
  page.rows = nullptr;  // rows after this start a new grid
  page.column->Add(control, proportion, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, FromDIP(6));
}

void CVxPropertyList::AddWide(int pageId, wxSizer* sizer, int proportion) {
  PageParts& page = Parts(pageId);
  page.rows = nullptr;
  page.column->Add(sizer, proportion, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, FromDIP(6));
}

void CVxPropertyList::AddGap(int pageId, int pixels96) {
  PageParts& page = Parts(pageId);
  page.rows = nullptr;
  page.column->AddSpacer(FromDIP(pixels96));
}

wxSize CVxPropertyList::DoGetBestClientSize() const {
  int width = 0;
  for (const auto& [id, page] : pages_) width = std::max(width, page.column->GetMinSize().x);
  return wxSize(width + wxSystemSettings::GetMetric(wxSYS_VSCROLL_X, this), FromDIP(200));
}

void CVxPropertyList::ShowPage(int pageId) {
  if (!Page(pageId) || pageId == shown_) return;
  for (auto& [id, page] : pages_) page.window->Show(id == pageId);
  shown_ = pageId;
  Layout();
  // A page laid out while hidden may hold texts that have wrapped anew since.
  Parts(pageId).window->Layout();
  Parts(pageId).window->FitInside();
}

}  // namespace kelvane::ui
