#include "ui/window_session.h"

#include <wx/app.h>
#include <wx/image.h>
#include <wx/init.h>
#include <wx/log.h>

namespace kelvane::ui {

std::unique_ptr<WindowSession> WindowSession::Open() {
  // GTK names the windows' class after the first argument (WM_CLASS), which
  // the desktop entry matches.
  static char name[] = "kelvane";
  static char* argv[] = {name, nullptr};
  int argc = 1;
  wxApp::SetInstance(new wxApp);
  if (!wxEntryStart(argc, argv)) return nullptr;
  wxTheApp->SetAppName("kelvane");
  wxTheApp->SetAppDisplayName("Kelvane");
  // wx's own complaints go to the terminal: a dialog of wx's would hold an
  // unattended run.
  delete wxLog::SetActiveTarget(new wxLogStderr);
  wxInitAllImageHandlers();
  return std::unique_ptr<WindowSession>(new WindowSession);
}

WindowSession::~WindowSession() { wxEntryCleanup(); }

}  // namespace kelvane::ui
