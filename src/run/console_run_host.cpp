#include "run/console_run_host.h"

#include "language/language_table.h"
#include "platform/clock.h"
#include "platform/environment.h"
#include "run/run_outcome.h"
#include "util/line_escape.h"
#include "util/template_format.h"

namespace kelvane {
namespace {

// A message for the terminal: its own line breaks stay, but whatever else
// could steer the terminal (an escape sequence in a file name) is escaped.
std::string TerminalText(std::wstring_view text) {
  std::string out;
  for (size_t start = 0; start <= text.size();) {
    size_t end = text.find(L'\n', start);
    if (end == std::wstring_view::npos) end = text.size();
    if (start > 0) out.push_back('\n');
    out += EscapedLine(text.substr(start, end - start));
    start = end + 1;
  }
  return out;
}

}  // namespace

ConsoleRunHost::ConsoleRunHost(std::FILE* out, bool terminal, bool catchInterrupts,
                               const LanguageTable& texts)
    : out_(out), terminal_(terminal), catchInterrupts_(catchInterrupts), texts_(texts) {
  if (catchInterrupts_) platform::CatchInterrupts();
}

ConsoleRunHost::~ConsoleRunHost() { EndProgressLine(); }

void ConsoleRunHost::EndProgressLine() {
  if (progressLineOpen_) {
    std::fputc('\n', out_);
    std::fflush(out_);
    progressLineOpen_ = false;
  }
}

void ConsoleRunHost::PrintLine(const std::wstring& text) {
  EndProgressLine();
  std::fprintf(out_, "%s\n", TerminalText(text).c_str());
  std::fflush(out_);
}

void ConsoleRunHost::PumpMessages() {
  if (catchInterrupts_ && platform::InterruptRequested()) cancelRequested_ = true;
  if (cancelRequested_ && !cancelAnnounced_) {
    cancelAnnounced_ = true;
    PrintLine(texts_.GetText(L"console_cancelling"));
  }
}

bool ConsoleRunHost::CancelConfirmed() { return cancelRequested_; }

void ConsoleRunHost::ShowMessage(const std::wstring& text, bool isError) {
  PrintLine((isError ? L"kelvane: " : L"") + text);
}

void ConsoleRunHost::ShowWarning(const std::wstring& text) { PrintLine(L"kelvane: " + text); }

bool ConsoleRunHost::AskYesNo(const std::wstring&, bool unattended) { return unattended; }

void ConsoleRunHost::OpenWithDesktop(const std::wstring& path) {
  PrintLine(PrintFEx(texts_.GetText(L"console_see_file"), {path}));
}

void ConsoleRunHost::SetStatusLines(const std::wstring& files, const std::wstring& sizes,
                                    const std::wstring& times) {
  std::wstring status;
  for (const std::wstring* part : {&files, &sizes, &times}) {
    // "..." only holds a window's place for a line not known yet.
    if (part->empty() || *part == L"...") continue;
    if (!status.empty()) status += L" | ";
    status += *part;
  }
  const std::string line = TerminalText(status);
  if (line == lastStatus_) return;
  lastStatus_ = line;
  const int64_t now = platform::Time().MonotonicMicros();
  if (terminal_) {
    std::fprintf(out_, "\r\x1b[K%s", line.c_str());
    std::fflush(out_);
    progressLineOpen_ = true;
  } else if (lastPrinted_ == 0 || now - lastPrinted_ >= 1000000) {
    PrintLine(status);
    lastPrinted_ = now;
  }
}

void ConsoleRunHost::SetProgressMarquee(bool) {}

void ConsoleRunHost::SetProgressRange(uint32_t) {}

void ConsoleRunHost::SetProgressPosition(uint32_t) {}

void ConsoleRunHost::ShowProgressPercent(bool) {}

void ConsoleRunHost::RunEnded(const RunReport& report) {
  for (const std::wstring& line : OutcomeLines(report, texts_)) PrintLine(line);
}

}  // namespace kelvane
