// kelvane-screenshot FILE.png [WINDOW-ID]: saves the X screen, or one window
// of it, as a PNG, so tests of the program keep what the user would have seen.
#include <wx/app.h>
#include <wx/bitmap.h>
#include <wx/dcmemory.h>
#include <wx/dcscreen.h>
#include <wx/image.h>
#include <wx/init.h>
#include <wx/log.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: kelvane-screenshot FILE.png [X Y WIDTH HEIGHT]\n");
    return 2;
  }
  wxApp::SetInstance(new wxApp);
  int wxArgc = 1;
  char* wxArgv[] = {argv[0], nullptr};
  if (!wxEntryStart(wxArgc, wxArgv)) {
    std::fprintf(stderr, "kelvane-screenshot: no display\n");
    return 1;
  }
  // A failure goes to stderr: the default would wait for a click on a
  // message box at exit, and the test with it.
  delete wxLog::SetActiveTarget(new wxLogStderr);
  wxInitAllImageHandlers();
  int status = 0;
  {
    wxScreenDC screen;
    wxRect area(wxPoint(0, 0), screen.GetSize());
    if (argc >= 6) {
      area = wxRect(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]));
    }
    wxBitmap bitmap(area.GetWidth(), area.GetHeight(), 24);
    wxMemoryDC memory(bitmap);
    memory.Blit(0, 0, area.GetWidth(), area.GetHeight(), &screen, area.GetX(), area.GetY());
    memory.SelectObject(wxNullBitmap);
    if (!bitmap.ConvertToImage().SaveFile(argv[1], wxBITMAP_TYPE_PNG)) status = 1;
  }
  wxEntryCleanup();
  return status;
}
