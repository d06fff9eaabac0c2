#include "ui/toolkit/window_session.h"

#include <wx/app.h>
#include <wx/image.h>
#include <wx/init.h>
#include <wx/log.h>

#include <cstdio>

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
  // Likewise a failed check inside wx: said on stderr, never a dialog.
  wxSetAssertHandler([](const wxString& file, int line, const wxString& function,
                        const wxString& condition, const wxString& message) {
    std::fprintf(stderr, "kelvane: wx check failed at %s:%d in %s: %s %s\n", file.utf8_str().data(),
                 line, function.utf8_str().data(), condition.utf8_str().data(),
                 message.utf8_str().data());
  });
  wxInitAllImageHandlers();
  return std::unique_ptr<WindowSession>(new WindowSession);
}

WindowSession::~WindowSession() { wxEntryCleanup(); }

}  // namespace kelvane::ui
