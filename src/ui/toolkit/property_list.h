// The pages of a paged window, one shown at a time. A page is a scrolled
// column of groups; a group has a bold title and rows: a label beside its
// control, a control across the whole row (check boxes, texts, lists), or a
// gap. The controls are the page's children, made by the owner with the
// page as parent, so they are native GTK controls with their keyboard and
// accessibility behaviour; RelateLabels tells a screen reader which label
// names which control.
#pragma once

#include <wx/panel.h>
#include <wx/scrolwin.h>
#include <wx/sizer.h>

#include <map>

class wxStaticText;

namespace kelvane::ui {

class CVxPropertyList : public wxPanel {
 public:
  CVxPropertyList(wxWindow* parent, int id);

  // A new page; the parent of its controls.
  wxWindow* AddPage(int pageId);
  wxWindow* Page(int pageId) const;

  void AddGroup(int pageId, const wxString& title);
  // `label` beside `control`, which takes the rest of the row and is named
  // by the label.
  wxStaticText* AddRow(int pageId, const wxString& label, wxWindow* control);
  // `label` beside a row of `controls`, of which `named` is the one the
  // label names.
  wxStaticText* AddRow(int pageId, const wxString& label, wxSizer* controls, wxWindow* named);
  // `control` (or a row of controls in `sizer`) across the row; a
  // `proportion` above 0 lets it take the page's spare height.
  void AddWide(int pageId, wxWindow* control, int proportion = 0);
  void AddWide(int pageId, wxSizer* sizer, int proportion = 0);
  void AddGap(int pageId, int pixels96);

  // Each row's label names its control for a screen reader; headings name
  // nothing.
  void RelateLabels();

  // Shows `pageId` and hides the others.
  void ShowPage(int pageId);
  int shownPage() const { return shown_; }

 protected:
  // As wide as the widest page needs, so nothing is cut at the side (a page
  // scrolls only up and down); a page's height may scroll.
  wxSize DoGetBestClientSize() const override;

 private:
  struct PageParts {
    wxScrolledWindow* window;
    wxBoxSizer* column;
    wxFlexGridSizer* rows = nullptr;  // of the open group
  };
  PageParts& Parts(int pageId);
  void OpenRows(PageParts& page);

  wxBoxSizer* sizer_;
  std::map<int, PageParts> pages_;
  std::map<wxStaticText*, wxWindow*> rowLabels_;
  int shown_ = -1;
};

}  // namespace kelvane::ui
