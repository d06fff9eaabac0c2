#include "window/window_test_support.h"

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/gdicmn.h>

#include <cstdlib>
#include <filesystem>

#include "support/test_support.h"

namespace kelvane::test {

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  // A loop of the window thread's own that looks at `done` on a timer, so
  // events (and the window manager's answers) are handled while it waits.
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  bool held = done();
  if (held) return true;
  wxEventLoop loop;
  Ticker ticker([&] {
    held = done();
    if (!held && std::chrono::steady_clock::now() < deadline) return false;
    loop.Exit();
    return true;
  });
  loop.Run();
  return held;
}

void Settle(std::chrono::milliseconds time) {
  WaitFor([] { return false; }, time);
}

void WhileShown(wxDialog& dialog, const std::function<void()>& body) {
  const auto shown = std::chrono::steady_clock::now();
  bool ran = false;
  Ticker ticker([&] {
    if (ran || std::chrono::steady_clock::now() - shown < std::chrono::milliseconds(500)) {
      return false;
    }
    ran = true;
    body();
    if (dialog.IsModal()) dialog.EndModal(wxID_OK);
    return true;
  });
  dialog.ShowModal();
  EXPECT_TRUE(ran);
}

Ticker::Ticker(std::function<bool()> tick) : tick_(std::move(tick)), timer_(this) {
  Bind(wxEVT_TIMER, [this](wxTimerEvent&) {
    if (tick_()) timer_.Stop();
  });
  timer_.Start(20);
}

Ticker::~Ticker() { timer_.Stop(); }

std::string ArtifactFolder() {
  const char* given = std::getenv("KELVANE_ARTIFACTS");
  const std::string folder = given && *given ? given : "test-artifacts";
  std::filesystem::create_directories(folder);
  return folder;
}

std::string SaveScreenshot(wxWindow* window, const std::string& name) {
  // wxScreenDC keeps what it read first for the rest of the process on GTK,
  // so a program of its own takes each picture. The frame lies outside the
  // window's rectangle; take some of it too.
  window->Update();
  const wxRect inner = window->GetScreenRect();
  const wxRect area =
      wxRect(inner.GetLeft() - 2, inner.GetTop() - 28, inner.GetWidth() + 4, inner.GetHeight() + 30)
          .Intersect(wxRect(wxPoint(0, 0), wxGetDisplaySize()));
  const std::string path = ArtifactFolder() + "/" + name + ".png";
  const std::string command = std::string("'") + KELVANE_SCREENSHOT_TOOL + "' '" + path + "' " +
                              std::to_string(area.GetX()) + " " + std::to_string(area.GetY()) +
                              " " + std::to_string(area.GetWidth()) + " " +
                              std::to_string(area.GetHeight());
  return RunShell(command) == 0 ? path : std::string();
}

FakeDialogs::FakeDialogs() : previous_(ui::ReplaceDialogServices(this)) {}

FakeDialogs::~FakeDialogs() { ui::ReplaceDialogServices(previous_); }

void FakeDialogs::ShowMessage(wxWindow*, const std::wstring& text, bool) {
  messages.push_back(text);
}

bool FakeDialogs::AskYesNo(wxWindow*, const std::wstring& question) {
  questions.push_back(question);
  return answer ? answer(question) : false;
}

bool FakeDialogs::OpenWithDesktop(const std::wstring& path) {
  opened.push_back(path);
  return openSucceeds;
}

ui::DialogServices::SaveChoice FakeDialogs::AskSaveChanges(wxWindow*, const std::wstring& question,
                                                           const std::wstring&, const std::wstring&,
                                                           const std::wstring&) {
  questions.push_back(question);
  return saveChoice;
}

std::optional<std::wstring> FakeDialogs::ChooseFolder(wxWindow*, const std::wstring& start,
                                                      const std::wstring& title) {
  folderStarts.push_back(start);
  titles.push_back(title);
  if (folders.empty()) return std::nullopt;
  auto chosen = folders.front();
  folders.pop_front();
  return chosen;
}

std::optional<std::wstring> FakeDialogs::ChooseFile(wxWindow*, FileMode mode,
                                                    const std::wstring& wildcard,
                                                    const std::wstring& start,
                                                    const std::wstring& title) {
  fileModes.push_back(mode);
  titles.push_back(title);
  wildcards.push_back(wildcard);
  fileStarts.push_back(start);
  if (files.empty()) return std::nullopt;
  auto chosen = files.front();
  files.pop_front();
  return chosen;
}

}  // namespace kelvane::test
