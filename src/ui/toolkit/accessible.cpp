#include "ui/toolkit/accessible.h"

#include <gtk/gtk.h>
#include <wx/dataview.h>
#include <wx/stattext.h>
#include <wx/window.h>

#include <vector>

namespace kelvane::ui {
namespace {

// The GTK widgets a screen reader meets for `control`: the outer one, and
// the one that takes the focus where that is another (a text view in its
// scrolled window, a tree view).
std::vector<GtkWidget*> WidgetsOf(wxWindow* control) {
  std::vector<GtkWidget*> widgets{static_cast<GtkWidget*>(control->GetHandle())};
  GtkWidget* focus = control->GetConnectWidget();
  if (auto* view = wxDynamicCast(control, wxDataViewCtrl)) focus = view->GtkGetTreeView();
  if (focus && focus != widgets.front()) widgets.push_back(focus);
  return widgets;
}

}  // namespace

void SetAccessibleName(wxWindow* control, const wxString& name) {
  for (GtkWidget* widget : WidgetsOf(control)) {
    atk_object_set_name(gtk_widget_get_accessible(widget), name.utf8_str());
  }
}

void SetAccessibleDescription(wxWindow* control, const wxString& description) {
  for (GtkWidget* widget : WidgetsOf(control)) {
    atk_object_set_description(gtk_widget_get_accessible(widget), description.utf8_str());
  }
}

void LabelControl(wxStaticText* label, wxWindow* control) {
  gtk_label_set_mnemonic_widget(GTK_LABEL(label->GetHandle()), WidgetsOf(control).back());
  SetAccessibleName(control, label->GetLabelText());
}

void ReadAsText(wxWindow* control, const wxString& text) {
  GtkWidget* widget = static_cast<GtkWidget*>(control->GetHandle());
  AtkObject* accessible = gtk_widget_get_accessible(widget);
  atk_object_set_role(accessible, ATK_ROLE_LABEL);
  atk_object_set_name(accessible, text.utf8_str());
  for (GtkWidget* part : WidgetsOf(control)) gtk_widget_set_can_focus(part, FALSE);
}

}  // namespace kelvane::ui
